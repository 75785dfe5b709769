// The sample story run from start to end, as the music tests need it.
#pragma once

#include <chrono>
#include <filesystem>

#include "xclient.h"

namespace e2e {

// A copy of the sample story in `dir`, to be changed as a case needs; returns its MIDI file.
std::filesystem::path PrepareStory(const std::filesystem::path& dir);

// Takes all 100 steps; clicks alternate between two far-apart points so that none is the
// second half of a double-click. The program then ends by itself.
// Returns when the last click was made.
std::chrono::steady_clock::time_point ClickThroughTheStory(XClient& x, WindowId window);

}  // namespace e2e
