// The multimedia command-string interface, played by FluidSynth.
#pragma once

#include <cstdint>

namespace platform {

using MCIERROR = std::uint32_t;
using HWND = void*;

// Returns 0 on success or an error code. The reply buffer may be null when its length is 0.
MCIERROR mciSendStringA(const char* command, char* reply, unsigned reply_length, HWND callback);

}  // namespace platform
