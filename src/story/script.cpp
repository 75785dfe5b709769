// The script of the story: what each click does, for every step 0..100.
// Texts are written here in UTF-8 and stored as code page 932 bytes.
#include "story/script.h"

#include <array>
#include <cstddef>
#include <stdexcept>

#include "story/cp932.h"

namespace story {

namespace {

using namespace story::literals;

struct Row {
    std::int32_t step = 0;
    Action action = Action::None;
    std::string_view text;
};

// Steps not listed are pauses (nothing happens); the frames of the closing
// animation follow below.
constexpr Row kRows[] = {
    {1, Action::Line, u8"ね"_cp932},
    {2, Action::Line, u8"つ"_cp932},
    {3, Action::Line, u8"き"_cp932},
    {4, Action::Line, u8"ゅ"_cp932},
    {5, Action::Line, u8"う"_cp932},
    {6, Action::Line, u8" "_cp932},
    {11, Action::Line, u8"ねつ　"_cp932},
    {12, Action::Line, u8"ねつきき　　"_cp932},
    {13, Action::Line, u8"まっさかさま"_cp932},
    {14, Action::Line, u8"ねつききゅう　"_cp932},
    {15, Action::Line, u8"たかい　"_cp932},
    {16, Action::Line, u8"　つき　　"_cp932},
    {17, Action::Line, u8"つき　　"_cp932},
    {18, Action::Line, u8"　　　　　　つ"_cp932},
    {19, Action::Line, u8" "_cp932},
    {25, Action::Line, u8"まんまる"_cp932},
    {26, Action::Line, u8"まる　"_cp932},
    {27, Action::Line, u8"ばーなー　"_cp932},
    {28, Action::Line, u8"あがる　"_cp932},
    {29, Action::Line, u8"さがる　"_cp932},
    {30, Action::Line, u8"まだくらくない　　　　　　　　　　　　　　　　　　　"_cp932},
    {33, Action::Line, u8" "_cp932},
    {38, Action::Line, u8"ゆっくり　　　　　　　　　　　　　　　　　　　　　　"_cp932},
    {39, Action::Line, u8"すごくゆっくり　　　　　　　　　　　　　　　　　　　"_cp932},
    {40, Action::Line, u8"おひさまといっしょ　　　　　　　　　　　　　　　　　"_cp932},
    {41, Action::Line, u8"ゆっくり　　　　　　　　　　　　　　　　　　　　　　"_cp932},
    {42, Action::Line, u8" "_cp932},
    {49, Action::Line, u8"どこまで　いくのか　　　　　　　　　　　　　　　　　"_cp932},
    {50, Action::Line, u8"どこまで　いけるのか　　　　　　　　　　　　　　　　"_cp932},
    {51, Action::Line, u8"ここは　　　　　　　　　　　　　　　　　　　　　　　"_cp932},
    {52, Action::Line, u8"ほしと　じめんと　　　　　　　　　　　　　　　　　　"_cp932},
    {53, Action::Line, u8"どっちが　ちかいんだろう　　　　　　　　　　　　　　"_cp932},
    {54, Action::Line, u8"ほし　じめん　　　　　　　　　　　　　　　　　　　　"_cp932},
    {57, Action::Line, u8"　ほし　じめん"_cp932},
    {58, Action::Line, u8" "_cp932},
    {61, Action::Line, u8"★　▲　"_cp932},
    {62, Action::Line, u8"　☆　△　"_cp932},
    {63, Action::Line, u8"　★　　　　△"_cp932},
    {64, Action::Line, u8"　☆★"_cp932},
    {65, Action::Line, u8"☆★　☆　　☆"_cp932},
    {66, Action::Line, u8" "_cp932},
    {71, Action::Line, u8"　　Zzz"_cp932},
    {74, Action::Line, u8" "_cp932},
    {77, Action::Stop, {}},
    {100, Action::End, {}},
};

// The closing animation: a face moving right across the title. Wide and narrow
// shapes alternate; every narrow frame moves it one ideographic space further,
// the following wide frame keeps it there.
constexpr std::int32_t kFirstFrameStep = 78;
constexpr std::int32_t kLastFrameStep = 99;
constexpr std::size_t kFrameCount = kLastFrameStep - kFirstFrameStep + 1;
constexpr std::string_view kIdeographicSpace = u8"　"_cp932;
constexpr std::string_view kWideFace = u8"（( ？ )）"_cp932;
constexpr std::string_view kNarrowFace = u8"（ ？ ）"_cp932;
constexpr int kWideIndent = 4;
constexpr int kNarrowIndent = 5;
constexpr std::size_t kFrameCapacity = 38;  // the last frames; more fails to compile

using Frame = cp932::Text<kFrameCapacity>;

constexpr std::array<Frame, kFrameCount> MakeFrames() {
    std::array<Frame, kFrameCount> frames{};
    for (std::size_t i = 0; i < kFrameCount; ++i) {
        const int k = static_cast<int>(i / 2);
        const bool wide = i % 2 == 0;
        Frame& frame = frames[i];
        for (int n = 0; n < (wide ? kWideIndent : kNarrowIndent) + k; ++n) {
            frame.Append(kIdeographicSpace);
        }
        frame.Append(wide ? kWideFace : kNarrowFace);
    }
    return frames;
}

constexpr auto kFrames = MakeFrames();

using Script = std::array<Entry, kLastStep + 1>;

constexpr Script MakeScript() {
    Script script{};
    std::int32_t previous = -1;
    for (const Row& row : kRows) {
        // Rows in step order, each step once, none inside the animation.
        if (row.step <= previous || row.step > kLastStep ||
            (row.step >= kFirstFrameStep && row.step <= kLastFrameStep)) {
            throw std::logic_error("script rows out of order or overlapping");
        }
        previous = row.step;
        script[static_cast<std::size_t>(row.step)] = {row.action, row.text};
    }
    for (std::size_t i = 0; i < kFrameCount; ++i) {
        script[kFirstFrameStep + i] = {Action::Frame, kFrames[i].View()};
    }
    return script;
}

constexpr Script kScript = MakeScript();

constexpr std::int32_t FindStopStep() {
    for (std::size_t step = 0; step < kScript.size(); ++step)
        if (kScript[step].action == Action::Stop) return static_cast<std::int32_t>(step);
    throw std::logic_error("the script has no stop");
}

constexpr std::int32_t kStopStep = FindStopStep();

static_assert(kScript[0].action == Action::None);
static_assert(kScript[kFirstFrameStep].text.size() == 18);
static_assert(kScript[kLastFrameStep].text.size() == 38);

}  // namespace

std::optional<Entry> ScriptEntry(std::int32_t step) {
    if (step < 0 || step > kLastStep) return std::nullopt;
    return kScript[static_cast<std::size_t>(step)];
}

std::int32_t StopStep() { return kStopStep; }

}  // namespace story
