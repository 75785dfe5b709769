// The SoundFont view: the first 16 input bytes choose the programs kept, the rest is the
// file. A view that is made must read whole, agree with itself from any offset, keep the
// file's bytes before its preset data, and cut again to nothing more.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "fuzz_support.h"
#include "platform/files.h"
#include "platform/music/soundfont_view.h"

using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kProgramBytes = 16;
    if (size < kProgramBytes) return 0;
    platform::ProgramSet programs;
    for (std::size_t i = 0; i < programs.size(); ++i) programs[i] = (data[i / 8] >> (i % 8)) & 1;
    const std::span<const std::uint8_t> file(data + kProgramBytes, size - kProgramBytes);
    platform::MemorySource source(file);
    const auto view = platform::SoundFontView::Keep(source, programs);
    if (!view) return 0;

    std::vector<std::uint8_t> whole(view->Size());
    Require(view->ReadAt(source, 0, whole) == whole.size(), "the view does not read whole");
    Require(whole.size() <= file.size(), "the view is larger than its file");
    std::vector<std::uint8_t> tail(whole.size() / 3 + 1);
    const std::size_t got = view->ReadAt(source, whole.size() - tail.size(), tail);
    Require(got == tail.size() && std::equal(tail.begin(), tail.end(), whole.end() - static_cast<long>(tail.size())),
            "a read from within differs");
    Require(std::memcmp(whole.data(), file.data(), 4) == 0 && std::memcmp(whole.data() + 8, file.data() + 8, 4) == 0,
            "the header changed");

    // The view holds only kept presets: cutting it again keeps them all, so gives nothing.
    platform::MemorySource again(whole);
    Require(!platform::SoundFontView::Keep(again, programs), "the view still holds presets to cut");
    return 0;
}
