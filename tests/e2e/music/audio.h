// Listening from outside: a private PulseAudio server with a null sink whose monitor is
// recorded, and the comparisons that tell whether a recording holds a given piece.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "process.h"
#include "session.h"

namespace e2e {

// A PulseAudio server in the session's runtime directory, so that the session's programs
// play into it, with its only sink a null sink ("capture") kept at real-time pace.
class PulseServer {
public:
    explicit PulseServer(const Session& session);
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;
    // Kills the server at once, as a crash would: its clients' connections break.
    void Kill();

private:
    std::unique_ptr<Child> server_;
};

// Records the null sink's monitor into a WAV file until Stop().
class Recording {
public:
    Recording(const Session& session, std::filesystem::path wav);
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;
    const std::filesystem::path& Stop();
    // Waits until something louder than a whisper has been recorded; false when the time
    // ran out first. A null sink records exact zeros while nothing plays.
    bool WaitForSound(std::chrono::milliseconds timeout) const;

private:
    std::filesystem::path wav_;
    std::unique_ptr<Child> parec_;
};

// Mono samples at `rate` converted by sox from any sound file; `seconds` limits the length.
std::vector<float> LoadMono(const std::filesystem::path& file, int rate, double seconds);
// The RMS level in dB relative to full scale, as sox reports it (-inf for digital silence).
double RmsDb(const std::filesystem::path& file);
// Renders a MIDI file through FluidSynth's file renderer with the synthesizer's settings.
std::filesystem::path RenderMidi(const std::filesystem::path& midi, const std::filesystem::path& wav);

// RMS per hop of `hop` samples.
std::vector<double> Envelope(const std::vector<float>& samples, int hop);
// The lag (in hops, 0..max_lag) at which `later` best matches `reference`, and that match
// as a correlation coefficient.
struct Alignment {
    int lag = 0;
    double correlation = 0;
};
Alignment Align(const std::vector<double>& reference, const std::vector<double>& later, int max_lag);
// Energy of the twelve pitch classes, C first, over pitches C4..B7 of one stretch of samples.
std::vector<double> Chroma(const std::vector<float>& samples, int rate, std::size_t start, std::size_t length);
double Cosine(const std::vector<double>& a, const std::vector<double>& b);
// The chroma vector shifted up by `semitones`.
std::vector<double> Transpose(const std::vector<double>& chroma, int semitones);

}  // namespace e2e
