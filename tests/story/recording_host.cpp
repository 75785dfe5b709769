#include "recording_host.h"

#include <cstdio>

namespace story::testing {

// Titles are code page 932 bytes: shown in hex so that a failure names the
// exact byte that differs.
void PrintTo(const HostCall& call, std::ostream* os) {
    switch (call.kind) {
        case HostCall::Kind::SetTitle: {
            *os << "SetTitle(" << call.title.size() << " bytes:";
            for (unsigned char c : call.title) {
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02x", c);
                *os << hex;
            }
            *os << ")";
            break;
        }
        case HostCall::Kind::Pause:
            *os << "Pause(" << call.pause.count() << " ms)";
            break;
        case HostCall::Kind::StopTimer:
            *os << "StopTimer";
            break;
        case HostCall::Kind::RequestTermination:
            *os << "RequestTermination";
            break;
    }
}

}  // namespace story::testing
