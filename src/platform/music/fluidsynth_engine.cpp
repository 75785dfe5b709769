// FluidSynth behind the sequencer, built as a module of its own. FluidSynth and ALSA write
// their complaints to standard error by default; a user of the story must never see them,
// so both are routed away once.
#include <SDL2/SDL.h>
#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <malloc.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/c_handle.h"
#include "platform/music/soundfont_files.h"
#include "platform/music/synth_engine.h"

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
constexpr int kOn = 1;
constexpr int kOff = 0;

// Settings for a player that must keep sounding on a busy machine and cost little.
void Configure(fluid_settings_t* settings) {
    fluid_settings_setint(settings, "synth.lock-memory", kOff);
    // Only the samples of the instruments the piece selects are read, when it selects them,
    // instead of the whole SoundFont at load.
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", kOn);
    // FluidSynth's own default gain (0.2) leaves General MIDI pieces far quieter than other players.
    fluid_settings_setnum(settings, "synth.gain", 0.8);
    // Nothing here needs low latency; FluidSynth's default 23 ms of buffering drops out
    // whenever the machine is busy, and every block costs the audio threads a wake-up.
    // About 190 ms in two blocks a power of two long (for SDL).
    fluid_settings_setint(settings, "audio.period-size", 4096);
    fluid_settings_setint(settings, "audio.periods", 2);
}

class FluidSynthEngine final : public SynthEngine {
public:
    // Members are destroyed bottom-up: driver, player, synth, settings, the SoundFont's view
    // (which the synth may open until it goes), then SDL.
    SdlAudio sdl;
    std::unique_ptr<SoundFontViewName> soundfont_name;
    CHandle<fluid_settings_t, delete_fluid_settings> settings;
    CHandle<fluid_synth_t, delete_fluid_synth> synth;
    CHandle<fluid_player_t, delete_fluid_player> player;
    CHandle<fluid_audio_driver_t, delete_fluid_audio_driver> driver;
    std::atomic<int> stop_tick{-1};
    std::vector<std::string> drivers;
    std::string file_name;

    static int OnTick(void* data, int tick) {
        auto* engine = static_cast<FluidSynthEngine*>(data);
        const int stop = engine->stop_tick.load();
        if (stop >= 0 && tick >= stop) fluid_player_stop(engine->player.get());
        return FLUID_OK;
    }

    bool MakeSynth(int polyphony) {
        settings.reset(new_fluid_settings());
        if (!settings) return false;
        Configure(settings.get());
        fluid_settings_setint(settings.get(), "synth.polyphony", polyphony);
        synth.reset(new_fluid_synth(settings.get()));
        if (!synth) return false;
        // The synth takes the loader; FluidSynth tries the loader added last first.
        fluid_sfloader_t* loader = new_fluid_defsfloader(settings.get());
        if (!loader) return false;
        ReadThroughViews(loader);
        fluid_synth_add_sfloader(synth.get(), loader);
        return true;
    }

    // The first font of the list that loads, seen with only the presets the piece can select.
    bool LoadSoundFont(const std::vector<std::string>& fonts, const std::optional<ProgramSet>& programs,
                       const std::function<bool()>& cancelled) {
        for (const auto& font : fonts) {
            if (cancelled()) return false;
            if (!IsFile(font)) continue;
            auto name = std::make_unique<SoundFontViewName>(font, programs);
            if (fluid_synth_sfload(synth.get(), name->name().c_str(), kResetPresets) != FLUID_FAILED) {
                soundfont_name = std::move(name);
                return true;
            }
        }
        return false;
    }

    bool MakePlayer(const std::vector<std::uint8_t>& midi_file) {
        player.reset(new_fluid_player(synth.get()));
        if (!player || fluid_player_add_mem(player.get(), midi_file.data(), midi_file.size()) != FLUID_OK) return false;
        fluid_player_set_tick_callback(player.get(), &FluidSynthEngine::OnTick, this);
        return true;
    }

    bool OpenOutput() override {
        if (!file_name.empty()) fluid_settings_setstr(settings.get(), "audio.file.name", file_name.c_str());
        for (const auto& name : drivers) {
            if (name == "sdl2" && !sdl.up && !sdl.Start()) continue;
            fluid_settings_setstr(settings.get(), "audio.driver", name.c_str());
            driver.reset(new_fluid_audio_driver(settings.get(), synth.get()));
            if (driver) return true;
        }
        return false;
    }

    void CloseOutput() override { driver.reset(); }
    bool OutputOpen() const override { return driver != nullptr; }

    void Play(std::optional<std::uint32_t> from_tick, std::optional<std::uint32_t> to_tick) override {
        stop_tick = to_tick ? static_cast<int>(*to_tick) : -1;
        if (from_tick) fluid_player_seek(player.get(), static_cast<int>(*from_tick));
        fluid_player_play(player.get());
    }

    void Stop() override {
        fluid_player_stop(player.get());
        fluid_synth_all_notes_off(synth.get(), -1);
    }

    bool Playing() const override { return fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING; }
    bool Sounding() const override { return fluid_synth_get_active_voice_count(synth.get()) > 0; }

    std::uint32_t PositionTick() const override {
        return static_cast<std::uint32_t>(std::max(0, fluid_player_get_current_tick(player.get())));
    }

    void Join() override { fluid_player_join(player.get()); }
};

}  // namespace
}  // namespace platform

extern "C" __attribute__((visibility("default"))) platform::SynthEngine* balloonstory_open_synth(
    const platform::SynthSetup& setup) {
    using namespace platform;
    SilenceLibraries();
    auto engine = std::make_unique<FluidSynthEngine>();
    engine->drivers = setup.drivers;
    engine->file_name = setup.file_name;
    if (!engine->MakeSynth(setup.polyphony)) return nullptr;
    const auto fonts = setup.soundfonts.empty() ? SystemSoundFonts(engine->settings.get()) : setup.soundfonts;
    if (!engine->LoadSoundFont(fonts, setup.programs, setup.cancelled) || !engine->MakePlayer(setup.midi_file))
        return nullptr;
    // Reading the SoundFont builds FluidSynth's tables from a parsed copy of the whole file that
    // it frees at the end; that memory stays mapped in this thread's arena for the rest of the
    // story unless it is handed back now (about 1.6 MB of the program's peak).
    malloc_trim(0);
    return engine.release();
}
