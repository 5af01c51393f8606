#include "encoding/charset_converter.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/services.h"
#include "support/conversions.h"
#include "support/faulty_file_system.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

using namespace std::string_literals;

TEST(ConvertCharset, Table) {
    const struct {
        const char* name;
        std::string data;
        const char* from;
        const char* to;
        std::string expected;
    } rows[] = {
        {"to UTF-8 without mark", "\xD6\xD0\xCE\xC4", "GB18030", "UTF-8",
         "\xE4\xB8\xAD\xE6\x96\x87"},  // 中文
        {"to UTF-16LE without mark", "\xD6\xD0\xCE\xC4", "GB18030", "UTF-16LE", "\x2D\x4E\x87\x65"},
        {"a mark that is content stays", "\x84\x31\x95\x33", "GB18030", "UTF-8",
         "\xEF\xBB\xBF"},  // U+FEFF
        {"empty data", "", "GB18030", "UTF-8", ""},
        {"zero bytes are data", "a\0b"s, "GB18030", "UTF-16BE", "\0a\0\0\0b"s},
        {"character missing in the target", "\x94\x39\xFC\x36", "GB18030", "BIG5", ""},  // 😀
        {"bytes invalid in the source", "a\xFF", "UTF-8", "GB18030", ""},
        {"unknown charset", "a", "GB18030", "no-such-charset", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ConvertCharset(row.data, row.from, row.to), row.expected) << row.name;
    }
}

TEST(EncodeText, Table) {
    const std::string zhong = "\xD6\xD0\xCE\xC4";  // 中文
    const struct {
        const char* name;
        std::string text;
        TextFormat format;
        std::optional<std::string> expected;  // none: nothing is ever substituted
    } rows[] = {
        {"UTF-8 with its mark",
         zhong,
         {TextEncoding::Utf8, true},
         "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87"},
        {"UTF-8 without", zhong, {TextEncoding::Utf8, false}, "\xE4\xB8\xAD\xE6\x96\x87"},
        {"UTF-16LE with its mark",
         zhong,
         {TextEncoding::Utf16Le, true},
         "\xFF\xFE\x2D\x4E\x87\x65"},
        {"UTF-16BE with its mark",
         zhong,
         {TextEncoding::Utf16Be, true},
         "\xFE\xFF\x4E\x2D\x65\x87"},
        {"Big5 has no mark", zhong, {TextEncoding::Big5, true}, "\xA4\xA4\xA4\xE5"},
        {"Big5-HKSCS has no mark", zhong, {TextEncoding::Big5Hkscs, true}, "\xA4\xA4\xA4\xE5"},
        {"GBK", zhong, {TextEncoding::Gbk, false}, zhong},
        {"raw is written as it is", zhong, {TextEncoding::Gb18030, true}, zhong},
        {"undetected is written as it is", zhong, {TextEncoding::Undetected, true}, zhong},
        {"unknown code is written as it is", zhong, {static_cast<TextEncoding>(99), true}, zhong},
        {"empty text has no mark", "", {TextEncoding::Utf8, true}, ""},
        {"zero bytes are written",
         "a\0b"s,
         {TextEncoding::Utf8, true},
         "\xEF\xBB\xBF"
         "a\0b"s},
        {"emoji has no Big5 form", "a\x94\x39\xFC\x36", {TextEncoding::Big5, false}, std::nullopt},
        {"emoji has no GBK form", "a\x94\x39\xFC\x36", {TextEncoding::Gbk, false}, std::nullopt},
        {"a character the converter drops whole is refused",
         "\x84\x31\xA4\x31",
         {TextEncoding::Big5Hkscs, false},
         std::nullopt},
        {"lone lead byte", "a\x81", {TextEncoding::Utf16Le, true}, std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(EncodeText(row.text, row.format), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace qs
