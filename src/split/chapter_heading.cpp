#include "split/chapter_heading.h"

#include <vector>

#include "text/characters.h"
#include "text/numerals.h"
#include "text/text.h"

namespace qs {
namespace {

constexpr std::int32_t kMaxHeadingChars = 50;
constexpr std::int32_t kMaxSentenceFreeChars = 15;
constexpr int kMaxLeadChars = 8;

// The words of the rules in the internal code page, converted once: the test runs on
// every line of a book.
struct Words {
    Text di = U("第");
    Text zhengwen = U("正文");
    // Units a title may follow directly, each with the words that make the line prose.
    struct Strong {
        Text unit;
        std::vector<Text> prose;
    };
    std::vector<Strong> strong = {
        {U("章"), {U("节"), U("節"), U("的")}},
        {U("回"), {U("合"), U("的")}},
        {U("节"), {U("课"), U("的")}},
        {U("節"), {U("課"), U("的")}},
        {U("话"), {U("的")}},
        {U("話"), {U("的")}},
    };
    std::vector<Text> volume = {U("卷"), U("部"), U("集"), U("篇")};
    // Without 第 only these, and only in Chinese numerals.
    std::vector<Text> bare = {U("章"), U("回")};
    // Longer words first: 序章 must not be taken as 序 followed by 章.
    std::vector<Text> named = {U("序章"), U("序言"), U("楔子"), U("引子"), U("前言"),
                               U("尾声"), U("尾聲"), U("后记"), U("後記"), U("终章"),
                               U("終章"), U("番外"), U("序")};
    std::vector<Text> openers = {U("【"), U("〖"), U("［"), U("「")};
    std::vector<Text> sentenceMarks = {U("，"), U("。"), U("！"), U("？")};
    Text wideSpace = U("　");
};

const Words& W() {
    static const Words words;
    return words;
}

bool StartsWith(std::string_view t, std::size_t i, std::string_view word) {
    return t.substr(i, word.size()) == word;
}

// The length of the space at i (ASCII space, TAB, full-width space); 0 when none.
std::size_t SpaceAt(std::string_view t, std::size_t i) {
    if (i >= t.size()) {
        return 0;
    }
    if (t[i] == ' ' || t[i] == '\t') {
        return 1;
    }
    return StartsWith(t, i, W().wideSpace) ? 2 : 0;
}

std::size_t SkipSpaces(std::string_view t, std::size_t i) {
    while (std::size_t n = SpaceAt(t, i)) {
        i += n;
    }
    return i;
}

bool IsAsciiDecoration(char c) {
    return c == '=' || c == '-' || c == '*' || c == '~' || c == '[';
}

// Spaces and the decorations a heading may open with.
std::size_t SkipOpening(std::string_view t, std::size_t i) {
    for (;;) {
        if (std::size_t n = SpaceAt(t, i)) {
            i += n;
        } else if (i < t.size() && IsAsciiDecoration(t[i])) {
            ++i;
        } else {
            bool opener = false;
            for (const Text& o : W().openers) {
                if (StartsWith(t, i, o)) {
                    i += o.size();
                    opener = true;
                    break;
                }
            }
            if (!opener) {
                return i;
            }
        }
    }
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

bool IsDigitAt(std::string_view t, std::size_t i) {
    // ASCII digits, or the full-width ones (A3 B0 .. A3 B9).
    return (t[i] >= '0' && t[i] <= '9') ||
           (i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA3 &&
            static_cast<unsigned char>(t[i + 1]) >= 0xB0 &&
            static_cast<unsigned char>(t[i + 1]) <= 0xB9);
}

bool IsNumberedHeading(std::string_view t, std::size_t i) {
    const Words& w = W();
    const bool di = StartsWith(t, i, w.di);
    const std::size_t n = di ? SkipSpaces(t, i + w.di.size()) : i;
    if (n >= t.size() || (!di && IsDigitAt(t, n))) {
        return false;
    }
    const auto number = ReadNumber(t, n);
    if (!number) {
        return false;
    }
    const std::size_t u = di ? SkipSpaces(t, number->end) : number->end;
    if (!di) {
        for (const Text& unit : w.bare) {
            if (StartsWith(t, u, unit)) {
                const std::size_t after = u + unit.size();
                return after >= t.size() || SpaceAt(t, after) > 0;
            }
        }
        return false;
    }
    for (const Words::Strong& strong : w.strong) {
        if (StartsWith(t, u, strong.unit)) {
            const std::size_t after = u + strong.unit.size();
            for (const Text& prose : strong.prose) {
                if (StartsWith(t, after, prose)) {
                    return false;
                }
            }
            return true;
        }
    }
    for (const Text& unit : w.volume) {
        if (StartsWith(t, u, unit)) {
            return EndsHeadingWord(t, u + unit.size());
        }
    }
    return false;
}

bool IsNamedHeading(std::string_view t, std::size_t i) {
    for (const Text& word : W().named) {
        if (StartsWith(t, i, word)) {
            const std::size_t after = i + word.size();
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

// A short lead before a numbered heading: up to kMaxLeadChars characters, no space and no
// sentence mark among them, then spaces. The position of the heading, or 0 when none.
std::size_t AfterLead(std::string_view t, std::size_t i) {
    const std::size_t start = i;
    for (int chars = 0; i < t.size() && chars <= kMaxLeadChars; ++chars) {
        if (SpaceAt(t, i) > 0) {
            const std::size_t heading = SkipSpaces(t, i);
            return i > start && IsNumberedHeading(t, heading) ? heading : 0;
        }
        for (const Text& mark : W().sentenceMarks) {
            if (StartsWith(t, i, mark)) {
                return 0;
            }
        }
        i += CharLength(t, i);
    }
    return 0;
}

bool ReadsAsSentence(std::string_view line) {
    if (CountChars(line) <= kMaxSentenceFreeChars) {
        return false;
    }
    for (const Text& mark : W().sentenceMarks) {
        if (FindText(line, mark) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

bool IsShaped(std::string_view line, std::size_t i) {
    if (StartsWith(line, i, W().zhengwen)) {
        const std::size_t after = SkipOpening(line, i + W().zhengwen.size());
        if (IsNumberedHeading(line, after)) {
            return true;
        }
    }
    return IsNumberedHeading(line, i) || IsNamedHeading(line, i) || IsEnglishHeading(line, i) ||
           AfterLead(line, i) > 0;
}

}  // namespace

bool IsChapterHeading(std::string_view line) {
    const std::size_t i = SkipOpening(line, 0);
    if (i >= line.size() || !IsShaped(line, i)) {
        return false;
    }
    return CountChars(line) <= kMaxHeadingChars && !ReadsAsSentence(line);
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

std::string_view HeadingLabel(std::string_view line) {
    std::string_view title = HeadingTitle(line);
    const auto rule = [](char c) { return c == '=' || c == '-' || c == '*'; };
    std::size_t first = 0;
    while (first < title.size() && rule(title[first])) {
        ++first;
    }
    std::size_t end = title.size();
    // These bytes never end a character of the internal code page (second bytes start at
    // 0x40, the last bytes of four-byte ones are digits), so a byte test is safe.
    while (end > first && rule(title[end - 1])) {
        --end;
    }
    const std::string_view inner = HeadingTitle(title.substr(first, end - first));
    return inner.empty() ? title : inner;
}

}  // namespace qs
