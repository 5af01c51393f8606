// Decoding, encoding, searching and wildcard translation fed with data they were not made
// for. Each row states the sound result.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "encoding/charset_converter.h"
#include "encoding/damaged_text.h"
#include "encoding/html_charset.h"
#include "encoding/text_decoder.h"
#include "fs/file_enumeration.h"
#include "pattern/regex_facade.h"
#include "pattern/wildcard.h"
#include "support/temp_folder.h"
#include "text/characters.h"

namespace qs {
namespace {

std::string Random(std::size_t n, unsigned seed, bool nulHeavy = false) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) {
        c = static_cast<char>(nulHeavy && gen() % 4 != 0 ? 0 : gen() & 0xFF);
    }
    return s;
}

struct DecodeRow {
    const char* name;
    std::string bytes;
    TextEncoding requested;
    TextEncoding encoding;  // expected
    std::string text;       // expected
};

void PrintTo(const DecodeRow& row, std::ostream* out) {
    *out << row.name;
}

class DecodeBadInput : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeBadInput, GivesTheExactTextOrTheBytesAsTheyAre) {
    const DecodeRow& row = GetParam();
    const DecodedText d = DecodeBytes(row.bytes, row.requested);
    EXPECT_EQ(d.format.encoding, row.encoding);
    EXPECT_EQ(d.text, row.text);
}

const std::string kBom = "\xEF\xBB\xBF";
const std::string kRandom = Random(4096, 7);
const std::string kNuls = Random(4096, 8, true);

INSTANTIATE_TEST_SUITE_P(
    Bytes, DecodeBadInput,
    ::testing::Values(
        DecodeRow{"Empty", "", TextEncoding::Undetected, TextEncoding::Gb18030, ""},
        DecodeRow{"OnlyUtf8Mark", kBom, TextEncoding::Undetected, TextEncoding::Utf8, ""},
        DecodeRow{"OnlyUtf16LeMark", "\xFF\xFE", TextEncoding::Undetected, TextEncoding::Utf16Le,
                  ""},
        DecodeRow{"OnlyUtf16BeMark", "\xFE\xFF", TextEncoding::Undetected, TextEncoding::Utf16Be,
                  ""},
        DecodeRow{"RandomBytes", kRandom, TextEncoding::Undetected, TextEncoding::Gb18030, kRandom},
        DecodeRow{"NulHeavy", kNuls, TextEncoding::Undetected, TextEncoding::Gb18030, kNuls},
        // "hi" in UTF-16LE without a mark: the zero bytes give it away
        DecodeRow{"Utf16LeWithoutMark", std::string("h\0i\0", 4), TextEncoding::Undetected,
                  TextEncoding::Utf16Le, "hi"},
        // 中 (E4 B8 AD) cut after two bytes
        DecodeRow{"TruncatedUtf8AtEnd", "ab\xE4\xB8\xAD\xE4\xB8", TextEncoding::Undetected,
                  TextEncoding::Gb18030, "ab\xE4\xB8\xAD\xE4\xB8"},
        // A damaged text is read in its encoding, each byte that does not decode kept.
        DecodeRow{"MarkedUtf8TruncatedAtEnd", kBom + "ab\xE4\xB8", TextEncoding::Undetected,
                  TextEncoding::Utf8, "ab" + KeptByte(0xE4) + KeptByte(0xB8)},
        // UTF-16LE mark, then 'a' and a lone byte
        DecodeRow{"Utf16OddLength",
                  std::string("\xFF\xFE"
                              "a\0b",
                              5),
                  TextEncoding::Undetected, TextEncoding::Utf16Le, "a" + KeptByte('b')},
        // a lone high surrogate D800
        DecodeRow{"Utf16LoneSurrogate", std::string("\xFF\xFE\x00\xD8", 4),
                  TextEncoding::Undetected, TextEncoding::Utf16Le, KeptUnit(0x00, 0xD8)},
        // two bad bytes in three tell no encoding
        DecodeRow{"OverlongUtf8", "a\xC0\x80", TextEncoding::Undetected, TextEncoding::Gb18030,
                  "a\xC0\x80"},
        DecodeRow{"Utf8EncodedSurrogate", "a\xED\xA0\x80", TextEncoding::Undetected,
                  TextEncoding::Gb18030, "a\xED\xA0\x80"},
        DecodeRow{"HtmlClaimsUtf8BodyIsNot", "<head><meta charset=utf-8></head>\xB0\xA1",
                  TextEncoding::Undetected, TextEncoding::Gb18030,
                  "<head><meta charset=utf-8></head>\xB0\xA1"},
        DecodeRow{"ForcedUtf16OnOneByte", "x", TextEncoding::Utf16Le, TextEncoding::Utf16Le,
                  KeptByte('x')},
        DecodeRow{"ForcedBig5OnATruncatedPair", "ab\xA4", TextEncoding::Big5, TextEncoding::Big5,
                  "ab" + KeptByte(0xA4)},
        // 中 in UTF-8 gives D6 D0 in the internal code page
        DecodeRow{"Utf8AfterNulBytes", std::string("\0\0\xE4\xB8\xAD", 5), TextEncoding::Undetected,
                  TextEncoding::Utf8, std::string("\0\0\xD6\xD0", 4)}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DecodeBadInputFile, AnExecutableIsTakenRawByteForByte) {
    TempFolder temp;
    std::filesystem::copy_file("/bin/true", ToUtf8Lossy(temp.File("true")));
    std::ifstream in("/bin/true", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const DecodedText d = DecodeTextFile(temp.File("true"));
    EXPECT_TRUE(d.opened);
    EXPECT_EQ(d.format.encoding, TextEncoding::Gb18030);
    EXPECT_EQ(d.text, bytes);
}

TEST(DecodeBadInputFile, MissingFileOrFolderIsNotOpened) {
    TempFolder temp;
    EXPECT_FALSE(DecodeTextFile(temp.File("missing")).opened);
    EXPECT_FALSE(DecodeTextFile(temp.Path()).opened);
    EXPECT_FALSE(DecodeTextFile("").opened);
}

struct EncodeRow {
    const char* name;
    std::string text;
    TextEncoding encoding;
    std::optional<std::string> bytes;  // expected; none: nothing is ever substituted
};

void PrintTo(const EncodeRow& row, std::ostream* out) {
    *out << row.name;
}

class EncodeBadInput : public ::testing::TestWithParam<EncodeRow> {};

TEST_P(EncodeBadInput, ConvertsExactlyOrNotAtAll) {
    const EncodeRow& row = GetParam();
    EXPECT_EQ(EncodeText(row.text, {row.encoding, true}), row.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EncodeBadInput,
    ::testing::Values(
        EncodeRow{"LoneLeadByteToUtf8", "ab\x81", TextEncoding::Utf8, std::nullopt},
        EncodeRow{"InvalidPairToUtf16", "\x81\x20", TextEncoding::Utf16Le, std::nullopt},
        EncodeRow{"UnknownCode", "abc", static_cast<TextEncoding>(9), "abc"},
        EncodeRow{"NegativeCode", "abc", static_cast<TextEncoding>(-1), "abc"},
        EncodeRow{"EmptyText", "", TextEncoding::Utf8, ""},
        // A4 FA is a user-defined character: Big5-HKSCS has no exact place for it, so
        // it is not encoded rather than turning into another character.
        EncodeRow{"UserDefinedCharToBig5Hkscs", "\xA4\xFA", TextEncoding::Big5Hkscs, std::nullopt},
        // plain Big5 keeps a user-defined area of its own, both ways: 95 5C
        EncodeRow{"UserDefinedCharToBig5", "\xA4\xFA", TextEncoding::Big5, "\x95\x5C"},
        // 中 (D6 D0) is A4 A4 in Big5: a plain character still converts
        EncodeRow{"PlainCharToBig5", "\xD6\xD0", TextEncoding::Big5, "\xA4\xA4"}),
    [](const auto& row) { return std::string(row.param.name); });

struct SplitRow {
    const char* name;
    std::string text;
    std::string separator;
    TextList parts;  // expected
};

void PrintTo(const SplitRow& row, std::ostream* out) {
    *out << row.name;
}

class SplitTextBadInput : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitTextBadInput, CutsOnlyBetweenCharacters) {
    const SplitRow& row = GetParam();
    EXPECT_EQ(SplitText(row.text, row.separator), row.parts);
}

INSTANTIATE_TEST_SUITE_P(
    Separators, SplitTextBadInput,
    ::testing::Values(
        // 25 cannot be a second byte: FF stands alone there, and cuts
        SplitRow{"LoneLeadByteInsideACharacter", "a\xFF%b", "\xFF", {"a", "%b"}},
        SplitRow{"LoneLeadByteAtTheEnd", "ab\xFF", "\xFF", {"ab"}},
        // 81 30 81 30 is one four-byte character; 81 30 must not match its first half
        SplitRow{
            "HalfOfAFourByteCharacter", "x\x81\x30\x81\x30y", "\x81\x30", {"x\x81\x30\x81\x30y"}},
        SplitRow{"SeparatorLongerThanText", "ab", "abc", {"ab"}},
        SplitRow{"SeparatorIsTheText", "ab", "ab", {""}},
        SplitRow{"EmptySeparator", "ab", "", {"ab"}}, SplitRow{"EmptyText", "", "x", {}},
        SplitRow{"NulSeparator", std::string("a\0b", 3), std::string("\0", 1), {"a", "b"}},
        SplitRow{"CrBeforeLf", "a\r\nb", "\r", {"a", "\nb"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FindBadInput, CaseFoldingLeavesTrailBytesAlone) {
    // 81 41 and 81 61 are two different characters; only 'A' and 'a' on their own fold.
    EXPECT_EQ(FindTextNoCase("\x81\x61", "\x81\x41"), std::string::npos);
    EXPECT_EQ(FindTextNoCase("x\x81\x41"
                             "A",
                             "\x81\x41"
                             "a"),
              1u);
    EXPECT_EQ(FindTextNoCase("\x81\x41", "\x81"), std::string::npos);
}

struct WildcardRow {
    const char* name;
    std::string pattern;
    TextList byFind;    // expected names, natural order per piece
    TextList byObject;  // expected names
};

void PrintTo(const WildcardRow& row, std::ostream* out) {
    *out << row.name;
}

class WildcardBadInput : public ::testing::TestWithParam<WildcardRow> {
protected:
    static TextList Names(const TextList& paths) {
        TextList names;
        for (const Text& p : paths) {
            names.push_back(p.substr(p.rfind('/') + 1));
        }
        return names;
    }
};

TEST_P(WildcardBadInput, ListsWhatThePatternSaysAndNothingElse) {
    const WildcardRow& row = GetParam();
    TempFolder temp;
    for (const char* name : {"a.txt", "B.TXT", "[x].txt", "c", "x|y"}) {
        temp.Write(name, "x");
    }
    TextList found;
    EnumerateByFind(temp.Path(), row.pattern, found);
    EXPECT_EQ(Names(found), row.byFind);
    EnumerateByObject(temp.Path(), row.pattern, found);
    EXPECT_EQ(Names(found), row.byObject);
}

INSTANTIATE_TEST_SUITE_P(Patterns, WildcardBadInput,
                         ::testing::Values(
                             // "|" alone: empty pieces match nothing; as an expression, two empty
                             // alternatives match every name
                             WildcardRow{
                                 "OnlyBars", "|||", {}, {"[x].txt", "a.txt", "B.TXT", "c", "x|y"}},
                             WildcardRow{"OnlyStars",
                                         "****",
                                         {"[x].txt", "a.txt", "B.TXT", "c", "x|y"},
                                         {"[x].txt", "a.txt", "B.TXT", "c", "x|y"}},
                             WildcardRow{"Brackets", "[x].txt", {"[x].txt"}, {"[x].txt"}},
                             WildcardRow{"UnclosedBracket", "[x", {}, {"[x].txt"}},
                             WildcardRow{"TrailingLoneLeadByte", "*.txt\x81", {}, {}},
                             WildcardRow{"ExpressionCharacters", "^$+.{}()-\"=\\", {}, {}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(WildcardBadInputExpression, StarRunsBecomeOneAndStayFast) {
    EXPECT_EQ(WildcardToRegex("a***b"), "a.*b");
    RegexObject regex;
    ASSERT_TRUE(regex.Compile(WildcardToRegex("**********x")));
    // 4000 characters without an x: one star backtracks linearly, ten would never end
    EXPECT_EQ(regex.Execute(std::string(4000, 'a')), 0);
}

TEST(WildcardBadInputExpression, QuestionMarkRunsStayFast) {
    EXPECT_EQ(WildcardToRegex("a???b"), "a.{0,3}b");
    EXPECT_EQ(WildcardToRegex("a?b?"), "a.?b.?");
    RegexObject regex;
    ASSERT_TRUE(regex.Compile(WildcardToRegex("i" + std::string(80, '?') + "'")));
    // 80 optional characters spelt out one by one would take 2^80 steps here
    EXPECT_EQ(regex.Execute("i" + std::string(200, 'i')), 0);
    EXPECT_EQ(regex.Execute("ii'"), 1);
}

TEST(HtmlBadInput, UnclosedAndEmptyTagsDetectNothing) {
    for (const char* text : {"<head>", "<head></head>", "<head><meta", "<meta charset=", "<<<>>>",
                             "<head><meta></head><meta charset=utf-8>"}) {
        EXPECT_EQ(DetectHtmlCharset(text), HtmlCharsetNone) << text;
    }
}

}  // namespace
}  // namespace qs
