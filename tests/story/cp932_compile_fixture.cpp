// Compiled by the tests with one of the macros below: a text outside the
// story's alphabet must stop the build, a known one must not.
#include "story/cp932.h"

using namespace story::literals;

#if defined(UNKNOWN_LETTER)
constexpr auto kText = u8"ねA"_cp932;
#elif defined(UNKNOWN_HIRAGANA)
constexpr auto kText = u8"ぁ"_cp932;  // inside the hiragana run, but not used by the story
#elif defined(TRUNCATED_UTF8)
constexpr auto kText = u8"ね\xE3\x81"_cp932;
#elif defined(OVERLONG_UTF8)
constexpr auto kText = u8"\xC0\xA0"_cp932;  // a space in two bytes
#else
constexpr auto kText = u8"ねつ　Zzz"_cp932;
static_assert(kText.size() == 9);
#endif

int main() { return kText.empty() ? 1 : 0; }
