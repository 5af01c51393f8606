#include "job/chapter_heading.h"

#include <array>
#include <string>
#include <vector>

#include "text/characters.h"
#include "text/numerals.h"
#include "text/text.h"

namespace qs {
namespace {

constexpr std::int32_t kMaxFullStopFreeChars = 15;
constexpr std::int32_t kMaxBareTitleChars = 20;
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
        std::string_view form;
    };
    std::vector<Strong> strong = {
        {U("章"), {U("节"), U("節"), U("的"), U("完")}, "第章"},
        {U("回"), {U("合"), U("的"), U("完")}, "第回"},
        {U("节"), {U("课"), U("的"), U("完")}, "第节"},
        {U("節"), {U("課"), U("的"), U("完")}, "第节"},
        {U("话"), {U("的"), U("完")}, "第话"},
        {U("話"), {U("的"), U("完")}, "第话"},
        {U("幕"), {U("后"), U("後"), U("的"), U("完")}, "第幕"},
    };
    struct Bare {
        Text unit;
        std::string_view form;
    };
    std::vector<Bare> volume = {{U("卷"), "第卷"}, {U("部"), "第部"}, {U("集"), "第集"},
                                {U("篇"), "第篇"}, {U("辑"), "第辑"}, {U("輯"), "第辑"}};
    // Without 第 only these, and only in Chinese numerals.
    std::vector<Bare> bare = {{U("章"), "章"}, {U("回"), "回"}};
    // Longer words first: 序章 must not be taken as 序 followed by 章.
    struct Named {
        Text word;
        HeadingPlace place;
    };
    std::vector<Named> named = {
        {U("序章"), HeadingPlace::Front},    {U("序幕"), HeadingPlace::Front},
        {U("序言"), HeadingPlace::Front},    {U("楔子"), HeadingPlace::Front},
        {U("引子"), HeadingPlace::Front},    {U("前言"), HeadingPlace::Front},
        {U("尾声"), HeadingPlace::Back},     {U("尾聲"), HeadingPlace::Back},
        {U("后记"), HeadingPlace::Back},     {U("後記"), HeadingPlace::Back},
        {U("终章"), HeadingPlace::Back},     {U("終章"), HeadingPlace::Back},
        {U("番外篇"), HeadingPlace::Back},   {U("番外"), HeadingPlace::Back},
        {U("完本感言"), HeadingPlace::Back}, {U("上架感言"), HeadingPlace::Back},
        {U("序"), HeadingPlace::Front},
    };
    std::vector<Text> openers = {U("【"), U("〖"), U("［"), U("「")};
    std::vector<Text> closers = {U("】"), U("〗"), U("］"), U("」")};
    // The first bytes of the brackets: most lines open with none, and are told so at once.
    std::array<bool, 256> bracketLead = [this] {
        std::array<bool, 256> lead{};
        for (const std::vector<Text>* list : {&openers, &closers}) {
            for (const Text& b : *list) {
                lead[static_cast<unsigned char>(b[0])] = true;
            }
        }
        return lead;
    }();
    std::vector<Text> sentenceMarks = {U("，"), U("！"), U("？")};
    Text fullStop = U("。");
    Text wideColon = U("：");
    Text wideStop = U("．");
    Text enumComma = U("、");
    Text wideSpace = U("　");
};

const Words& W() {
    static const Words words;
    return words;
}

bool StartsWith(std::string_view t, std::size_t i, std::string_view word) {
    // The words are a few bytes long, and the first tells most apart: compared here, without
    // a call, as the test runs on every line.
    if (word.empty()) {
        return i <= t.size();
    }
    if (i >= t.size() || t[i] != word[0] || word.size() > t.size() - i) {
        return false;
    }
    for (std::size_t k = 1; k < word.size(); ++k) {
        if (t[i + k] != word[k]) {
            return false;
        }
    }
    return true;
}

// The length of the bracket of list at i; 0 when none.
std::size_t BracketAt(std::string_view t, std::size_t i, const std::vector<Text>& list) {
    if (i >= t.size() || !W().bracketLead[static_cast<unsigned char>(t[i])]) {
        return 0;
    }
    for (const Text& b : list) {
        if (StartsWith(t, i, b)) {
            return b.size();
        }
    }
    return 0;
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
        } else if (const std::size_t opener = BracketAt(t, i, W().openers)) {
            i += opener;
        } else {
            return i;
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

bool HasText(std::string_view t, const Text& word) {
    return FindText(t, word) != std::string_view::npos;
}

// The detectors below fill the shape of the caller's result in place and say whether they
// found one: a shape copied out of each of them on every line of a book costs more than the
// test itself. What a detector that says false left in the shape means nothing.

bool ChapterAfter(std::string_view t, std::size_t i, HeadingShape& shape);

// 第 + a number + a unit, or Chinese numerals + 章 回, at i. A volume may be followed on
// its line by its first chapter (inVolume: looking for that chapter).
bool NumberedAt(std::string_view t, std::size_t i, HeadingShape& shape, bool inVolume = false) {
    const Words& w = W();
    const bool di = StartsWith(t, i, w.di);
    const std::size_t n = di ? SkipSpaces(t, i + w.di.size()) : i;
    if (n >= t.size() || (!di && IsDigitAt(t, n))) {
        return false;
    }
    const NumberValue number = ReadNumberValue(t, n);
    if (!number) {
        return false;
    }
    shape = HeadingShape{};
    shape.strong = true;
    shape.number = number.Value();
    const std::size_t u = di ? SkipSpaces(t, number.end) : number.end;
    if (!di) {
        for (const Words::Bare& bare : w.bare) {
            if (StartsWith(t, u, bare.unit)) {
                const std::size_t after = u + bare.unit.size();
                if (after >= t.size() || SpaceAt(t, after) > 0) {
                    shape.form = bare.form;
                    return true;
                }
                return false;
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
            shape.form = strong.form;
            return true;
        }
    }
    if (inVolume) {
        return false;
    }
    for (const Words::Bare& volume : w.volume) {
        if (StartsWith(t, u, volume.unit)) {
            const std::size_t after = u + volume.unit.size();
            const std::optional<std::int64_t> volumeNumber = shape.number;
            if (ChapterAfter(t, after, shape)) {
                shape.volumeNumber = volumeNumber;
                return true;
            }
            if (EndsHeadingWord(t, after) || StartsWith(t, after, t.substr(i, after - i))) {
                shape = HeadingShape{};
                shape.strong = true;
                shape.number = volumeNumber;
                shape.form = volume.form;
                shape.volumeUnit = true;
                return true;
            }
            return false;
        }
    }
    return false;
}

// A chapter after a volume's number and title on the same line: after a space, within a
// short title.
bool ChapterAfter(std::string_view t, std::size_t i, HeadingShape& shape) {
    constexpr int kMaxVolumeTitleChars = 16;
    for (int chars = 0; i < t.size() && chars <= kMaxVolumeTitleChars; ++chars) {
        if (SpaceAt(t, i) > 0) {
            i = SkipSpaces(t, i);
            if (NumberedAt(t, i, shape, true)) {
                return true;
            }
            continue;
        }
        i += CharLength(t, i);
    }
    return false;
}

bool NamedAt(std::string_view t, std::size_t i, HeadingShape& shape) {
    for (const Words::Named& named : W().named) {
        if (StartsWith(t, i, named.word)) {
            const std::size_t after = i + named.word.size();
            const NumberValue number = ReadNumberValue(t, after);
            if (!EndsHeadingWord(t, after) && !number) {
                return false;
            }
            shape = HeadingShape{};
            shape.form = "named";
            shape.strong = true;
            shape.place = named.place;
            if (number) {
                shape.number = number.Value();
            }
            return true;
        }
    }
    return false;
}

// Chapter 7, Part 2, part25: strong with a capital and a space before the number.
bool LatinAt(std::string_view t, std::size_t i, HeadingShape& shape) {
    struct Word {
        std::string_view lower;
        std::string_view form;
    };
    static constexpr Word kWords[] = {{"chapter", "chapter"}, {"part", "part"}};
    for (const Word& word : kWords) {
        if (t.size() - i < word.lower.size()) {
            continue;
        }
        bool same = true;
        for (std::size_t k = 0; k < word.lower.size(); ++k) {
            same = same && (t[i + k] | 0x20) == word.lower[k];
        }
        if (!same) {
            continue;
        }
        const std::size_t n = SkipSpaces(t, i + word.lower.size());
        if (n >= t.size() || t[n] < '0' || t[n] > '9') {
            return false;
        }
        const NumberValue number = ReadNumberValue(t, n);
        if (!number || !EndsHeadingWord(t, number.end)) {
            return false;
        }
        shape = HeadingShape{};
        shape.form = word.form;
        shape.strong = n > i + word.lower.size() && t[i] >= 'A' && t[i] <= 'Z';
        shape.number = number.Value();
        return true;
    }
    return false;
}

// A number in digits with a separator and a title (1.标题, 001 标题, 1、标题, 12：标题), a
// number alone, or Chinese numerals with 、. Never strong.
bool BareNumberAt(std::string_view t, std::size_t i, HeadingShape& shape) {
    constexpr std::size_t kMaxDigits = 4;
    const Words& w = W();
    const NumberValue number = ReadNumberValue(t, i);
    if (!number) {
        return false;
    }
    const bool digits = IsDigitAt(t, i);
    if (digits && CountChars(t.substr(i, number.end - i)) > static_cast<int>(kMaxDigits)) {
        return false;
    }
    shape = HeadingShape{};
    shape.number = number.Value();
    const std::size_t after = number.end;
    if (after >= t.size()) {
        shape.form = "N";
        return digits;
    }
    if (StartsWith(t, after, w.enumComma)) {
        shape.form = "N、";
        return true;
    }
    if (!digits) {
        return false;
    }
    if (t[after] == '.' || StartsWith(t, after, w.wideStop)) {
        const std::size_t title = after + (t[after] == '.' ? 1 : w.wideStop.size());
        if (title < t.size() && IsDigitAt(t, title)) {
            return false;  // 1.5
        }
        shape.form = "N.";
        return true;
    }
    if (t[after] == ':' || StartsWith(t, after, w.wideColon)) {
        shape.form = "N:";
        return true;
    }
    if (SpaceAt(t, after) > 0) {
        const std::size_t title = SkipSpaces(t, after);
        if (title < t.size() && !IsDigitAt(t, title)) {
            shape.form = "N ";
            return true;
        }
    }
    return false;
}

// 【01】标题, [12] 标题: a number in brackets opening the line.
bool BracketedNumberAt(std::string_view t, std::size_t i, HeadingShape& shape) {
    const Words& w = W();
    std::size_t n = i;
    if (n < t.size() && t[n] == '[') {
        ++n;
    } else {
        n += BracketAt(t, n, w.openers);
    }
    if (n == i || n >= t.size() || !IsDigitAt(t, n)) {
        return false;
    }
    const NumberValue number = ReadNumberValue(t, n);
    if (!number) {
        return false;
    }
    const bool closed =
        (number.end < t.size() && t[number.end] == ']') || BracketAt(t, number.end, w.closers) > 0;
    if (!closed) {
        return false;
    }
    shape = HeadingShape{};
    shape.form = "[N]";
    shape.number = number.Value();
    return true;
}

// A short lead before a numbered heading: up to kMaxLeadChars characters, no space and no
// sentence mark among them, then spaces or a bracket.
bool AfterLead(std::string_view t, std::size_t i, HeadingShape& shape) {
    const std::size_t start = i;
    for (int chars = 0; i < t.size() && chars <= kMaxLeadChars; ++chars) {
        const std::size_t space = SpaceAt(t, i);
        const std::size_t gap = space ? space : BracketAt(t, i, W().closers);
        if (gap > 0) {
            if (i == start) {
                return false;
            }
            return NumberedAt(t, SkipOpening(t, i + gap), shape);
        }
        for (const Text& mark : W().sentenceMarks) {
            if (StartsWith(t, i, mark)) {
                return false;
            }
        }
        if (StartsWith(t, i, W().fullStop)) {
            return false;
        }
        i += CharLength(t, i);
    }
    return false;
}

bool ShapeAt(std::string_view line, std::size_t i, HeadingShape& shape) {
    if (StartsWith(line, i, W().zhengwen) &&
        NumberedAt(line, SkipOpening(line, i + W().zhengwen.size()), shape)) {
        return true;
    }
    return NumberedAt(line, i, shape) || NamedAt(line, i, shape) || LatinAt(line, i, shape) ||
           AfterLead(line, i, shape) || BareNumberAt(line, i, shape);
}

bool HasSentenceMark(std::string_view line) {
    for (const Text& mark : W().sentenceMarks) {
        if (HasText(line, mark)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<HeadingShape> ShapeOfLine(std::string_view line) {
    // Cheap refusal first: the test runs on every line of a book.
    if (line.size() > static_cast<std::size_t>(kMaxHeadingChars) * 4) {
        return std::nullopt;
    }
    return ShapeOfLine(line, CountChars(line));
}

std::optional<HeadingShape> ShapeOfLine(std::string_view line, std::int32_t chars) {
    std::optional<HeadingShape> shape(std::in_place);
    if (!ShapeOfLine(line, chars, *shape)) {
        shape.reset();
    }
    return shape;
}

bool ShapeOfLine(std::string_view line, std::int32_t chars, HeadingShape& shape) {
    const std::size_t first = SkipSpaces(line, 0);
    if (first >= line.size() || line.size() > static_cast<std::size_t>(kMaxHeadingChars) * 4) {
        return false;
    }
    if (chars > kMaxHeadingChars ||
        (chars > kMaxFullStopFreeChars && HasText(line, W().fullStop))) {
        return false;
    }
    const std::size_t i = SkipOpening(line, first);
    if (!BracketedNumberAt(line, first, shape) && (i >= line.size() || !ShapeAt(line, i, shape))) {
        return false;
    }
    // A heading of the strong forms may hold web residue with ， ！ ？ in it.
    return shape.strong || chars <= kMaxBareTitleChars || !HasSentenceMark(line);
}

bool IsChapterHeading(std::string_view line) {
    const std::optional<HeadingShape> shape = ShapeOfLine(line);
    return shape && shape->strong;
}

bool IsSpacesOnly(std::string_view line) {
    return SkipSpaces(line, 0) >= line.size();
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
    if (inner.empty()) {
        return title;
    }
    // 第四十集第四十集: the heading once.
    const std::string_view half = inner.substr(0, inner.size() / 2);
    if (inner.size() % 2 == 0 && inner.substr(half.size()) == half &&
        CountChars(half) * 2 == CountChars(inner)) {
        return half;
    }
    return inner;
}

}  // namespace qs
