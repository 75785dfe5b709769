// Writes the seed inputs of the picture, MIDI and SoundFont targets from the fixtures the
// tests build: small JPEG files of each colour model and coding, damaged ones, small MIDI
// files and small SoundFonts. Usage: write_seeds <fuzz dir>; the outputs are kept under corpus/.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "jpeg_fixtures.h"
#include "midi_fixture.h"
#include "soundfont_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The picture target's first byte: bit 0 the palette display, the rest the target size.
constexpr std::uint8_t kTrueColourSmall = 0x00;
constexpr std::uint8_t kPaletteSmall = 0x01;
constexpr std::uint8_t kTrueColour400 = 0x02;
constexpr std::uint8_t kPalette400 = 0x03;

void Picture(const std::filesystem::path& dir, const std::string& name, const Bytes& jpeg,
             std::initializer_list<std::uint8_t> choices = {kTrueColourSmall, kPaletteSmall}) {
    for (std::uint8_t choice : choices) {
        Bytes input{choice};
        input.insert(input.end(), jpeg.begin(), jpeg.end());
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "-%02x", choice);
        fixture::Write(dir / (name + suffix), input);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <fuzz dir>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    const auto pictures = root / "corpus" / "picture";
    const auto midi = root / "corpus" / "midi_file";
    std::filesystem::create_directories(pictures);
    std::filesystem::create_directories(midi);

    using fixtures::Colour;
    using fixtures::Encode;
    // Small pictures keep the fuzzer fast; each still has every marker of its kind.
    Picture(pictures, "rgb", Encode({.width = 24, .height = 16}), {kTrueColourSmall, kTrueColour400, kPalette400});
    Picture(pictures, "grey", Encode({.width = 24, .height = 16, .colour = Colour::Grey}));
    Picture(pictures, "cmyk", Encode({.width = 16, .height = 16, .colour = Colour::Cmyk}));
    Picture(pictures, "ycck", Encode({.width = 16, .height = 16, .colour = Colour::Ycck}));
    Picture(pictures, "rgb-444", Encode({.width = 17, .height = 9, .h_sampling = 1, .v_sampling = 1}));
    Picture(pictures, "progressive", Encode({.width = 24, .height = 16, .progressive = true}));
    Picture(pictures, "restart", Encode({.width = 40, .height = 16, .restart_interval = 1}));
    Picture(pictures, "arithmetic", Encode({.width = 16, .height = 16, .arithmetic = true}), {kTrueColourSmall});
    Picture(pictures, "tables-only", fixtures::TablesOnly(), {kTrueColourSmall});
    Picture(pictures, "truncated", fixtures::Truncated(Encode({.width = 32, .height = 32}), 0.6));
    Picture(pictures, "frame-in-scan", fixtures::WithFrameInScan(Encode({.width = 24, .height = 16})),
            {kTrueColourSmall});
    Picture(pictures, "repeated-scan",
            fixtures::WithRepeatedLastScan(Encode({.width = 16, .height = 16, .progressive = true}), 3),
            {kPaletteSmall});
    Picture(pictures, "large-frame", fixtures::WithFrame(Encode({.width = 16, .height = 16}), 0xC0, 8, 4000, 3000),
            {kTrueColourSmall});

    fixture::Write(midi / "note", fixture::Smf(0, 480, {fixture::Note(2)}));
    fixture::Write(midi / "two-tracks", fixture::Smf(1, 96, {fixture::Note(1, 60), fixture::Note(3, 64)}));
    // A tempo change (meta 0x51), a text event, a system-exclusive message and running status.
    const Bytes tempo_track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x01, 0x02, 'h',  'i',
                               0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7, 0x00, 0x90, 0x3C, 0x40, 0x60, 0x3C, 0x00,
                               0x83, 0x60, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90, 0x00, 0xFF, 0x2F, 0x00};
    fixture::Write(midi / "tempo", fixture::Smf(1, 480, {tempo_track, fixture::Note(4)}));

    // The SoundFont target's first 16 bytes: the programs kept, bit n for program n.
    const auto soundfonts = root / "corpus" / "soundfont_view";
    std::filesystem::create_directories(soundfonts);
    auto soundfont = [&](const std::string& name, std::initializer_list<int> kept, const Bytes& file) {
        Bytes input(16);
        for (int p : kept) input[static_cast<std::size_t>(p / 8)] |= static_cast<std::uint8_t>(1 << (p % 8));
        input.insert(input.end(), file.begin(), file.end());
        fixture::Write(soundfonts / name, input);
    };
    soundfont("general-midi-like", {0, 5},
              soundfont_fixture::File({{0, 0}, {0, 5, 2}, {0, 7, 3}, {128, 0}, {128, 5}, {8, 5}}));
    soundfont("all-kept", {0, 1}, soundfont_fixture::File({{0, 0}, {0, 1}}));
    soundfont("many-bags", {0}, soundfont_fixture::File({{0, 0, 6}, {0, 1, 6}, {0, 2, 1}}));
    return 0;
}
