// What the fuzz targets share: a failed property stops the run as a crash would, and
// inputs of several lines are taken a line at a time.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fuzz {

inline void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

// Calls each(line) for every line of text, the last one also when empty.
template <class Each>
void ForEachLine(std::string_view text, Each each) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        each(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace fuzz
