// FluidSynth behind the sequencer. FluidSynth and ALSA write their complaints to standard
// error by default; a user of the story must never see them, so both are routed away once.
#include "platform/music/midi_sequencer.h"

#include <SDL2/SDL.h>
#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <atomic>
#include <filesystem>

#include "platform/c_handle.h"

namespace platform {
namespace {

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

void SilenceLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
        snd_lib_error_set_handler(QuietAlsa);
    });
}

// SDL's audio subsystem must be up before FluidSynth's SDL driver opens, and stays up
// until that driver is gone. Nothing else here uses SDL, so the last one out shuts SDL down
// whole, which also frees what SDL keeps beyond its subsystems.
struct SdlAudio {
    bool up = false;
    bool Start() {
        // SDL would otherwise take over SIGINT and SIGTERM, turning them into a quit event
        // nobody reads here: a Ctrl+C or kill then would be lost and the story go on.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        up = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!up && SDL_WasInit(0) == 0) SDL_Quit();
        return up;
    }
    ~SdlAudio() {
        if (up) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (up && SDL_WasInit(0) == 0) SDL_Quit();
    }
    SdlAudio() = default;
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;
};

std::vector<std::string> SystemSoundFonts(fluid_settings_t* settings) {
    std::vector<std::string> fonts = {"/usr/share/sounds/sf2/TimGM6mb.sf2"};
    char* configured = nullptr;
    if (fluid_settings_dupstr(settings, "synth.default-soundfont", &configured) == FLUID_OK && configured) {
        fonts.emplace_back(configured);
        fluid_free(configured);
    }
    for (const char* path : {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf3/FluidR3_GM.sf3",
                             "/usr/share/sounds/sf3/MuseScore_General.sf3", "/usr/share/sounds/sf2/default-GM.sf2",
                             "/usr/share/sounds/sf3/default-GM.sf3"})
        fonts.emplace_back(path);
    return fonts;
}

bool IsFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// fluid_synth_sfload: set every channel to the new font's presets.
constexpr int kResetPresets = 1;

// Settings for a player that must keep sounding on a busy machine.
void Configure(fluid_settings_t* settings) {
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    // FluidSynth's own default gain (0.2) leaves General MIDI pieces far quieter than other players.
    fluid_settings_setnum(settings, "synth.gain", 0.8);
    // Nothing here needs low latency; FluidSynth's default 23 ms of buffering drops out
    // whenever the machine is busy. About 190 ms, in blocks a power of two long (for SDL).
    fluid_settings_setint(settings, "audio.period-size", 1024);
    fluid_settings_setint(settings, "audio.periods", 8);
}

}  // namespace

// Members are destroyed bottom-up: driver, player, synth, settings, then SDL.
struct MidiSequencer::Engine {
    SdlAudio sdl;
    CHandle<fluid_settings_t, delete_fluid_settings> settings;
    CHandle<fluid_synth_t, delete_fluid_synth> synth;
    CHandle<fluid_player_t, delete_fluid_player> player;
    CHandle<fluid_audio_driver_t, delete_fluid_audio_driver> driver;
    std::atomic<int> stop_tick{-1};

    static int OnTick(void* data, int tick) {
        auto* engine = static_cast<Engine*>(data);
        const int stop = engine->stop_tick.load();
        if (stop >= 0 && tick >= stop) fluid_player_stop(engine->player.get());
        return FLUID_OK;
    }

    bool MakeSynth() {
        settings.reset(new_fluid_settings());
        if (!settings) return false;
        Configure(settings.get());
        synth.reset(new_fluid_synth(settings.get()));
        return synth != nullptr;
    }

    // The first font of the list that loads.
    template <class Cancelled>
    bool LoadSoundFont(const std::vector<std::string>& fonts, Cancelled cancelled) {
        for (const auto& font : fonts) {
            if (cancelled()) return false;
            if (IsFile(font) && fluid_synth_sfload(synth.get(), font.c_str(), kResetPresets) != FLUID_FAILED)
                return true;
        }
        return false;
    }

    bool MakePlayer(const std::vector<std::uint8_t>& midi_file) {
        player.reset(new_fluid_player(synth.get()));
        if (!player || fluid_player_add_mem(player.get(), midi_file.data(), midi_file.size()) != FLUID_OK) return false;
        fluid_player_set_tick_callback(player.get(), &Engine::OnTick, this);
        return true;
    }

    // The first driver of the list that opens.
    template <class Cancelled>
    bool OpenDriver(const MidiSequencer::Options& options, Cancelled cancelled) {
        if (!options.file_name.empty())
            fluid_settings_setstr(settings.get(), "audio.file.name", options.file_name.c_str());
        for (const auto& name : options.drivers) {
            if (cancelled()) return false;
            if (name == "sdl2" && !sdl.up && !sdl.Start()) continue;
            fluid_settings_setstr(settings.get(), "audio.driver", name.c_str());
            driver.reset(new_fluid_audio_driver(settings.get(), synth.get()));
            if (driver) return true;
        }
        return false;
    }
};

MidiSequencer::MidiSequencer(std::vector<std::uint8_t> midi_file) : MidiSequencer(std::move(midi_file), Options{}) {}

MidiSequencer::MidiSequencer(std::vector<std::uint8_t> midi_file, Options options) {
    SilenceLibraries();
    loader_ = std::thread(&MidiSequencer::Load, this, std::move(midi_file), std::move(options));
}

MidiSequencer::~MidiSequencer() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    loader_.join();
    engine_.reset();
}

void MidiSequencer::Load(std::vector<std::uint8_t> midi_file, Options options) {
    auto engine = std::make_unique<Engine>();
    auto cancelled = [this] {
        std::lock_guard lock(mutex_);
        return cancelled_;
    };
    if (!engine->MakeSynth()) return GiveUp();
    if (options.soundfonts.empty()) options.soundfonts = SystemSoundFonts(engine->settings.get());
    if (!engine->LoadSoundFont(options.soundfonts, cancelled) || !engine->MakePlayer(midi_file) ||
        !engine->OpenDriver(options, cancelled))
        return GiveUp();

    std::lock_guard lock(mutex_);
    if (cancelled_) {
        done_loading_ = true;
        return;  // the engine goes down here, on this thread, in its members' order
    }
    engine_ = std::move(engine);
    done_loading_ = true;
    if (pending_) Start(*pending_);
    pending_.reset();
    loaded_.notify_all();
}

void MidiSequencer::GiveUp() {
    std::lock_guard lock(mutex_);
    done_loading_ = true;
    pending_.reset();
    loaded_.notify_all();
}

// Called with the mutex held and the engine present.
void MidiSequencer::Start(const Request& request) {
    fluid_player_t* player = engine_->player.get();
    engine_->stop_tick = request.to_tick ? static_cast<int>(*request.to_tick) : -1;
    if (request.from_tick) fluid_player_seek(player, static_cast<int>(*request.from_tick));
    fluid_player_play(player);
}

void MidiSequencer::Play(std::optional<std::uint32_t> from_tick, std::optional<std::uint32_t> to_tick) {
    std::lock_guard lock(mutex_);
    if (engine_)
        Start({from_tick, to_tick});
    else if (!done_loading_)
        pending_ = Request{from_tick, to_tick};
}

void MidiSequencer::Stop() {
    std::lock_guard lock(mutex_);
    pending_.reset();
    if (!engine_) return;
    fluid_player_stop(engine_->player.get());
    fluid_synth_all_notes_off(engine_->synth.get(), -1);
}

void MidiSequencer::WaitUntilDone() {
    std::unique_lock lock(mutex_);
    loaded_.wait(lock, [this] { return done_loading_; });
    if (!engine_ || fluid_player_get_status(engine_->player.get()) != FLUID_PLAYER_PLAYING) return;
    fluid_player_t* player = engine_->player.get();
    lock.unlock();  // the engine lives until the destructor, which this thread would have to call
    fluid_player_join(player);
}

MidiSequencer::Mode MidiSequencer::CurrentMode() const {
    std::lock_guard lock(mutex_);
    if (pending_) return Mode::Playing;
    if (engine_ && fluid_player_get_status(engine_->player.get()) == FLUID_PLAYER_PLAYING) return Mode::Playing;
    return Mode::Stopped;
}

bool MidiSequencer::Ready() const {
    std::lock_guard lock(mutex_);
    return done_loading_;
}

std::uint32_t MidiSequencer::PositionTick() const {
    std::lock_guard lock(mutex_);
    if (!engine_) return 0;
    return static_cast<std::uint32_t>(std::max(0, fluid_player_get_current_tick(engine_->player.get())));
}

bool MidiSequencer::Audible() const {
    std::lock_guard lock(mutex_);
    return engine_ != nullptr;
}

}  // namespace platform
