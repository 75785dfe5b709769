// The sequencer's thread and requests. FluidSynth itself is behind SynthEngine, in a module
// loaded on first use, found through the program's run path (lib/balloonstory/).
#include "platform/music/midi_sequencer.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/c_handle.h"
#include "platform/first_paint.h"
#include "platform/music/midi_file.h"
#include "platform/music/synth_engine.h"

namespace platform {
namespace {

// The longest the music waits for the window's first paint.
constexpr std::chrono::milliseconds kFirstPaintLimit{1000};
// How often the sequencer's thread looks whether the piece has ended, while the audio
// output is open, and how long the output stays after the last note, for the reverberation
// and for what the sound server still holds.
constexpr std::chrono::milliseconds kEndCheck{500};
constexpr int kQuietChecksBeforeClosing = 3;

// Every voice FluidSynth keeps ready costs memory and time, sounding or not. A note takes up
// to two voices of a General MIDI SoundFont (stereo samples), and released notes sound on
// while the next ones begin: four for each note the piece holds at once leave room for both.
constexpr std::uint32_t kVoicesPerNote = 4;
constexpr std::uint32_t kFewestVoices = 64;
constexpr std::uint32_t kMostVoices = 256;  // FluidSynth's own default

int VoicesFor(const std::optional<MidiTimeline>& timeline) {
    const std::uint32_t notes = timeline ? timeline->MostNotesAtOnce() : kMostVoices;
    return static_cast<int>(std::clamp(notes * kVoicesPerNote, kFewestVoices, kMostVoices));
}

constexpr int kModuleFlags = RTLD_NOW | RTLD_LOCAL;

// dlopen searches the run path of whoever calls it, and under AddressSanitizer that is the
// sanitizer's own library, whose run path is empty. So the program's search path (its run
// path among it, $ORIGIN expanded) is walked here and the module opened by its full path.
void* OpenFromProgramSearchPath(const char* name) {
    void* program = dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size{};
    if (program && dlinfo(program, RTLD_DI_SERINFOSIZE, &size) == 0) {
        CHandle<Dl_serinfo, free> info(static_cast<Dl_serinfo*>(malloc(size.dls_size)));
        if (info) {
            *info = size;
            if (dlinfo(program, RTLD_DI_SERINFO, info.get()) == 0) {
                for (unsigned i = 0; i < info->dls_cnt; ++i) {
                    const std::string path = std::string(info->dls_serpath[i].dls_name) + "/" + name;
                    if (void* module = dlopen(path.c_str(), kModuleFlags)) return module;
                }
            }
        }
    }
    return dlopen(name, kModuleFlags);
}

OpenSynthFunction SynthModule() {
    static OpenSynthFunction open = [] {
        void* module = OpenFromProgramSearchPath(kSynthModule);
        return module ? reinterpret_cast<OpenSynthFunction>(dlsym(module, kOpenSynthSymbol)) : nullptr;
    }();
    return open;
}

}  // namespace

MidiSequencer::MidiSequencer(std::vector<std::uint8_t> midi_file) : MidiSequencer(std::move(midi_file), Options{}) {}

MidiSequencer::MidiSequencer(std::vector<std::uint8_t> midi_file, Options options) {
    thread_ = std::thread(&MidiSequencer::Run, this, std::move(midi_file), std::move(options));
}

MidiSequencer::~MidiSequencer() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        wake_.notify_all();
    }
    thread_.join();
    engine_.reset();
}

void MidiSequencer::Run(std::vector<std::uint8_t> midi_file, Options options) {
    WaitForFirstPaint(kFirstPaintLimit);
    auto engine = Load(std::move(midi_file), std::move(options));
    std::unique_lock lock(mutex_);
    if (!engine || cancelled_) {
        lock.unlock();
        GiveUp();
        return;  // the engine goes down here, on this thread
    }
    engine_ = std::move(engine);
    done_loading_ = true;
    if (pending_) Start(*pending_);
    pending_.reset();
    loaded_.notify_all();
    KeepOutput(lock);
}

std::unique_ptr<SynthEngine> MidiSequencer::Load(std::vector<std::uint8_t> midi_file, Options options) {
    auto cancelled = [this] {
        std::lock_guard lock(mutex_);
        return cancelled_;
    };
    const OpenSynthFunction open = SynthModule();
    if (!open || cancelled()) return nullptr;
    const auto timeline = MidiTimeline::Read(midi_file);
    const int polyphony = VoicesFor(timeline);
    std::optional<std::bitset<128>> programs;
    if (timeline) programs = timeline->ProgramsSelected();
    const SynthSetup setup{std::move(midi_file),
                           std::move(options.drivers),
                           std::move(options.soundfonts),
                           std::move(options.file_name),
                           polyphony,
                           programs,
                           cancelled};
    std::unique_ptr<SynthEngine> engine(open(setup));
    if (!engine || cancelled() || !engine->OpenOutput()) return nullptr;
    return engine;
}

// An open output keeps FluidSynth's and the sound server's threads busy even in silence: it
// goes once nothing plays and the last notes have died away, and a later Play opens it again.
void MidiSequencer::KeepOutput(std::unique_lock<std::mutex>& lock) {
    int quiet_checks = 0;
    while (!cancelled_) {
        if (pending_ && !engine_->OutputOpen()) {
            lock.unlock();
            const bool open = engine_->OpenOutput();
            lock.lock();
            if (open && pending_) Start(*pending_);
            pending_.reset();
            loaded_.notify_all();
        } else if (engine_->OutputOpen() && quiet_checks < kQuietChecksBeforeClosing) {
            quiet_checks = engine_->Playing() || engine_->Sounding() ? 0 : quiet_checks + 1;
            wake_.wait_for(lock, kEndCheck);
        } else {
            engine_->CloseOutput();
            quiet_checks = 0;
            wake_.wait(lock, [this] { return cancelled_ || pending_; });
        }
    }
}

void MidiSequencer::GiveUp() {
    std::lock_guard lock(mutex_);
    done_loading_ = true;
    pending_.reset();
    loaded_.notify_all();
}

// Called with the mutex held and the engine present.
void MidiSequencer::Start(const Request& request) { engine_->Play(request.from_tick, request.to_tick); }

void MidiSequencer::Play(std::optional<std::uint32_t> from_tick, std::optional<std::uint32_t> to_tick) {
    std::lock_guard lock(mutex_);
    if (engine_ && engine_->OutputOpen()) {
        Start({from_tick, to_tick});
    } else if (!done_loading_ || engine_) {
        pending_ = Request{from_tick, to_tick};
        wake_.notify_all();
    }
}

void MidiSequencer::Stop() {
    std::lock_guard lock(mutex_);
    pending_.reset();
    if (engine_) engine_->Stop();
}

void MidiSequencer::WaitUntilDone() {
    std::unique_lock lock(mutex_);
    loaded_.wait(lock, [this] { return done_loading_ && !pending_; });
    if (!engine_ || !engine_->Playing()) return;
    SynthEngine* engine = engine_.get();
    lock.unlock();  // the engine lives until the destructor, which this thread would have to call
    engine->Join();
}

MidiSequencer::Mode MidiSequencer::CurrentMode() const {
    std::lock_guard lock(mutex_);
    if (pending_) return Mode::Playing;
    if (engine_ && engine_->Playing()) return Mode::Playing;
    return Mode::Stopped;
}

bool MidiSequencer::Ready() const {
    std::lock_guard lock(mutex_);
    return done_loading_;
}

std::uint32_t MidiSequencer::PositionTick() const {
    std::lock_guard lock(mutex_);
    return engine_ ? engine_->PositionTick() : 0;
}

bool MidiSequencer::Audible() const {
    std::lock_guard lock(mutex_);
    return engine_ != nullptr;
}

}  // namespace platform
