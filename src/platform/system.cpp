// Supports: the blocking pause.
#include "platform/system.h"

#include <thread>

namespace platform {

void Sleep(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace platform
