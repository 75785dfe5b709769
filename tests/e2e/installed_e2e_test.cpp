// The program as a user gets it: installed under a prefix by `cmake --install`, and
// unpacked from its Debian package. Each is started the way its desktop entry says
// (its Exec in its Path) and must show the sample story.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "jpeg_fixtures.h"
#include "program.h"
#include "story_table.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kAppId = APP_ID;
const fs::path kSampleStory = fs::path(SAMPLE_DIR) / "[]";

struct Install {
    const char* name;
    // Where the files are: the prefix they were installed for, under `root`. The
    // installed files name paths as they are below the root.
    fs::path root;
    fs::path prefix;
    fs::path Real(const fs::path& installed) const { return root / installed.relative_path(); }
    fs::path Files() const { return Real(prefix); }
};

const Install kInstalls[] = {
    {"prefix", "/", STAGED_PREFIX},
    {"package", PACKAGE_ROOT, "/usr"},
};

struct CommandResult {
    int status = -1;
    std::string output;
};

// Runs a shell command line, its standard output and error together.
CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
    result.status = pclose(pipe);
    return result;
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// The keys of the [Desktop Entry] group.
std::map<std::string, std::string> DesktopEntry(const fs::path& file) {
    std::map<std::string, std::string> keys;
    std::istringstream in(ReadFile(file));
    std::string group;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("[")) group = line;
        const auto equals = line.find('=');
        if (group == "[Desktop Entry]" && equals != std::string::npos && !line.starts_with("#"))
            keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

void PrintTo(const Install& install, std::ostream* out) { *out << install.name; }

class Installed : public testing::TestWithParam<Install> {};

TEST_P(Installed, HoldsTheProgramItsStoryAndWhatTheMenuShows) {
    const fs::path files = GetParam().Files();
    EXPECT_EQ(fs::status(files / "bin/balloonstory").permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
    for (const char* name : {"balloonpicture.jpeg", "xlkfnjxlxr.mid"}) {
        EXPECT_EQ(ReadFile(files / "share/balloonstory/[]" / name), ReadFile(kSampleStory / name)) << name;
    }
    for (const fs::path& file : {
             fs::path("share/applications") / (kAppId + ".desktop"),
             fs::path("share/metainfo") / (kAppId + ".metainfo.xml"),
             fs::path("share/icons/hicolor/scalable/apps") / (kAppId + ".svg"),
             fs::path("share/man/man6/balloonstory.6.gz"),
             fs::path("share/doc/balloonstory/copyright"),
         }) {
        EXPECT_TRUE(fs::is_regular_file(files / file)) << file;
    }
    // Each fixed-size icon is as large as the folder it is in says.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const fs::path icon = files / "share/icons/hicolor" / folder / "apps" / (kAppId + ".png");
        EXPECT_EQ(PngSize(icon), std::make_pair(size, size)) << icon;
    }
}

TEST_P(Installed, StartsFromItsMenuEntryIntoTheSampleStory) {
    const Install& install = GetParam();
    auto entry = DesktopEntry(install.Files() / "share/applications" / (kAppId + ".desktop"));
    // The menu looks the command up on its PATH, which holds the prefix's bin.
    const std::string command = entry["Exec"];
    ASSERT_FALSE(command.empty());
    ASSERT_EQ(command.find_first_of(" /%"), std::string::npos) << command;
    const fs::path story = entry["Path"];
    EXPECT_EQ(story, install.prefix / "share/balloonstory");
    EXPECT_EQ(entry["Icon"], kAppId);

    Session session;
    XClient x(session.display());
    ProgramOptions options;
    options.program = install.Files() / "bin" / command;
    options.cwd = install.Real(story);
    RunningProgram program(session, x, options);

    // The first window is the story's, not an error box.
    const Rect client = x.Geometry(program.window());
    EXPECT_EQ(client.width, 400);
    EXPECT_EQ(client.height, 400);
    for (const ClientInfo& c : x.Clients()) {
        if (c.window == program.window()) {
            EXPECT_EQ(c.wm_class, entry["StartupWMClass"]);
        }
    }

    // The sample picture, and a title that blinks: empty, composed, empty again.
    const auto picture = ReadFile(kSampleStory / "balloonpicture.jpeg");
    const auto expected = fixtures::StretchToRgb(
        fixtures::ReferenceDecode(fixtures::Bytes(picture.begin(), picture.end()), false), 400, 400);
    Image shot;
    for (int attempt = 0; attempt < 50 && shot.rgb != expected; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(100ms);
        shot = x.Screenshot(program.window());
    }
    shot.SavePng(ArtifactDir() / (std::string("installed-") + install.name + ".png"));
    EXPECT_TRUE(shot.rgb == expected) << "the window does not show the sample picture";
    EXPECT_TRUE(program.titles().WaitFor(
        [](const std::vector<TitleChange>& changes) {
            for (std::size_t i = 0; i + 2 < changes.size(); ++i) {
                if (changes[i].value.empty() && changes[i + 1].value == story_table::Composed(" ") &&
                    changes[i + 2].value.empty())
                    return true;
            }
            return false;
        },
        5s));

    for (const ClientInfo& c : x.Clients()) {
        EXPECT_FALSE(c.pid == program.child().pid() && c.window != program.window()) << "another window: " << c.title;
    }
    EXPECT_EQ(program.Stderr(), "");
    x.RequestClose(program.window());
    const auto exit = program.child().WaitExit(10s);
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->code, 0);
}

INSTANTIATE_TEST_SUITE_P(Installs, Installed, testing::ValuesIn(kInstalls),
                         [](const testing::TestParamInfo<Install>& info) { return info.param.name; });

// Package names in a Depends-like field, with alternatives and without versions.
std::set<std::string> PackageNames(const std::string& field) {
    std::set<std::string> names;
    std::istringstream in(field);
    for (std::string item; std::getline(in, item, ',');) {
        std::istringstream alternatives(item);
        for (std::string alternative; std::getline(alternatives, alternative, '|');) {
            std::istringstream words(alternative);
            std::string name;
            if (words >> name) names.insert(name);
        }
    }
    return names;
}

std::string ControlField(const std::string& field) {
    CommandResult result = RunCommand("dpkg-deb --field " + Quoted(PACKAGE_FILE) + " " + field);
    EXPECT_EQ(result.status, 0) << result.output;
    while (!result.output.empty() && result.output.back() == '\n') result.output.pop_back();
    return result.output;
}

bool IsElf(const fs::path& file) {
    return ReadFile(file).starts_with(
        "\x7f"
        "ELF");
}

// The libraries each ELF file of the package names as needed, by file.
std::map<fs::path, std::vector<std::string>> NeededLibraries() {
    std::map<fs::path, std::vector<std::string>> needed;
    for (const auto& file : fs::recursive_directory_iterator(PACKAGE_ROOT)) {
        if (!file.is_regular_file() || !IsElf(file.path())) continue;
        const CommandResult names =
            RunCommand("readelf --dynamic " + Quoted(file.path()) + " | sed -n 's/.*(NEEDED).*\\[\\(.*\\)\\]/\\1/p'");
        EXPECT_EQ(names.status, 0) << names.output;
        std::istringstream lines(names.output);
        for (std::string soname; std::getline(lines, soname);) needed[file.path()].push_back(soname);
    }
    return needed;
}

// The packages on this system that hold a file of each name, for any architecture.
std::map<std::string, std::set<std::string>> Owners(const std::set<std::string>& file_names) {
    std::string command = "dpkg-query --search";
    for (const auto& name : file_names) command += " '*/" + name + "'";
    // Lines such as "libc6:amd64, libc6-dev:amd64: /usr/lib/x86_64-linux-gnu/libc.so.6".
    std::map<std::string, std::set<std::string>> owners;
    std::istringstream lines(RunCommand(command).output);
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(": /");
        if (colon == std::string::npos) continue;
        std::istringstream packages(line.substr(0, colon));
        for (std::string package; std::getline(packages, package, ',');) {
            package.erase(0, package.find_first_not_of(' '));
            owners[fs::path(line.substr(colon + 2)).filename()].insert(package.substr(0, package.find(':')));
        }
    }
    return owners;
}

TEST(Package, DependsOnWhatEachOfItsProgramsLinksAndOnTheFont) {
    const std::set<std::string> depends = PackageNames(ControlField("Depends"));
    EXPECT_TRUE(depends.contains("fonts-ipafont-gothic"));
    EXPECT_EQ(ControlField("Recommends"), "timgm6mb-soundfont | fluid-soundfont-gm");

    // Every ELF file in the package, whatever folder it is in: what is loaded at run
    // time must bring its libraries along too.
    const auto needed = NeededLibraries();
    ASSERT_FALSE(needed.empty());
    std::set<std::string> sonames;
    for (const auto& [file, names] : needed) sonames.insert(names.begin(), names.end());
    const auto owners = Owners(sonames);
    for (const auto& [file, names] : needed) {
        for (const auto& soname : names) {
            const auto found = owners.find(soname);
            EXPECT_TRUE(found != owners.end() &&
                        std::ranges::any_of(found->second, [&](const std::string& p) { return depends.contains(p); }))
                << file << " needs " << soname << ", which none of the dependencies holds";
        }
    }
}

TEST(Package, AptWouldInstallIt) {
    const CommandResult result = RunCommand("apt-get install --simulate " + Quoted(PACKAGE_FILE));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Inst balloonstory "), std::string::npos) << result.output;
}

}  // namespace
}  // namespace e2e
