// The story engine: step counter, script and title composition.
// Standard C++ only; the window it tells its story in is reached through StoryHost.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace story {

// What the story needs of the window that shows it. Titles are code-page-932 bytes.
class StoryHost {
public:
    virtual void SetTitle(std::string_view cp932) = 0;
    virtual void StopTimer() = 0;
    virtual void RequestTermination() = 0;
    // Blocks the caller; the window handles no event meanwhile.
    virtual void Pause(std::chrono::milliseconds duration) = 0;

protected:
    ~StoryHost() = default;
};

// The story state and its operations. The shell's form derives from it, so that
// StoryLine and StoryStep are the form's fields and the two virtuals its methods.
class Story {
public:
    explicit Story(StoryHost& host) : host_(host) {}
    virtual ~Story() = default;
    Story(const Story&) = delete;
    Story& operator=(const Story&) = delete;

    // Builds "(" x16, sep, StoryLine x16, sep, ")" x16, sep and sets it as the title.
    virtual void ComposeCaption();
    // Takes the next step of the script.
    virtual void AdvanceStory();
    // The blink: empty title, 60 ms pause, composed title.
    void Refresh();
    // Whether the story is still being told: the step taken is below the script's stop.
    // A click that leaves the story telling is followed by a refresh.
    bool Telling() const;

    std::string StoryLine;
    // The step most recently taken. Rises by one per click, on past the end of
    // the script, and stays put once it reaches its largest value.
    std::int32_t StoryStep = 0;

private:
    StoryHost& host_;
};

inline constexpr std::chrono::milliseconds kBlinkPause{60};

}  // namespace story
