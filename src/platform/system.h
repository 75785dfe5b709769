// System services used by the story's host.
#pragma once

#include <chrono>

namespace platform {

// Blocks the calling thread; events that arrive meanwhile wait for it.
void Sleep(std::chrono::milliseconds duration);

}  // namespace platform
