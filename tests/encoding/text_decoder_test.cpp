#include "encoding/text_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoding/text_slices.h"
#include "platform/services.h"
#include "support/conversions.h"
#include "support/quiet_ui.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

using namespace std::string_literals;

TEST(IsUtf8Text, Table) {
    const struct {
        const char* name;
        std::string bytes;
        bool expected;
    } rows[] = {
        {"empty", "", false},
        {"pure ASCII", "hello, world", false},
        {"ASCII with zero bytes", "a\0b"s, false},
        {"two-byte sequence", "\xC3\xA9", true},                                // é
        {"three-byte sequences", "\xE4\xB8\xAD\xE6\x96\x87", true},             // 中文
        {"four-byte sequence", "a\xF0\x9F\x98\x80", true},                      // a😀
        {"CJK Extension B", "\xF0\xA0\x80\x80", true},                          // 𠀀
        {"zero byte between characters", "\xE4\xB8\xAD\0\xE6\x96\x87"s, true},  // 中\0文
        {"lead F5 is never UTF-8", "\xF5\x80\x80\x80", false},
        {"four-byte lead with two continuations",
         "\xF0\x9F\x98"
         "a",
         false},
        {"stray continuation byte", "a\x80", false},
        {"sequence cut by the end", "\xE4\xB8", false},
        {"GBK bytes", "\xD6\xD0\xCE\xC4", false},   // 中文 in GBK
        {"Big5 bytes", "\xC1\x63\xC5\xE9", false},  // 繁體 in Big5
        // The ASCII fast path reads 8 bytes at a time; the odd byte sits past a boundary.
        {"non-ASCII after a long ASCII run", std::string(13, 'a') + "\xC3\xA9", true},
        {"bad byte after a long ASCII run", std::string(13, 'a') + "\xC3\xA9" + "\xFF", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsUtf8Text(row.bytes), row.expected) << row.name;
    }
}

TEST(IsUtf8Text, LargeDataDispatchesNoEvents) {
    QuietUi ui;
    ServicesOverride guard({.ui = &ui});
    // 5 MiB, with a character across the 1 MiB boundary.
    std::string bytes(5u << 20, 'x');
    bytes.replace((1u << 20) - 1, 3, "\xE4\xB8\xAD");
    EXPECT_TRUE(IsUtf8Text(bytes));
    EXPECT_EQ(ui.pumps, 0);
}

std::string Repeat(std::string_view unit, int times) {
    std::string out;
    for (int k = 0; k < times; ++k) {
        out += unit;
    }
    return out;
}

struct DecodeRow {
    const char* name;
    std::string bytes;
    TextEncoding requested;
    TextEncoding encoding;
    Text text;  // internal bytes
};

TEST(DecodeBytes, Table) {
    const std::string big5Page = "<head><meta charset=big5></head>";
    const std::vector<DecodeRow> rows = {
        {"empty", "", TextEncoding::Undetected, TextEncoding::Gb18030, ""},
        {"only a UTF-8 mark", "\xEF\xBB\xBF", TextEncoding::Undetected, TextEncoding::Utf8, ""},
        {"only a UTF-16LE mark", "\xFF\xFE", TextEncoding::Undetected, TextEncoding::Utf16Le, ""},
        {"only a UTF-16BE mark", "\xFE\xFF", TextEncoding::Undetected, TextEncoding::Utf16Be, ""},
        {"UTF-8 with mark", "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87", TextEncoding::Undetected,
         TextEncoding::Utf8, "\xD6\xD0\xCE\xC4"},  // 中文
        {"FF FE 00 00 is UTF-16LE", "\xFF\xFE\0\0"s, TextEncoding::Undetected,
         TextEncoding::Utf16Le, "\0"s},
        {"UTF-16BE with mark", "\xFE\xFF\x00\x61"s, TextEncoding::Undetected, TextEncoding::Utf16Be,
         "a"},
        {"UTF-16LE with a surrogate pair", "\xFF\xFE\x61\x00\x3D\xD8\x00\xDE"s,
         TextEncoding::Undetected, TextEncoding::Utf16Le, "a\x94\x39\xFC\x36"},  // a😀
        {"pure ASCII is raw", "plain text\r\n", TextEncoding::Undetected, TextEncoding::Gb18030,
         "plain text\r\n"},
        {"UTF-8 without mark, four-byte characters",
         "\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80\xF0\xA0\x80\x80", TextEncoding::Undetected,
         TextEncoding::Utf8, "\xD6\xD0\xCE\xC4\x94\x39\xFC\x36\x95\x32\x82\x36"},  // 中文😀𠀀
        {"zero byte kept inside UTF-8", "\xE4\xB8\xAD\0\xE6\x96\x87"s, TextEncoding::Undetected,
         TextEncoding::Utf8, "\xD6\xD0\0\xCE\xC4"s},  // 中\0文
        {"UTF-16 without mark, ASCII", "a\0b\0"s, TextEncoding::Undetected, TextEncoding::Utf16Le,
         "ab"},
        {"UTF-16LE without mark, its zero the low half of 一", "\xFD\x56\x00\x4E"s,
         TextEncoding::Undetected, TextEncoding::Utf16Le, "\xB9\xFA\xD2\xBB"},  // 国一
        // A damaged text is read in its encoding, each byte that does not decode kept.
        {"broken surrogate is kept", "\xFF\xFE\x3D\xD8\x61\x00"s, TextEncoding::Undetected,
         TextEncoding::Utf16Le, KeptUnit(0x3D, 0xD8) + "a"},
        {"UTF-8 without mark, its last character cut", Repeat("\xE4\xB8\xAD", 30) + "\xE6\x96",
         TextEncoding::Undetected, TextEncoding::Utf8,
         Repeat("\xD6\xD0", 30) + KeptByte(0xE6) + KeptByte(0x96)},
        {"GBK is raw", "\xD6\xD0\xCE\xC4", TextEncoding::Undetected, TextEncoding::Gb18030,
         "\xD6\xD0\xCE\xC4"},
        {"page declaring UTF-8", "<meta charset=utf-8>\xE4\xB8\xAD", TextEncoding::Undetected,
         TextEncoding::Utf8, "<meta charset=utf-8>\xD6\xD0"},
        {"page declaring UTF-8 with other bytes", "<meta charset=UTF-8>\xD6\xD0",
         TextEncoding::Undetected, TextEncoding::Gb18030, "<meta charset=UTF-8>\xD6\xD0"},
        {"Big5 page", big5Page + "\xC1\x63\xC5\xE9", TextEncoding::Undetected, TextEncoding::Big5,
         big5Page + "\xB7\xB1\xF3\x77"},  // 繁體
        {"Big5 page with bytes outside Big5", big5Page + "\xA4\x30\xFF", TextEncoding::Undetected,
         TextEncoding::Big5, big5Page + KeptByte(0xA4) + "0" + KeptByte(0xFF)},
        {"Big5-HKSCS page", "<meta charset='Big5-HKSCS'>\xAD\xBB\xB4\xE4\x9D\xEE",
         TextEncoding::Undetected, TextEncoding::Big5Hkscs,
         "<meta charset='Big5-HKSCS'>\xCF\xE3\xB8\xDB\x82\x30\x9E\x38"},  // 香港㗎
        {"zero byte before the meta tag hides it", "\0<meta charset=big5>\xC1\x63"s,
         TextEncoding::Undetected, TextEncoding::Gb18030, "\0<meta charset=big5>\xC1\x63"s},
        {"0x1A before the meta tag hides it", "\x1A<meta charset=big5>\xC1\x63",
         TextEncoding::Undetected, TextEncoding::Gb18030, "\x1A<meta charset=big5>\xC1\x63"},
        {"zero byte after the meta tag", "<meta charset=big5>\0\xC1\x63"s, TextEncoding::Undetected,
         TextEncoding::Big5, "<meta charset=big5>\0\xB7\xB1"s},
        // Pieces of an unmarked UTF-16 source have no mark either.
        {"forced UTF-16LE without its mark", "\x61\x00\x62\x00"s, TextEncoding::Utf16Le,
         TextEncoding::Utf16Le, "ab"},
        {"forced UTF-16LE skips its mark", "\xFF\xFE\x61\x00"s, TextEncoding::Utf16Le,
         TextEncoding::Utf16Le, "a"},
        {"forced UTF-16LE on one byte", "a", TextEncoding::Utf16Le, TextEncoding::Utf16Le,
         KeptByte('a')},
        {"forced UTF-8 without mark", "abc", TextEncoding::Utf8, TextEncoding::Utf8, "abc"},
        {"forced UTF-8 skips its mark",
         "\xEF\xBB\xBF"
         "abc",
         TextEncoding::Utf8, TextEncoding::Utf8, "abc"},
        {"forced Big5 on other bytes", "\xA4\x30", TextEncoding::Big5, TextEncoding::Big5,
         KeptByte(0xA4) + "0"},
        {"forced raw keeps the mark",
         "\xEF\xBB\xBF"
         "abc",
         TextEncoding::Gb18030, TextEncoding::Gb18030,
         "\xEF\xBB\xBF"
         "abc"},
        {"unknown code is raw",
         "\xEF\xBB\xBF"
         "abc",
         static_cast<TextEncoding>(99), TextEncoding::Gb18030,
         "\xEF\xBB\xBF"
         "abc"},
    };
    for (const auto& row : rows) {
        const DecodedText decoded = DecodeBytes(row.bytes, row.requested);
        EXPECT_TRUE(decoded.opened) << row.name;
        EXPECT_EQ(decoded.format.encoding, row.encoding) << row.name;
        EXPECT_EQ(decoded.text, row.text) << row.name;
    }
}

// A page declares its charset near its start: a declaration past the bound is not looked
// for (nor the text held whole for it), by the whole decoding and the slice reader alike.
TEST(DecodeBytes, DeclarationIsLookedForWithinItsBound) {
    const std::string tag = "<meta charset=big5>";
    const struct {
        std::size_t before;
        TextEncoding expected;
    } rows[] = {{kDeclarationBytes - tag.size() - 2, TextEncoding::Big5},
                {kDeclarationBytes, TextEncoding::Gb18030}};
    for (const auto& row : rows) {
        const Bytes bytes = std::string(row.before, 'a') + tag + "\xC1\x63";
        const DecodedText whole = DecodeBytes(bytes);
        EXPECT_EQ(whole.format.encoding, row.expected) << row.before;
        TempFolder folder;
        folder.Write("p.html", bytes);
        TextSliceReader reader;
        ASSERT_TRUE(reader.Open(folder.File("p.html")));
        EXPECT_EQ(reader.Format().encoding, row.expected) << row.before;
    }
}

}  // namespace
}  // namespace qs
