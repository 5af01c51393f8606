#include "text/characters.h"

#include <gtest/gtest.h>

#include <random>

#include "text/text.h"

namespace qs {
namespace {

struct CountRow {
    const char* name;
    Text text;
    std::int32_t chars;
};

TEST(CharactersTest, CountChars) {
    const CountRow rows[] = {
        {"empty", "", 0},
        // a 中 CR LF
        {"ascii, double-byte, CR LF", "a\xD6\xD0\r\n", 3},
        {"LF then CR are two line ends", "\n\r", 2},
        {"lone CR at the end", "ab\r", 3},
        // U+20AC as a four-byte GB18030 sequence: 81 30 81 30 is U+0080
        {"four-byte sequence", Text("\x81\x30\x81\x30", 4), 1},
        {"four-byte then ascii", Text("\x81\x30\x81\x30x", 5), 2},
        {"lone lead byte at the end", "a\xD6", 2},
        {"double-byte with an ascii trail", "\xD5\x5C", 1},  // 誠
        {"zero bytes count", Text("a\0b", 3), 3},
        {"stray lead byte before LF", "a\xD6\nb", 4},
        {"stray lead byte before CR LF", "\xD6\r\n", 2},
        {"lead byte before a digit that starts no four-byte sequence", "\xD6\x35x", 3},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CountChars(row.text), row.chars) << row.name;
    }
}

// Random runs of pairs, four-byte sequences, ASCII, CR LF and odd bytes: the count that
// takes eight bytes at a time is the one of walking the characters one by one.
TEST(CharactersTest, CountCharsIsTheWalkOverTheCharacters) {
    static const char* const kPieces[] = {
        "\xD6\xD0", "\x81\x30\x81\x30", "a",       "\r\n", "\r", "\n", "\x80", "\xFF",
        "\xD6",     "\xFE\xFE",         "\x81\x81"};
    std::uint32_t state = 1;
    for (int round = 0; round < 3000; ++round) {
        Text text;
        for (int k = static_cast<int>(state % 40); k > 0; --k) {
            state = state * 1103515245u + 12345u;
            text += kPieces[(state >> 16) % std::size(kPieces)];
        }
        std::int32_t walked = 0;
        for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
            ++walked;
        }
        ASSERT_EQ(CountChars(text), walked) << round;
    }
}

TEST(CharactersTest, LeadByteTakesOnlyWhatCanBeASecondByte) {
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int second = 0; second <= 0xFF; ++second) {
            const Text pair{static_cast<char>(lead), static_cast<char>(second)};
            // 80 and FF begin no character: what follows them is a character of its own.
            const bool takes =
                lead != 0x80 && lead != 0xFF &&
                ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE));
            ASSERT_EQ(CharLength(pair, 0), takes ? 2u : 1u) << lead << " " << second;
        }
    }
}

TEST(CharactersTest, LeftCharsKeepsWholeCharacters) {
    Text name;
    for (int i = 0; i < 75; ++i) {
        name +=
            "\xD6\xD0"
            "a";  // 中a
    }
    ASSERT_EQ(CountChars(name), 150);
    const Text left = LeftChars(name, 100);
    EXPECT_EQ(CountChars(left), 100);
    EXPECT_EQ(left.size(), 150u);
    EXPECT_EQ(name.compare(0, left.size(), left), 0);

    EXPECT_EQ(LeftChars("ab", 5), "ab");
    EXPECT_EQ(LeftChars("\xD6\xD0", 1), "\xD6\xD0");
    EXPECT_EQ(LeftChars(Text("\x81\x30\x81\x30z", 5), 1), Text("\x81\x30\x81\x30", 4));
}

struct SplitRow {
    const char* name;
    Text text;
    Text separator;
    TextList parts;
};

TEST(CharactersTest, SplitText) {
    const SplitRow rows[] = {
        {"separator at both ends", "SaSbS", "S", {"", "a", "b"}},
        {"no separator", "abc", "S", {"abc"}},
        {"empty text", "", "S", {}},
        {"empty separator", "abc", "", {"abc"}},
        {"two separators in a row", "aSSb", "S", {"a", "", "b"}},
        {"multi-byte separator", "a--b--", "--", {"a", "b"}},
        // 誠 is D5 5C: the 5C is a trail byte, not a backslash
        {"separator byte as trail byte", "x\xD5\\y\\z", "\\", {"x\xD5\\y", "z"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SplitText(row.text, row.separator), row.parts) << row.name;
    }
}

TEST(CharactersTest, MatchesNeverStartOnTrailByte) {
    // 獍 (AB 41) followed by A: "A" first matches as a character at 2, not at the trail byte.
    EXPECT_EQ(FindText("\xAB\x41\x41", "A"), 2u);
    EXPECT_EQ(FindChar("\xAB\x41\x41", 'A'), 2u);
    EXPECT_EQ(FindText("\xAB\x41", "A"), Text::npos);
    EXPECT_EQ(FindText("\xAB\x41\xAB\x41", "\x41\xAB"), Text::npos);
    EXPECT_EQ(FindText("abcabc", "abc", 1), 3u);
    EXPECT_EQ(FindText("abc", "", 2), 2u);
    // In a four-byte sequence the 30..39 bytes are not digits.
    EXPECT_EQ(FindChar(Text("\x81\x30\x81\x30"
                            "0",
                            5),
                       '0'),
              4u);
}

// Long texts of bytes that make every kind of character, searched from every start: a match
// is exactly the first one found by walking the text character by character.
TEST(CharactersTest, FindTextAgreesWithTheCharacterWalk) {
    const char alphabet[] = {'\r', '\n', 'a', '0', '\x30', '\x41', '\x81', '\xA1', '\xD6', '\xFE'};
    std::uint32_t seed = 7;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 200; ++round) {
        Text text(200 + next() % 6000, 'a');
        for (char& c : text) {
            c = alphabet[next() % sizeof alphabet];
        }
        const Text needle = text.substr(next() % text.size(), 1 + next() % 3);
        const std::size_t from = next() % 100;
        std::size_t expected = Text::npos;
        for (std::size_t i = from; i < text.size(); i += CharLength(text, i)) {
            // A short text is walked whole: only whether the match ends cleanly is asked.
            if (text.compare(i, needle.size(), needle) == 0 &&
                FindText(text.substr(i, needle.size() + 3), needle) == 0) {
                expected = i;
                break;
            }
        }
        ASSERT_EQ(FindText(text, needle, from), expected) << "round " << round;
    }
}

TEST(CharactersTest, FindLastCharSkipsTrailBytes) {
    // 誠 (D5 5C): its second byte is not a backslash.
    EXPECT_EQ(FindLastChar("a\\\xD5\x5C", '\\'), 1u);
    EXPECT_EQ(FindLastChar("\xD5\x5C", '\\'), Text::npos);
    EXPECT_EQ(FindLastChar("a.b.c", '.'), 3u);
    EXPECT_EQ(FindLastChar("", '.'), Text::npos);
}

TEST(CharactersTest, TrimSpacesRemovesAsciiAndFullWidthSpacesAtBothEnds) {
    struct Row {
        const char* label;
        Text in;
        Text out;
    };
    const Row rows[] = {
        {"empty", "", ""},
        {"only blanks", U(" 　 "), ""},
        {"ascii", "  /a b/  ", "/a b/"},
        {"full width", U("　/数据　"), U("/数据")},
        // B0 A1 ("啊") followed by a lone A1: the last A1 is no full-width blank.
        {"second byte is no blank", "/x\xB0\xA1\xA1", "/x\xB0\xA1\xA1"},
        // "/" + A1 A1 A1 A1 + " ": two full-width blanks, then the trailing space.
        {"two wide at end", "/\xA1\xA1\xA1\xA1 ", "/"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(TrimSpaces(row.in), row.out);
    }
}

TEST(CharactersTest, ReplaceAllAndCaseFolding) {
    EXPECT_EQ(ReplaceAll("\xD5\x5C\\", "\\", "/"), "\xD5\x5C/");
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    // 獍 (AB 41): its trail byte is an A but is not folded.
    EXPECT_EQ(AsciiLower("AB\xAB\x41"), "ab\xAB\x41");
    EXPECT_EQ(FindTextNoCase("xx.TXT", ".txt"), 2u);
}

// Random texts of markers in any case, double-byte characters (whose trail bytes may be
// letters or markers' bytes), CR LF and odd bytes: the search in place finds what a search of
// the lower-cased copy finds.
TEST(CharactersTest, FindTextNoCaseIsTheSearchOfTheLowerCasedText) {
    std::mt19937 gen(5);
    const std::string_view pieces[] = {"<",  ">",    "H",    "e",    "a",    "D",      "/",    "\r",
                                       "\n", "\xAB", "\x81", "\x30", "\xFE", "<HeAd>", "<meta"};
    const std::string_view needles[] = {"<head>",
                                        "</head>",
                                        ">",
                                        "<meta",
                                        "\r\n<a",
                                        "ad>",
                                        "0",
                                        "\xAB"
                                        "A"};
    for (int round = 0; round < 3000; ++round) {
        Text text;
        for (int n = std::uniform_int_distribution<int>(0, 24)(gen); n > 0; --n) {
            text +=
                pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(gen)];
        }
        const Text lower = AsciiLower(text);
        for (const std::string_view needle : needles) {
            for (std::size_t from = 0; from <= text.size(); from += CharLength(text, from)) {
                ASSERT_EQ(FindTextNoCase(text, needle, from), FindText(lower, needle, from))
                    << testing::PrintToString(text) << " " << needle << " " << from;
                if (from == text.size()) {
                    break;
                }
            }
        }
    }
}

}  // namespace
}  // namespace qs
