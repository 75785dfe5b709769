// Work that can wait until the program's window has shown its first picture. On a small
// machine such work (the music's synthesizer and SoundFont) would otherwise compete with
// the window's start for the processor, and a piece that starts a moment later sounds no
// later to anyone.
#pragma once

#include <chrono>

namespace platform {

// The user interface holds such work back from its start...
void HoldUntilFirstPaint();
// ...until its first paint has reached the screen, or until it ends.
void FirstPaintDone();
// Blocks until nothing is held, at most `limit`; returns at once when nothing holds.
void WaitForFirstPaint(std::chrono::milliseconds limit);

}  // namespace platform
