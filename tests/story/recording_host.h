// A StoryHost that records every call in order, for checking what the story
// asks of its window and when.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "story/story.h"

namespace story::testing {

struct HostCall {
    enum class Kind { SetTitle, Pause, StopTimer, RequestTermination };
    Kind kind;
    std::string title;                   // SetTitle
    std::chrono::milliseconds pause{0};  // Pause

    friend bool operator==(const HostCall&, const HostCall&) = default;

    static HostCall Title(std::string_view text) { return {Kind::SetTitle, std::string(text), {}}; }
    static HostCall Sleep(std::chrono::milliseconds ms) { return {Kind::Pause, {}, ms}; }
    static HostCall Stop() { return {Kind::StopTimer, {}, {}}; }
    static HostCall Terminate() { return {Kind::RequestTermination, {}, {}}; }
};

void PrintTo(const HostCall& call, std::ostream* os);

class RecordingHost final : public StoryHost {
public:
    void SetTitle(std::string_view cp932) override {
        title = std::string(cp932);
        calls.push_back(HostCall::Title(cp932));
    }
    void StopTimer() override { calls.push_back(HostCall::Stop()); }
    void RequestTermination() override { calls.push_back(HostCall::Terminate()); }
    void Pause(std::chrono::milliseconds duration) override { calls.push_back(HostCall::Sleep(duration)); }

    // Hands over the calls recorded so far and starts a new record.
    std::vector<HostCall> Take() { return std::exchange(calls, {}); }

    std::string title;  // what the title bar shows now
    std::vector<HostCall> calls;
};

}  // namespace story::testing
