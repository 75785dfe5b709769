#include "platform/music/soundfont_view.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include "soundfont_fixture.h"
#include "temp_dir.h"

namespace {

using platform::ProgramSet;
using platform::SoundFontView;
namespace fixture = soundfont_fixture;

ProgramSet Programs(std::initializer_list<int> programs) {
    ProgramSet set;
    for (int p : programs) set.set(static_cast<std::size_t>(p));
    return set;
}

std::vector<std::uint8_t> ReadAll(const SoundFontView& view, platform::ByteSource& file) {
    std::vector<std::uint8_t> bytes(view.Size());
    EXPECT_EQ(view.ReadAt(file, 0, bytes), bytes.size());
    return bytes;
}

std::uint32_t Get16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return Get16(b, at) | Get16(b, at + 2) << 16;
}

TEST(SoundFontView, KeepsThePresetsOfThePiecesProgramsWithWhatTheyOwn) {
    const auto file = fixture::File({{0, 0}, {0, 5, 2}, {8, 5}, {0, 7, 3}, {128, 0}, {128, 7}, {0, 40, 2}});
    platform::MemorySource source(file);
    const auto view = SoundFontView::Keep(source, Programs({0, 5, 40}));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->PresetsKept(), 5);
    const auto seen = ReadAll(*view, source);

    // Everything up to the preset data is the file's own; only the RIFF size follows the view.
    const auto original_pdta =
        fixture::PresetData({{0, 0}, {0, 5, 2}, {8, 5}, {0, 7, 3}, {128, 0}, {128, 7}, {0, 40, 2}});
    const std::size_t prefix = file.size() - original_pdta.size();
    EXPECT_EQ(Get32(seen, 4), seen.size() - 8);
    EXPECT_TRUE(std::equal(file.begin() + 8, file.begin() + static_cast<long>(prefix), seen.begin() + 8));

    // The preset data is what a file of only those presets holds: the same records, the
    // same zones in the same order, indices renumbered.
    const auto expected = fixture::PresetData({{0, 0}, {0, 5, 2}, {8, 5}, {128, 0}, {0, 40, 2}});
    const std::vector<std::uint8_t> cut(seen.begin() + static_cast<long>(prefix), seen.end());
    ASSERT_EQ(cut.size(), expected.size());
    // Names and generator amounts carry the original preset numbers; compare what they
    // must keep: the programs and banks in order, and each bag's indices.
    std::vector<std::tuple<int, int, int>> headers;
    for (std::size_t at = 12 + 8; at + 38 <= 12 + 8 + Get32(cut, 16); at += 38)
        headers.emplace_back(Get16(cut, at + 20), Get16(cut, at + 22), Get16(cut, at + 24));
    const std::vector<std::tuple<int, int, int>> wanted = {{0, 0, 0},   {5, 0, 1},  {5, 8, 3},
                                                           {0, 128, 4}, {40, 0, 5}, {0, 0, 7}};
    EXPECT_EQ(headers, wanted);
    // Generators of the kept bags, in order: preset 1's two bags carry 16 and 17, and so on.
    const std::size_t pgen =
        std::search(cut.begin(), cut.end(), std::begin("pgen"), std::end("pgen") - 1) - cut.begin();
    std::vector<int> amounts;
    for (std::size_t at = pgen + 8; at + 4 <= pgen + 8 + Get32(cut, pgen + 4); at += 4)
        if (Get16(cut, at) == 48) amounts.push_back(static_cast<int>(Get16(cut, at + 2)));
    EXPECT_EQ(amounts, (std::vector<int>{0, 16, 17, 32, 64, 96, 97}));
}

TEST(SoundFontView, ReadsAcrossItsPartsFromAnyOffset) {
    const auto file = fixture::File({{0, 0}, {0, 1}, {0, 2}});
    platform::MemorySource source(file);
    const auto view = SoundFontView::Keep(source, Programs({0}));
    ASSERT_TRUE(view);
    const auto whole = ReadAll(*view, source);
    for (std::uint64_t offset : {0ul, 3ul, 6ul, 100ul, whole.size() - 300, whole.size() - 1, whole.size()}) {
        for (std::size_t length : {1ul, 5ul, 400ul, 10000ul}) {
            std::vector<std::uint8_t> part(length);
            const std::size_t got = view->ReadAt(source, offset, part);
            ASSERT_EQ(got, std::min<std::size_t>(length, whole.size() - offset)) << offset << " " << length;
            EXPECT_TRUE(std::equal(part.begin(), part.begin() + static_cast<long>(got),
                                   whole.begin() + static_cast<long>(offset)))
                << offset << " " << length;
        }
    }
}

TEST(SoundFontView, FilesItCannotCutAreLoadedWhole) {
    const auto good = fixture::PresetData({{0, 0}, {0, 1}});
    auto after_pdta = fixture::File(good);
    const auto extra = fixture::List("xtra", {1, 2, 3, 4});
    after_pdta.insert(after_pdta.end(), extra.begin(), extra.end());
    after_pdta[4] = static_cast<std::uint8_t>(after_pdta.size() - 8);
    after_pdta[5] = static_cast<std::uint8_t>((after_pdta.size() - 8) >> 8);

    // The bag index of the first preset, the first bag's generator index and the preset
    // header table's size, each spoiled in turn.
    auto spoiled = [&](std::size_t at_in_pdta, std::uint8_t value) {
        auto pdta = good;
        pdta[at_in_pdta] = value;
        return fixture::File(pdta);
    };
    const std::size_t phdr_data = 12 + 8, pbag_data = phdr_data + 3 * 38 + 8;
    auto cut_short = fixture::File(good);
    cut_short.resize(cut_short.size() - 30);

    const struct {
        const char* what;
        std::vector<std::uint8_t> file;
        ProgramSet programs;
    } cases[] = {
        {"empty", {}, Programs({0})},
        {"not RIFF", std::vector<std::uint8_t>(200, 'x'), Programs({0})},
        {"a RIFF file of another kind",
         [&] {
             auto f = fixture::File(good);
             f[8] = 'W';
             return f;
         }(),
         Programs({0})},
        {"preset data not last", after_pdta, Programs({0})},
        {"bags of a preset running backwards", spoiled(phdr_data + 38 + 24, 0xFF), Programs({0})},
        {"a generator index past the table", spoiled(pbag_data + 4, 0x7F), Programs({0})},
        {"preset headers of a broken size", spoiled(phdr_data - 4, 37), Programs({0})},
        {"cut short", cut_short, Programs({0})},
        {"every preset kept: nothing to gain", fixture::File(good), Programs({0, 1})},
        {"no preset kept", fixture::File(good), Programs({5})},
    };
    for (const auto& c : cases) {
        platform::MemorySource source(c.file);
        EXPECT_FALSE(SoundFontView::Keep(source, c.programs)) << c.what;
    }
}

// FluidSynth itself is the judge: the view of the system's General MIDI SoundFont loads,
// holds exactly the presets of the kept programs, and plays them as the whole file does.
struct Synth {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_synth_t* synth = nullptr;
    explicit Synth(const std::string& path) {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
        fluid_settings_setint(settings, "synth.reverb.active", 0);
        synth = new_fluid_synth(settings);
        fluid_synth_sfload(synth, path.c_str(), 1);
    }
    ~Synth() {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
    }
    std::set<std::pair<int, int>> Presets() const {
        std::set<std::pair<int, int>> presets;
        fluid_sfont_t* font = fluid_synth_get_sfont(synth, 0);
        if (!font) return presets;
        fluid_sfont_iteration_start(font);
        while (fluid_preset_t* p = fluid_sfont_iteration_next(font))
            presets.emplace(fluid_preset_get_banknum(p), fluid_preset_get_num(p));
        return presets;
    }
    std::vector<float> Play(int program, int key) {
        fluid_synth_program_change(synth, 0, program);
        fluid_synth_program_change(synth, 9, program);
        fluid_synth_noteon(synth, 0, key, 100);
        fluid_synth_noteon(synth, 9, key, 100);
        std::vector<float> out(2 * 22050);
        fluid_synth_write_float(synth, 22050, out.data(), 0, 2, out.data(), 1, 2);
        fluid_synth_all_sounds_off(synth, -1);
        return out;
    }
};

TEST(SoundFontView, FluidSynthLoadsTheViewAndPlaysItAsTheWholeFile) {
    const std::string path = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    ASSERT_TRUE(std::filesystem::exists(path)) << "timgm6mb-soundfont is a dependency";
    platform::SharedFile file(path);
    const ProgramSet programs = Programs({0, 19, 40, 73});
    const auto view = SoundFontView::Keep(file, programs);
    ASSERT_TRUE(view);
    test_support::TempDir dir;
    const auto cut_path = dir.path() / "cut.sf2";
    {
        const auto bytes = ReadAll(*view, file);
        std::ofstream(cut_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    Synth whole(path), cut(cut_path.string());
    std::set<std::pair<int, int>> expected;
    for (const auto& [bank, program] : whole.Presets())
        if (programs[static_cast<std::size_t>(program)]) expected.emplace(bank, program);
    EXPECT_EQ(cut.Presets(), expected);
    EXPECT_LT(cut.Presets().size(), whole.Presets().size() / 4);
    for (int program : {0, 19, 40, 73})
        for (int key : {36, 60, 84}) {
            const auto sound = whole.Play(program, key);
            ASSERT_TRUE(std::any_of(sound.begin(), sound.end(), [](float s) { return s != 0; }));
            EXPECT_EQ(cut.Play(program, key), sound) << program << " " << key;
        }
}

}  // namespace
