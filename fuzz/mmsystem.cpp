// Command strings, one a line, through the dispatcher, in a folder like the program's
// with a good and a broken MIDI file. No sound can be had: the sound server and the other
// outputs point nowhere, so opened devices stay silent. Every input starts and ends with
// no device open. Each device opened loads the synthesiser on its own thread, so this
// target runs at tens of inputs a second; the parser alone has its own target.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "midi_fixture.h"
#include "platform/music/mmsystem.h"

namespace {

using fuzz::Require;

// Reply buffers as callers pass them: roomy, too short for most replies, and none.
constexpr unsigned kRoomy = 64;
constexpr unsigned kShort = 6;

void Send(const std::string& line) {
    char reply[kRoomy];
    for (unsigned length : {kRoomy, kShort}) {
        std::memset(reply, 'x', sizeof reply);
        const platform::MCIERROR error = platform::mciSendStringA(line.c_str(), reply, length, nullptr);
        Require(std::memchr(reply, '\0', length) != nullptr, "the reply is not terminated inside its buffer");
        if (error != 0) Require(reply[0] == '\0', "a failed command left a reply");
    }
    platform::mciSendStringA(line.c_str(), nullptr, 0, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static fixture::TempDir dir;
    const auto folder = dir.path() / "[]";
    std::filesystem::create_directory(folder);
    fixture::Write(folder / "song.mid", fixture::Smf(0, 480, {fixture::Note(4)}));
    auto broken = fixture::Smf(1, 96, {fixture::Note(1), fixture::Note(2)});
    broken.resize(broken.size() - 3);
    fixture::Write(folder / "broken.mid", broken);
    fixture::Write(folder / "song.wav", {'R', 'I', 'F', 'F'});
    std::filesystem::create_directory(folder / "folder.mid");
    std::filesystem::current_path(dir.path());

    // Nowhere for sound to go: no sound server, no ALSA devices, no SDL driver.
    setenv("PULSE_SERVER", (dir.path() / "no-server").c_str(), 1);
    fixture::Write(dir.path() / "alsa.conf", {});
    setenv("ALSA_CONFIG_PATH", (dir.path() / "alsa.conf").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "none", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The dispatcher takes C strings: a line with a NUL in it is cut there.
    fuzz::ForEachLine(text, [](std::string_view line) { Send(std::string(line)); });
    Require(platform::mciSendStringA("close all", nullptr, 0, nullptr) == 0, "close all failed");
    return 0;
}
