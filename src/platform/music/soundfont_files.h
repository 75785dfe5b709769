// SoundFonts as FluidSynth reads them here: through callbacks of ours, and where a piece
// selects only some programs, as a view of the file with only their presets.
#pragma once

#include <optional>
#include <string>

#include "platform/music/soundfont_view.h"

typedef struct _fluid_sfloader_t fluid_sfloader_t;

namespace platform {

// Makes a FluidSynth SoundFont loader open, read and seek its files through our callbacks.
void ReadThroughViews(fluid_sfloader_t* loader);

// While it lives, name() opens, through those callbacks, as the view of `path` that keeps
// the presets of `programs` (and program 0). Where there is no such view (no programs
// given, or a file that cannot be cut), name() is the path itself.
class SoundFontViewName {
public:
    SoundFontViewName(const std::string& path, const std::optional<ProgramSet>& programs);
    ~SoundFontViewName();
    SoundFontViewName(const SoundFontViewName&) = delete;
    SoundFontViewName& operator=(const SoundFontViewName&) = delete;

    const std::string& name() const { return name_; }

private:
    std::string name_;
    bool registered_ = false;
};

}  // namespace platform
