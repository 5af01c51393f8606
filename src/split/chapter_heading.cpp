#include "split/chapter_heading.h"

#include "platform/characters.h"
#include "platform/numerals.h"
#include "platform/text.h"

namespace qs {
namespace {

constexpr std::int32_t kMaxHeadingChars = 50;

bool IsWideSpace(std::string_view t, std::size_t i) {
    return i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA1 &&
           static_cast<unsigned char>(t[i + 1]) == 0xA1;
}

// The length of the space at i (ASCII space, TAB, full-width space); 0 when none.
std::size_t SpaceAt(std::string_view t, std::size_t i) {
    if (i >= t.size()) {
        return 0;
    }
    if (t[i] == ' ' || t[i] == '\t') {
        return 1;
    }
    return IsWideSpace(t, i) ? 2 : 0;
}

std::size_t SkipSpaces(std::string_view t, std::size_t i) {
    while (std::size_t n = SpaceAt(t, i)) {
        i += n;
    }
    return i;
}

bool StartsWith(std::string_view t, std::size_t i, std::string_view word) {
    return t.substr(i, word.size()) == word;
}

// ASCII punctuation, or a symbol of the internal code page's punctuation rows (A1xx, and
// A3xx except the full-width digits and letters).
bool IsPunctuation(std::string_view t, std::size_t i) {
    const auto b = static_cast<unsigned char>(t[i]);
    if (b < 0x80) {
        return (b >= 0x21 && b <= 0x2F) || (b >= 0x3A && b <= 0x40) || (b >= 0x5B && b <= 0x60) ||
               (b >= 0x7B && b <= 0x7E);
    }
    if (CharLength(t, i) != 2) {
        return false;
    }
    const auto trail = static_cast<unsigned char>(t[i + 1]);
    if (b == 0xA1) {
        return true;
    }
    if (b == 0xA3) {
        const bool alnum = (trail >= 0xB0 && trail <= 0xB9) || (trail >= 0xC1 && trail <= 0xDA) ||
                           (trail >= 0xE1 && trail <= 0xFA);
        return !alnum;
    }
    return false;
}

// What may follow a heading's number and unit: nothing, a space or punctuation.
bool EndsHeadingWord(std::string_view t, std::size_t i) {
    return i >= t.size() || SpaceAt(t, i) > 0 || IsPunctuation(t, i);
}

bool IsNumberedHeading(std::string_view t, std::size_t i) {
    if (!StartsWith(t, i, U("第"))) {
        return false;
    }
    const auto number = ReadNumber(t, SkipSpaces(t, i + U("第").size()));
    if (!number) {
        return false;
    }
    const std::size_t u = SkipSpaces(t, number->end);
    for (const char* unit : {"章", "回", "节", "卷", "集", "部", "篇"}) {
        if (StartsWith(t, u, U(unit))) {
            return EndsHeadingWord(t, u + U(unit).size());
        }
    }
    return false;
}

bool IsNamedHeading(std::string_view t, std::size_t i) {
    // Longer words first: 序章 must not be taken as 序 followed by 章.
    for (const char* word :
         {"序章", "序言", "楔子", "引子", "前言", "尾声", "后记", "终章", "番外", "序"}) {
        if (StartsWith(t, i, U(word))) {
            const std::size_t after = i + U(word).size();
            return EndsHeadingWord(t, after) || ReadNumber(t, after).has_value();
        }
    }
    return false;
}

bool IsEnglishHeading(std::string_view t, std::size_t i) {
    if (!StartsWith(t, i, "Chapter") && !StartsWith(t, i, "CHAPTER")) {
        return false;
    }
    const std::size_t n = SkipSpaces(t, i + 7);
    if (n == i + 7) {
        return false;
    }
    const auto number = ReadNumber(t, n);
    return number && EndsHeadingWord(t, number->end);
}

}  // namespace

bool IsChapterHeading(std::string_view line) {
    std::size_t i = SkipSpaces(line, 0);
    if (i >= line.size()) {
        return false;
    }
    if (StartsWith(line, i, U("正文"))) {
        const std::size_t after = SkipSpaces(line, i + U("正文").size());
        if (IsNumberedHeading(line, after)) {
            i = after;
        }
    }
    const bool shaped =
        IsNumberedHeading(line, i) || IsNamedHeading(line, i) || IsEnglishHeading(line, i);
    return shaped && CountChars(line) <= kMaxHeadingChars;
}

std::string_view HeadingTitle(std::string_view line) {
    std::size_t first = SkipSpaces(line, 0);
    std::size_t end = line.size();
    // Trailing spaces: walk the characters, remembering where the last non-space ended.
    std::size_t lastEnd = first;
    std::size_t i = first;
    while (i < end) {
        const std::size_t space = SpaceAt(line, i);
        const std::size_t n = space ? space : CharLength(line, i);
        if (!space) {
            lastEnd = i + n;
        }
        i += n;
    }
    return line.substr(first, lastEnd - first);
}

}  // namespace qs
