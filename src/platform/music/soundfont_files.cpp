// FluidSynth opens a SoundFont through these callbacks, at load and again whenever a
// preset's samples are first needed. A name registered with a view opens as that view of
// its file; any other opens as the file it names. Reads go through a shared lock and read
// calls, never stdio.
#include "platform/music/soundfont_files.h"

#include <fluidsynth.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <span>

#include "platform/exception.h"
#include "platform/files.h"

namespace platform {
namespace {

struct ViewedSoundFont {
    std::string path;
    SoundFontView view;
};

std::mutex views_mutex;
// Never destroyed: engines may go at the program's exit, after the module's statics.
std::map<std::string, std::shared_ptr<const ViewedSoundFont>>& Views() {
    static auto* views = new std::map<std::string, std::shared_ptr<const ViewedSoundFont>>;
    return *views;
}

struct OpenSoundFont {
    OpenSoundFont(const std::string& path, std::shared_ptr<const ViewedSoundFont> viewed)
        : file(path), viewed(std::move(viewed)) {}
    SharedFile file;
    std::shared_ptr<const ViewedSoundFont> viewed;  // null: the file as it is
    std::uint64_t position = 0;
    std::uint64_t Size() const { return viewed ? viewed->view.Size() : file.SizeAtOpen(); }
};

void* OpenSoundFontFile(const char* name) {
    std::shared_ptr<const ViewedSoundFont> viewed;
    {
        std::lock_guard lock(views_mutex);
        const auto found = Views().find(name);
        if (found != Views().end()) viewed = found->second;
    }
    try {
        return new OpenSoundFont(viewed ? viewed->path : std::string(name), viewed);
    } catch (const Exception&) {
        return nullptr;
    }
}

int ReadSoundFontFile(void* buffer, fluid_long_long_t count, void* handle) {
    auto* font = static_cast<OpenSoundFont*>(handle);
    if (count < 0) return FLUID_FAILED;
    const std::span<std::uint8_t> out(static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(count));
    const std::size_t got = font->viewed ? font->viewed->view.ReadAt(font->file, font->position, out)
                                         : font->file.ReadAt(font->position, out);
    font->position += got;
    return got == out.size() ? FLUID_OK : FLUID_FAILED;
}

int SeekSoundFontFile(void* handle, fluid_long_long_t offset, int origin) {
    auto* font = static_cast<OpenSoundFont*>(handle);
    std::int64_t base = 0;
    if (origin == SEEK_CUR) base = static_cast<std::int64_t>(font->position);
    if (origin == SEEK_END) base = static_cast<std::int64_t>(font->Size());
    if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END) return FLUID_FAILED;
    if (offset < -base) return FLUID_FAILED;
    font->position = static_cast<std::uint64_t>(base + offset);
    return FLUID_OK;
}

fluid_long_long_t TellSoundFontFile(void* handle) {
    return static_cast<fluid_long_long_t>(static_cast<OpenSoundFont*>(handle)->position);
}

int CloseSoundFontFile(void* handle) {
    delete static_cast<OpenSoundFont*>(handle);
    return FLUID_OK;
}

// While it lives, `name` opens as the view of `path` keeping the given programs' presets;
// without such a view (a file that cannot be cut) the name is the path itself.

}  // namespace

void ReadThroughViews(fluid_sfloader_t* loader) {
    fluid_sfloader_set_callbacks(loader, OpenSoundFontFile, ReadSoundFontFile, SeekSoundFontFile, TellSoundFontFile,
                                 CloseSoundFontFile);
}

SoundFontViewName::SoundFontViewName(const std::string& path, const std::optional<ProgramSet>& programs) : name_(path) {
    if (!programs) return;
    ProgramSet keep = *programs;
    keep.set(0);
    std::optional<SoundFontView> view;
    try {
        SharedFile file(path);
        view = SoundFontView::Keep(file, keep);
    } catch (const Exception&) {
    }
    if (!view) return;
    // A name no file has, so that FluidSynth's own loader, tried after ours, fails on it;
    // one of its own for each view, since engines may load the same file.
    static std::atomic<unsigned> serial{0};
    name_ = path + "\n" + std::to_string(++serial);
    std::lock_guard lock(views_mutex);
    Views()[name_] = std::make_shared<const ViewedSoundFont>(ViewedSoundFont{path, std::move(*view)});
    registered_ = true;
}

SoundFontViewName::~SoundFontViewName() {
    if (!registered_) return;
    std::lock_guard lock(views_mutex);
    Views().erase(name_);
}

}  // namespace platform
