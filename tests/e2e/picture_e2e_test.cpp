// The picture in the real program: what the window shows on true-colour and palette
// screens, and the error box when the picture is not where the program looks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "boxes.h"
#include "jpeg_fixtures.h"
#include "session.h"
#include "story_titles.h"
#include "title_observer.h"
#include "xclient.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

const std::filesystem::path kProgram = PROGRAM;
const std::filesystem::path kSamplePicture = std::filesystem::path(SAMPLE_DIR) / "[]" / "balloonpicture.jpeg";
const std::string kApplicationTitle = "Balloonstory";

fixtures::Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int CountDifferent(const Image& shot, const std::vector<std::uint8_t>& rgb) {
    int different = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        different += shot.rgb[i] != rgb[i] || shot.rgb[i + 1] != rgb[i + 1] || shot.rgb[i + 2] != rgb[i + 2];
    return different;
}

// Screenshots until the window shows `expected` (side x side) or the time is up;
// returns the last.
Image WaitForPicture(XClient& x, WindowId window, const std::vector<std::uint8_t>& expected, int tolerated = 0,
                     int side = 400) {
    Image shot;
    for (int attempt = 0; attempt < 50; ++attempt) {
        shot = x.Screenshot(window);
        if (shot.width == side && shot.height == side && CountDifferent(shot, expected) <= tolerated) break;
        std::this_thread::sleep_for(100ms);
    }
    return shot;
}

struct Program {
    Program(Session& session, const std::filesystem::path& cwd)
        : session(session), x(session.display()), child(session.Launch(kProgram, cwd)) {}

    // Closing the window after a picture failure ends the program as cleanly as ever.
    void ExpectCleanExitOnClose(WindowId window) {
        x.RequestClose(window);
        const auto status = child->WaitExit(15s);
        ASSERT_TRUE(status) << "still running after its window was closed";
        EXPECT_EQ(status->code, 0);
        EXPECT_EQ(status->signal, 0);
        EXPECT_EQ(ReadFile(session.StderrOf(kProgram)), "");
    }

    const Session& session;
    XClient x;
    std::unique_ptr<Child> child;
};

void InstallSamplePicture(const std::filesystem::path& dir) {
    std::filesystem::create_directory(dir / "[]");
    std::filesystem::copy_file(kSamplePicture, dir / "[]" / "balloonpicture.jpeg");
}

TEST(PictureOnScreen, TrueColourShowsTheStretchedDecode) {
    Session session;
    TempDir cwd;
    InstallSamplePicture(cwd.path());
    Program program(session, cwd.path());
    auto window = program.x.WaitForClient(program.child->pid(), 15s);
    ASSERT_TRUE(window);

    const auto expected = fixtures::StretchToRgb(fixtures::ReferenceDecode(ReadBytes(kSamplePicture), false), 400, 400);
    const Image shot = WaitForPicture(program.x, *window, expected);
    shot.SavePng(ArtifactDir() / "picture-true-colour.png");
    ASSERT_EQ(shot.width, 400);
    ASSERT_EQ(shot.height, 400);
    EXPECT_EQ(CountDifferent(shot, expected), 0);
}

TEST(PictureOnScreen, PaletteScreenShowsTheQuantisedDecode) {
    Session session({.depth = 8});
    TempDir cwd;
    InstallSamplePicture(cwd.path());
    Program program(session, cwd.path());
    auto window = program.x.WaitForClient(program.child->pid(), 15s);
    ASSERT_TRUE(window);
    ASSERT_EQ(program.x.ScreenDepth(), 8);

    const auto bytes = ReadBytes(kSamplePicture);
    const auto quantised = fixtures::StretchToRgb(fixtures::ReferenceDecode(bytes, true), 400, 400);
    // Colours the window manager holds may leave a few palette entries to the nearest
    // colour of the screen; the dithering pattern itself must be the quantiser's.
    const Image shot = WaitForPicture(program.x, *window, quantised, 400 * 400 / 20);
    shot.SavePng(ArtifactDir() / "picture-palette-screen.png");
    ASSERT_EQ(shot.width, 400);
    EXPECT_LE(CountDifferent(shot, quantised), 400 * 400 / 20);
    RecordProperty("pixels_off_palette", CountDifferent(shot, quantised));
    std::set<std::array<std::uint8_t, 3>> colours;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) colours.insert(shot.Pixel(x, y));
    EXPECT_LE(colours.size(), 236u);
}

// A desktop that sets Xft.dpi above 96 makes the 400 x 400 window larger in device
// pixels; the picture is sampled straight to them, so its own detail shows.
struct DenseScreen {
    const char* name;
    int dpi;
    int depth;
    int side;  // of the window, in device pixels
};

class PictureOnDenseScreen : public testing::TestWithParam<DenseScreen> {};

TEST_P(PictureOnDenseScreen, ShowsTheDecodeSampledToDevicePixels) {
    const DenseScreen& c = GetParam();
    // Large enough for the window at its place and in its frame: a window reaching past
    // the screen's edge cannot be captured whole.
    Session session({.width = 2048, .height = 1536, .depth = c.depth, .dpi = c.dpi});
    TempDir cwd;
    InstallSamplePicture(cwd.path());
    Program program(session, cwd.path());
    auto window = program.x.WaitForClient(program.child->pid(), 15s);
    ASSERT_TRUE(window);

    const bool palette = c.depth <= 8;
    const auto expected =
        fixtures::StretchToRgb(fixtures::ReferenceDecode(ReadBytes(kSamplePicture), palette), c.side, c.side);
    // As on the palette screen at the usual density: a few entries may go to the nearest colour.
    const int tolerated = palette ? c.side * c.side / 20 : 0;
    const Image shot = WaitForPicture(program.x, *window, expected, tolerated, c.side);
    shot.SavePng(ArtifactDir() / ("picture-dense-" + std::string(c.name) + ".png"));
    ASSERT_EQ(shot.width, c.side);
    ASSERT_EQ(shot.height, c.side);
    const int different = CountDifferent(shot, expected);
    RecordProperty("pixels_different", different);
    std::printf("%s: %d of %d pixels differ from the decode sampled at %dx%d (%.2f %%)\n", c.name, different,
                c.side * c.side, c.side, c.side, 100.0 * different / (c.side * c.side));
    EXPECT_LE(different, tolerated);
    // The title blinks as at the usual density.
    TitleObserver titles(session.display(), *window);
    EXPECT_TRUE(titles.WaitFor(
        [](const std::vector<TitleChange>& changes) {
            return std::ranges::any_of(changes,
                                       [](const TitleChange& c) { return c.value == ExpectedAfterStep(0).title; });
        },
        3s));
}

void PrintTo(const DenseScreen& c, std::ostream* os) { *os << c.name; }

INSTANTIATE_TEST_SUITE_P(Densities, PictureOnDenseScreen,
                         testing::Values(DenseScreen{"twice", 192, 24, 800},
                                         DenseScreen{"one_and_a_half", 144, 24, 600},
                                         DenseScreen{"twice_palette", 192, 8, 800}),
                         [](const testing::TestParamInfo<DenseScreen>& info) { return info.param.name; });

// Files far larger than their picture: the window shows the picture as from the plain
// file, and the program runs on.
TEST(PictureOnScreen, LargeFileShowsItsSmallPicture) {
    constexpr std::uint64_t kGiB = 1ULL << 30;
    const struct {
        const char* name;
        std::uint64_t app1_segments;
        std::uint64_t trailing_zeros;
    } cases[] = {
        {"2 GiB of zeros after the picture", 0, 2 * kGiB},
        {"190 MB of APP1 segments before it", 2900, 0},
    };
    const auto bytes = ReadBytes(kSamplePicture);
    const auto expected = fixtures::StretchToRgb(fixtures::ReferenceDecode(bytes, false), 400, 400);
    Session session;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir cwd;
        std::filesystem::create_directory(cwd.path() / "[]");
        fixtures::WriteLargeFile(cwd.path() / "[]" / "balloonpicture.jpeg", bytes, c.app1_segments, c.trailing_zeros);
        Program program(session, cwd.path());
        auto window = program.x.WaitForClient(program.child->pid(), 15s);
        ASSERT_TRUE(window);
        const Image shot = WaitForPicture(program.x, *window, expected);
        EXPECT_EQ(CountDifferent(shot, expected), 0);
        EXPECT_TRUE(program.child->Running());
    }
}

std::optional<WindowId> WaitForTitled(XClient& x, pid_t pid, const std::string& title) {
    return x.WaitForClient(pid, 15s, [&](const ClientInfo& c) { return c.title == title; });
}

// The face of a standard box of ours with the application title and `text`.
Image ReferenceFace(Session& session, XClient& x, const std::string& text) {
    return ReferenceFace(session, x, REFERENCE_BOX, kApplicationTitle, text);
}

TEST(PictureOnScreen, MissingPictureIsReportedThenTheStoryRunsOnGrey) {
    Session session;
    TempDir elsewhere;  // no "[]" here
    Program program(session, elsewhere.path());
    const pid_t pid = program.child->pid();

    auto box = WaitForTitled(program.x, pid, kApplicationTitle);
    ASSERT_TRUE(box);
    // The box comes before the window: nothing else of the program is mapped yet.
    for (const ClientInfo& c : program.x.Clients()) EXPECT_FALSE(c.pid == pid && c.window != *box) << c.title;

    // The text, compared with a box of ours showing the expected text in the same session,
    // and, as a control, with one whose text misses the final ".".
    const Image face = BoxFace(program.x, *box);
    face.SavePng(ArtifactDir() / "picture-missing-box.png");
    auto reference_face = [&](const std::string& text) { return ReferenceFace(session, program.x, text); };
    EXPECT_TRUE(SameImage(face, reference_face("ファイル []\\balloonpicture.jpeg は開けません.")));
    EXPECT_FALSE(SameImage(face, reference_face("ファイル []\\balloonpicture.jpeg は開けません")));

    // Let the timer tick under the box, then close it.
    std::this_thread::sleep_for(1500ms);
    program.x.Click(*box, 5, 5);  // focus back from the reference boxes
    program.x.Keys({"Return"});
    auto window = program.x.WaitForClient(pid, 15s, [&](const ClientInfo& c) { return c.window != *box; });
    ASSERT_TRUE(window);
    TitleObserver titles(session.display(), *window);
    const std::string first_title = program.x.Title(*window);
    EXPECT_FALSE(first_title.empty());
    EXPECT_NE(first_title, kApplicationTitle);

    std::vector<std::uint8_t> grey(400 * 400 * 3, 240);
    const Image shot = WaitForPicture(program.x, *window, grey);
    shot.SavePng(ArtifactDir() / "picture-missing-window.png");
    EXPECT_EQ(CountDifferent(shot, grey), 0);

    // The story goes on: a click brings the first line.
    program.x.Click(*window, 200, 200);
    EXPECT_TRUE(titles.WaitFor(
        [&](const std::vector<TitleChange>& changes) {
            return std::ranges::any_of(
                changes, [&](const TitleChange& c) { return !c.value.empty() && c.value != first_title; });
        },
        3s));
    EXPECT_TRUE(program.child->Running());
    program.ExpectCleanExitOnClose(*window);
}

TEST(PictureOnScreen, DecodeErrorComesAfterTheWindowAndWhatWasDecodedStays) {
    Session session;
    TempDir cwd;
    std::filesystem::create_directory(cwd.path() / "[]");
    const fixtures::Bytes bytes = fixtures::WithFrameInScan(fixtures::Encode({.width = 640, .height = 480}));
    std::ofstream(cwd.path() / "[]" / "balloonpicture.jpeg", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const fixtures::Decoded reference = fixtures::ReferenceDecode(bytes, false);
    ASSERT_NE(reference.code, 0);

    Program program(session, cwd.path());
    const pid_t pid = program.child->pid();
    auto window = program.x.WaitForClient(pid, 15s, [](const ClientInfo& c) { return c.title != kApplicationTitle; });
    ASSERT_TRUE(window);
    auto box = WaitForTitled(program.x, pid, kApplicationTitle);
    ASSERT_TRUE(box);
    ASSERT_NE(*box, *window);
    EXPECT_TRUE(SameImage(BoxFace(program.x, *box),
                          ReferenceFace(session, program.x, "JPEG エラー #" + std::to_string(reference.code) + ".")));

    program.x.Click(*box, 5, 5);
    program.x.Keys({"Return"});
    const auto expected = fixtures::StretchToRgb(reference, 400, 400);
    const Image shot = WaitForPicture(program.x, *window, expected);
    shot.SavePng(ArtifactDir() / "picture-decode-error.png");
    EXPECT_EQ(CountDifferent(shot, expected), 0);
    // Repaints show the picture without another box.
    std::this_thread::sleep_for(1500ms);
    for (const ClientInfo& c : program.x.Clients()) EXPECT_FALSE(c.pid == pid && c.window != *window) << c.title;
    EXPECT_TRUE(program.child->Running());
    program.ExpectCleanExitOnClose(*window);
}

}  // namespace
}  // namespace e2e
