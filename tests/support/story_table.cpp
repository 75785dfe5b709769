#include "story_table.h"

#include <algorithm>
#include <stdexcept>

namespace story_table {
namespace {

std::string Repeat(std::string_view piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

}  // namespace

std::string LineRow::Text() const {
    std::string text;
    for (const auto& piece : shape) text += piece;
    return text;
}

std::string Ideo(int n) { return Repeat("\u3000", n); }

const std::vector<LineRow>& Lines() {
    static const std::vector<LineRow> rows = {
        {1, {"ね"}, 1, 2},
        {2, {"つ"}, 1, 2},
        {3, {"き"}, 1, 2},
        {4, {"ゅ"}, 1, 2},
        {5, {"う"}, 1, 2},
        {6, {" "}, 1, 1},
        {11, {"ねつ", Ideo(1)}, 3, 6},
        {12, {"ねつきき", Ideo(2)}, 6, 12},
        {13, {"まっさかさま"}, 6, 12},
        {14, {"ねつききゅう", Ideo(1)}, 7, 14},
        {15, {"たかい", Ideo(1)}, 4, 8},
        {16, {Ideo(1), "つき", Ideo(2)}, 5, 10},
        {17, {"つき", Ideo(2)}, 4, 8},
        {18, {Ideo(6), "つ"}, 7, 14},
        {19, {" "}, 1, 1},
        {25, {"まんまる"}, 4, 8},
        {26, {"まる", Ideo(1)}, 3, 6},
        {27, {"ばーなー", Ideo(1)}, 5, 10},
        {28, {"あがる", Ideo(1)}, 4, 8},
        {29, {"さがる", Ideo(1)}, 4, 8},
        {30, {"まだくらくない", Ideo(19)}, 26, 52},
        {33, {" "}, 1, 1},
        {38, {"ゆっくり", Ideo(22)}, 26, 52},
        {39, {"すごくゆっくり", Ideo(19)}, 26, 52},
        {40, {"おひさまといっしょ", Ideo(17)}, 26, 52},
        {41, {"ゆっくり", Ideo(22)}, 26, 52},
        {42, {" "}, 1, 1},
        {49, {"どこまで", Ideo(1), "いくのか", Ideo(17)}, 26, 52},
        {50, {"どこまで", Ideo(1), "いけるのか", Ideo(16)}, 26, 52},
        {51, {"ここは", Ideo(23)}, 26, 52},
        {52, {"ほしと", Ideo(1), "じめんと", Ideo(18)}, 26, 52},
        {53, {"どっちが", Ideo(1), "ちかいんだろう", Ideo(14)}, 26, 52},
        {54, {"ほし", Ideo(1), "じめん", Ideo(20)}, 26, 52},
        {57, {Ideo(1), "ほし", Ideo(1), "じめん"}, 7, 14},
        {58, {" "}, 1, 1},
        {61, {"★", Ideo(1), "▲", Ideo(1)}, 4, 8},
        {62, {Ideo(1), "☆", Ideo(1), "△", Ideo(1)}, 5, 10},
        {63, {Ideo(1), "★", Ideo(4), "△"}, 7, 14},
        {64, {Ideo(1), "☆★"}, 3, 6},
        {65, {"☆★", Ideo(1), "☆", Ideo(2), "☆"}, 7, 14},
        {66, {" "}, 1, 1},
        {71, {Ideo(2), "Zzz"}, 5, 7},
        {74, {" "}, 1, 1},
    };
    return rows;
}

std::string LineAfter(int step) {
    std::string line = " ";
    for (const LineRow& row : Lines())
        if (row.step <= step) line = row.Text();
    return line;
}

// The face reaches one more ideographic space on every odd (narrow) step and keeps its
// place on the even (wide) step after it.
std::string Frame(int step) {
    if (step < kFirstFrameStep || step > kLastFrameStep) throw std::out_of_range("no frame at this step");
    const int k = (step - kFirstFrameStep) / 2;
    if (step % 2 == 0) return Ideo(4 + k) + "（( ？ )）";
    return Ideo(5 + k) + "（ ？ ）";
}

std::string Composed(std::string_view line) {
    const std::string separator = "     ";
    return Repeat("(", 16) + separator + Repeat(line, 16) + separator + Repeat(")", 16) + separator;
}

}  // namespace story_table
