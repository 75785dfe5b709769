#include "story_titles.h"

#include <map>
#include <stdexcept>

namespace e2e {
namespace {

std::string Repeat(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

// n ideographic spaces (U+3000)
std::string I(int n) { return Repeat("\u3000", n); }

// The steps that set a new line; every other step below 77 keeps the line it finds.
const std::map<int, std::string>& Lines() {
    static const std::map<int, std::string> lines = {
        {1, "ね"},
        {2, "つ"},
        {3, "き"},
        {4, "ゅ"},
        {5, "う"},
        {6, " "},
        {11, "ねつ" + I(1)},
        {12, "ねつきき" + I(2)},
        {13, "まっさかさま"},
        {14, "ねつききゅう" + I(1)},
        {15, "たかい" + I(1)},
        {16, I(1) + "つき" + I(2)},
        {17, "つき" + I(2)},
        {18, I(6) + "つ"},
        {19, " "},
        {25, "まんまる"},
        {26, "まる" + I(1)},
        {27, "ばーなー" + I(1)},
        {28, "あがる" + I(1)},
        {29, "さがる" + I(1)},
        {30, "まだくらくない" + I(19)},
        {33, " "},
        {38, "ゆっくり" + I(22)},
        {39, "すごくゆっくり" + I(19)},
        {40, "おひさまといっしょ" + I(17)},
        {41, "ゆっくり" + I(22)},
        {42, " "},
        {49, "どこまで" + I(1) + "いくのか" + I(17)},
        {50, "どこまで" + I(1) + "いけるのか" + I(16)},
        {51, "ここは" + I(23)},
        {52, "ほしと" + I(1) + "じめんと" + I(18)},
        {53, "どっちが" + I(1) + "ちかいんだろう" + I(14)},
        {54, "ほし" + I(1) + "じめん" + I(20)},
        {57, I(1) + "ほし" + I(1) + "じめん"},
        {58, " "},
        {61, "★" + I(1) + "▲" + I(1)},
        {62, I(1) + "☆" + I(1) + "△" + I(1)},
        {63, I(1) + "★" + I(4) + "△"},
        {64, I(1) + "☆★"},
        {65, "☆★" + I(1) + "☆" + I(2) + "☆"},
        {66, " "},
        {71, I(2) + "Zzz"},
        {74, " "},
    };
    return lines;
}

std::string LineAfter(int step) {
    auto it = Lines().upper_bound(step);
    if (it == Lines().begin()) return " ";
    return std::prev(it)->second;
}

}  // namespace

std::string ComposedTitle(const std::string& line) {
    const std::string separator = "     ";
    return Repeat("(", 16) + separator + Repeat(line, 16) + separator + Repeat(")", 16) + separator;
}

ExpectedStep ExpectedAfterStep(int step) {
    if (step < 0 || step > 100) throw std::out_of_range("no such step");
    if (step < 77) return {StepEffect::kRefresh, ComposedTitle(LineAfter(step))};
    if (step == 77) return {StepEffect::kNothing, {}};
    if (step == 100) return {StepEffect::kEnd, {}};
    // The face keeps its place on the wide frame and moves right on the narrow one.
    const int k = (step - 78) / 2;
    if (step % 2 == 0) return {StepEffect::kFrame, I(4 + k) + "（( ？ )）"};
    return {StepEffect::kFrame, I(5 + k) + "（ ？ ）"};
}

}  // namespace e2e
