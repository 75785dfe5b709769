// The picture container: extensions, the registry of kinds, and opening the file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jerror.h>

#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>

#include "jpeg_fixtures.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/picture/graphic.h"
#include "platform/picture/picture.h"
#include "temp_dir.h"

namespace {

TEST(FileExtension, TakesTheTextAfterTheLastDot) {
    const struct {
        const char* name;
        const char* extension;
    } cases[] = {
        {"[]\\balloonpicture.jpeg", "jpeg"},
        {"a.b.JPG", "JPG"},
        {"noextension", ""},
        {"dir.d\\file", ""},
        {"dir.d/file", ""},
        {"C:file", ""},
        {"x.c:y", ""},
        {"trailing.", ""},
        {".jpeg", "jpeg"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::FileExtension(c.name), c.extension) << c.name;
}

class NamedGraphic : public platform::TGraphic {
public:
    explicit NamedGraphic(int id) : id(id) {}
    void Load(std::unique_ptr<platform::ByteSource>) override {}
    void Draw(QPainter&, const QRect&) override {}
    int id;
};

TEST(GraphicRegistry, FindsKindsIgnoringCaseLatestFirst) {
    platform::GraphicRegistry kinds;
    kinds.Register("jpg", "first", [] { return std::make_unique<NamedGraphic>(1); });
    kinds.Register("JPG", "second", [] { return std::make_unique<NamedGraphic>(2); });
    ASSERT_NE(kinds.Find("Jpg"), nullptr);
    EXPECT_EQ(kinds.Find("Jpg")->description, "second");
    EXPECT_EQ(kinds.Find("png"), nullptr);
    EXPECT_EQ(kinds.Find(""), nullptr);
}

class PictureFile : public testing::Test {
protected:
    std::string PathOf(const std::string& name) { return (dir_ / name).string(); }
    void Write(const std::string& name, const fixtures::Bytes& bytes) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string LoadError(platform::TPicture& picture, const std::string& path) {
        try {
            picture.LoadFromFile(path);
        } catch (const platform::Exception& e) {
            return e.what();
        }
        return "";
    }

    test_support::TempDir temp_{"picture-file"};
    const std::filesystem::path& dir_ = temp_.path();
};

TEST_F(PictureFile, FailuresNameThePathOrExtensionAsGiven) {
    Write("picture.bmp", {'B', 'M'});
    std::filesystem::create_directory(dir_ / "folder.jpeg");
    ASSERT_EQ(mkfifo(PathOf("pipe.jpeg").c_str(), 0600), 0);
    // A regular file whose reads fail (EIO): this process's memory, read from address 0.
    std::filesystem::create_symlink("/proc/self/mem", dir_ / "unreadable.jpeg");
    const std::string missing = "[]\\balloonpicture.jpeg";  // relative: not in the test's directory
    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {missing, "ファイル []\\balloonpicture.jpeg は開けません"},
        {PathOf("folder.jpeg"), "ファイル " + PathOf("folder.jpeg") + " は開けません"},
        // A FIFO without a writer would block a plain open.
        {PathOf("pipe.jpeg"), "ファイル " + PathOf("pipe.jpeg") + " は開けません"},
        {"/dev/null.jpg", "ファイル /dev/null.jpg は開けません"},
        {PathOf("unreadable.jpeg"), "ファイル " + PathOf("unreadable.jpeg") + " は開けません"},
        {PathOf("picture.PNG"), "拡張子 .PNG の画像形式は処理できません"},
        {PathOf("picture"), "拡張子 . の画像形式は処理できません"},
        // Known kinds without a decoder here.
        {PathOf("picture.bmp"), "拡張子 .bmp の画像形式は処理できません"},
        {PathOf("picture.Ico"), "拡張子 .Ico の画像形式は処理できません"},
    };
    for (const auto& c : cases) {
        platform::TPicture picture;
        EXPECT_EQ(LoadError(picture, c.path), c.error) << c.path;
        EXPECT_TRUE(picture.Empty());
    }
}

// Whether the canvas shows the fixtures' pattern at its top left, not the white it was
// filled with.
bool ShowsPatternAtTopLeft(const QImage& canvas) {
    std::uint8_t expected[3];
    fixtures::PatternRgb(0, 0, 8, 8, expected);  // the same for every size
    const QRgb shown = canvas.pixel(0, 0);
    return std::abs(qRed(shown) - expected[0]) <= 24 && std::abs(qBlue(shown) - expected[2]) <= 24;
}

std::string Draw(platform::TPicture& picture, QImage& canvas) {
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    try {
        picture.Draw(painter, QRect(0, 0, canvas.width(), canvas.height()));
    } catch (const platform::Exception& e) {
        return e.what();
    }
    return "";
}

// What the standard kinds do with a real JPEG file: the JPEG extensions, in any case,
// decode it; the kinds known by name only refuse it, whatever the file holds.
TEST_F(PictureFile, StandardKindsByExtension) {
    const struct {
        const char* name;
        bool decodes;
    } cases[] = {
        {"a.jpeg", true}, {"b.jpg", true},  {"c.JPEG", true}, {"d.Jpg", true},
        {"e.wmf", false}, {"f.EMF", false}, {"g.ico", false}, {"h.bmp", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.name, fixtures::Encode({.width = 8, .height = 8}));
        platform::TPicture picture;
        const std::string extension = platform::FileExtension(c.name);
        EXPECT_EQ(LoadError(picture, PathOf(c.name)),
                  c.decodes ? "" : "拡張子 ." + extension + " の画像形式は処理できません");
        EXPECT_EQ(picture.Empty(), !c.decodes);
        if (!c.decodes) continue;
        QImage canvas(8, 8, QImage::Format_RGB32);
        EXPECT_EQ(Draw(picture, canvas), "");
        EXPECT_TRUE(ShowsPatternAtTopLeft(canvas));
    }
}

TEST_F(PictureFile, DeviceIsNotAFile) {
    std::filesystem::create_symlink("/dev/zero", dir_ / "zero.jpeg");
    platform::TPicture picture;
    EXPECT_EQ(LoadError(picture, PathOf("zero.jpeg")), "ファイル " + PathOf("zero.jpeg") + " は開けません");
}

TEST_F(PictureFile, WriterHoldingALockKeepsReadersOut) {
    Write("locked.jpeg", fixtures::Encode({}));
    const int writer = ::open(PathOf("locked.jpeg").c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    platform::TPicture picture;
    EXPECT_EQ(LoadError(picture, PathOf("locked.jpeg")), "ファイル " + PathOf("locked.jpeg") + " は開けません");
    ::close(writer);
    EXPECT_EQ(LoadError(picture, PathOf("locked.jpeg")), "");
}

TEST_F(PictureFile, BackslashSeparatorAndUpperCaseExtension) {
    std::filesystem::create_directory(dir_ / "[]");
    Write("[]/UPPER.JPG", fixtures::Encode({}));
    platform::TPicture picture;
    EXPECT_EQ(LoadError(picture, PathOf("[]") + "\\UPPER.JPG"), "");
    EXPECT_FALSE(picture.Empty());
}

TEST_F(PictureFile, FailedLoadKeepsThePreviousPicture) {
    Write("good.jpeg", fixtures::Encode({.width = 8, .height = 8}));
    Write("bad.jpeg", {'n', 'o', 'p', 'e'});
    platform::TPicture picture;
    ASSERT_EQ(LoadError(picture, PathOf("good.jpeg")), "");
    const platform::TGraphic* before = picture.Graphic();
    EXPECT_NE(LoadError(picture, PathOf("bad.jpeg")), "");
    EXPECT_NE(LoadError(picture, PathOf("missing.jpeg")), "");
    EXPECT_EQ(picture.Graphic(), before);

    QImage canvas(400, 400, QImage::Format_RGB32);
    EXPECT_EQ(Draw(picture, canvas), "");
    EXPECT_TRUE(ShowsPatternAtTopLeft(canvas));
}

long PeakRssKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The file is not copied at load: only the picture in it is read, however large the file.
TEST_F(PictureFile, GigabytesAfterASmallPictureCostNoMemory) {
    constexpr std::uintmax_t kGiB = 1ULL << 30;
    Write("large.jpeg", fixtures::Encode({.width = 8, .height = 8}));
    std::filesystem::resize_file(dir_ / "large.jpeg", 2 * kGiB);  // a hole of zeros
    const long peak_before = PeakRssKib();

    platform::TPicture picture;
    ASSERT_EQ(LoadError(picture, PathOf("large.jpeg")), "");
    QImage canvas(400, 400, QImage::Format_RGB32);
    EXPECT_EQ(Draw(picture, canvas), "");
    EXPECT_TRUE(ShowsPatternAtTopLeft(canvas));
    EXPECT_LT(PeakRssKib() - peak_before, 64 * 1024);
}

// The file is read again at the first paint, under the lock taken at load; writers that
// ignore the lock may change it meanwhile, and whatever they leave is shown or reported
// like any other file, never a crash.
TEST_F(PictureFile, FileChangedBetweenLoadAndFirstPaint) {
    // Half of it is well into the scan.
    const fixtures::Bytes bytes = fixtures::Encode({.width = 64, .height = 2048});
    const std::string jpeg_no_soi = "JPEG エラー #" + std::to_string(JERR_NO_SOI);
    const struct {
        const char* name;
        void (*change)(const std::filesystem::path& file);
        std::string paint_error;
        bool shows_picture;
    } cases[] = {
        {"cut to half", [](const auto& f) { std::filesystem::resize_file(f, std::filesystem::file_size(f) / 2); }, "",
         true},
        {"cut to nothing", [](const auto& f) { std::filesystem::resize_file(f, 0); }, jpeg_no_soi, false},
        {"overwritten in place", [](const auto& f) { std::ofstream(f, std::ios::in | std::ios::out) << "GIF89a"; },
         jpeg_no_soi, false},
        {"removed", [](const auto& f) { std::filesystem::remove(f); }, "", true},
        {"replaced",
         [](const auto& f) {
             std::ofstream(f.string() + ".new") << "not a picture";
             std::filesystem::rename(f.string() + ".new", f);
         },
         "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write("changing.jpeg", bytes);
        platform::TPicture picture;
        ASSERT_EQ(LoadError(picture, PathOf("changing.jpeg")), "");
        c.change(dir_ / "changing.jpeg");
        QImage canvas(400, 400, QImage::Format_RGB32);
        EXPECT_EQ(Draw(picture, canvas), c.paint_error);
        EXPECT_EQ(ShowsPatternAtTopLeft(canvas), c.shows_picture);
    }
}

// The picture may be decoded again (on a screen of another density): the file stays
// open, under its lock, for as long as the picture lives.
TEST_F(PictureFile, ReadersLockHeldWhileThePictureLives) {
    Write("held.jpeg", fixtures::Encode({.width = 8, .height = 8}));
    const int writer = ::open(PathOf("held.jpeg").c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    {
        platform::TPicture picture;
        ASSERT_EQ(LoadError(picture, PathOf("held.jpeg")), "");
        EXPECT_NE(::flock(writer, LOCK_EX | LOCK_NB), 0);
        QImage canvas(400, 400, QImage::Format_RGB32);
        EXPECT_EQ(Draw(picture, canvas), "");
        EXPECT_NE(::flock(writer, LOCK_EX | LOCK_NB), 0);
    }
    EXPECT_EQ(::flock(writer, LOCK_EX | LOCK_NB), 0);
    ::close(writer);
}

}  // namespace
