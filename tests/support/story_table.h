// The story as its table states it, written apart from the program's own script so that a
// slip in one does not hide in the other. Texts are UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace story_table {

// The step that stops the timer; clicks below it are followed by a refresh.
inline constexpr int kStopStep = 77;
// Steps 78 to 99 show the frames of the closing animation; step 100 ends the program.
inline constexpr int kFirstFrameStep = 78;
inline constexpr int kLastFrameStep = 99;
inline constexpr int kEndStep = 100;

// A step that sets a new line: the line's pieces, joined in order, and its stated length
// in characters and in code page 932 bytes.
struct LineRow {
    int step;
    std::vector<std::string> shape;
    std::size_t characters;
    std::size_t bytes;

    std::string Text() const;
};

const std::vector<LineRow>& Lines();

// n ideographic spaces (U+3000).
std::string Ideo(int n);
// The line after a step of the telling: the latest line set, or the one space of the start.
std::string LineAfter(int step);
// The animation frame of a step from 78 to 99.
std::string Frame(int step);
// Sixteen "(", five spaces, sixteen copies of the line, five spaces, sixteen ")", five
// spaces. The same bytes whether the line is UTF-8 or code page 932.
std::string Composed(std::string_view line);

}  // namespace story_table
