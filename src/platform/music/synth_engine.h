// The synthesizer behind the sequencer. It lives in a module of its own
// (lib/balloonstory/balloonstory-fluidsynth.so), which the sequencer loads on its loader
// thread: a program that plays no music never maps FluidSynth and the libraries it brings.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct SynthSetup {
    std::vector<std::uint8_t> midi_file;
    // Tried in this order: FluidSynth does not fall back from one driver to the next.
    std::vector<std::string> drivers;
    // Empty: the Debian General MIDI SoundFonts, TimGM6mb first.
    std::vector<std::string> soundfonts;
    // Output file for the "file" driver.
    std::string file_name;
    // Voices the synthesizer keeps ready.
    int polyphony = 0;
    // The programs the piece selects: the SoundFont's presets for other programs are left
    // out (those for program 0 always stay). Nothing: every preset is loaded.
    std::optional<std::bitset<128>> programs;
    // Asked between the slow steps; true gives up the open.
    std::function<bool()> cancelled;
};

// All calls but the constructor's may come from any thread, one at a time.
class SynthEngine {
public:
    virtual ~SynthEngine() = default;

    // Opens the first audio output of the list that opens; true when one is open.
    virtual bool OpenOutput() = 0;
    virtual void CloseOutput() = 0;
    virtual bool OutputOpen() const = 0;

    virtual void Play(std::optional<std::uint32_t> from_tick, std::optional<std::uint32_t> to_tick) = 0;
    // Stops the piece and silences its notes.
    virtual void Stop() = 0;
    virtual bool Playing() const = 0;
    // Whether any note still sounds (a release or its echo).
    virtual bool Sounding() const = 0;
    virtual std::uint32_t PositionTick() const = 0;
    // Blocks until the piece has stopped playing.
    virtual void Join() = 0;
};

// The module's one entry point: the synthesizer with its SoundFont and the piece loaded,
// the output not yet open; null when no SoundFont loads or the piece does not.
using OpenSynthFunction = SynthEngine* (*)(const SynthSetup& setup);
inline constexpr char kSynthModule[] = "balloonstory-fluidsynth.so";
inline constexpr char kOpenSynthSymbol[] = "balloonstory_open_synth";

}  // namespace platform
