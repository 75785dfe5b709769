// Comparing a program's message box with a standard box of ours that shows the expected
// caption and text in the same session (same fonts, same theme).
#pragma once

#include <filesystem>
#include <string>

#include "image.h"
#include "session.h"
#include "xclient.h"

namespace e2e {

bool SameImage(const Image& a, const Image& b);
// The client area of a box without its button row, where focus may be drawn, once two
// screenshots in a row agree (the box has finished painting).
Image BoxFace(XClient& x, WindowId box);
// The face of the box that reference_program (caption, text as arguments) shows.
Image ReferenceFace(const Session& session, XClient& x, const std::filesystem::path& reference_program,
                    const std::string& caption, const std::string& text);

}  // namespace e2e
