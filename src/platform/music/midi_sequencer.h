// The MIDI sequencer behind the multimedia commands: FluidSynth with a General MIDI
// SoundFont, playing one file. Everything slow (FluidSynth's module, SoundFont, audio
// device) happens on a thread of the sequencer's own, after the program's window has shown
// itself, so the calls here return at once. The audio output is held only while something
// plays. When no SoundFont or no audio output can be had, the sequencer stays silent;
// nothing is reported.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace platform {

class SynthEngine;

class MidiSequencer {
public:
    struct Options {
        // Tried in this order: FluidSynth does not fall back from one driver to the next.
        std::vector<std::string> drivers = {"pulseaudio", "alsa", "sdl2"};
        // Empty: the Debian General MIDI SoundFonts, TimGM6mb first.
        std::vector<std::string> soundfonts;
        // Output file for the "file" driver.
        std::string file_name;
    };

    enum class Mode { Playing, Stopped };

    explicit MidiSequencer(std::vector<std::uint8_t> midi_file);
    MidiSequencer(std::vector<std::uint8_t> midi_file, Options options);
    ~MidiSequencer();
    MidiSequencer(const MidiSequencer&) = delete;
    MidiSequencer& operator=(const MidiSequencer&) = delete;

    // Starts (or resumes) playing; with a start tick it seeks first, with an end tick it
    // stops there. Before the sequencer is ready the request is kept and carried out then.
    void Play(std::optional<std::uint32_t> from_tick, std::optional<std::uint32_t> to_tick);
    void Stop();
    // Blocks until the piece has finished playing (at once when it cannot sound).
    void WaitUntilDone();

    Mode CurrentMode() const;
    bool Ready() const;
    std::uint32_t PositionTick() const;
    // Whether sound can reach an audio device (false while loading or when silent).
    bool Audible() const;

private:
    struct Request {
        std::optional<std::uint32_t> from_tick;
        std::optional<std::uint32_t> to_tick;
    };

    // On the sequencer's thread: builds the engine, or gives up leaving the sequencer
    // silent; then keeps the audio output open while something plays.
    void Run(std::vector<std::uint8_t> midi_file, Options options);
    std::unique_ptr<SynthEngine> Load(std::vector<std::uint8_t> midi_file, Options options);
    void KeepOutput(std::unique_lock<std::mutex>& lock);
    void GiveUp();
    void Start(const Request& request);

    mutable std::mutex mutex_;
    std::condition_variable loaded_;
    std::condition_variable wake_;  // for the sequencer's thread: a request, or the end
    bool done_loading_ = false;
    bool cancelled_ = false;
    std::optional<Request> pending_;
    std::unique_ptr<SynthEngine> engine_;  // null until loaded, and when nothing could sound
    std::thread thread_;
};

}  // namespace platform
