#include "encoding/charset_converter.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/services.h"
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
        TextEncoding encoding;
        std::string expected;
    } rows[] = {
        {"UTF-8 gets its mark", zhong, EncodingUtf8, "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87"},
        {"UTF-16LE gets its mark", zhong, EncodingUtf16Le, "\xFF\xFE\x2D\x4E\x87\x65"},
        {"UTF-16BE gets its mark", zhong, EncodingUtf16Be, "\xFE\xFF\x4E\x2D\x65\x87"},
        {"Big5 has no mark", zhong, EncodingBig5, "\xA4\xA4\xA4\xE5"},
        {"Big5-HKSCS has no mark", zhong, EncodingBig5Hkscs, "\xA4\xA4\xA4\xE5"},
        {"raw is written as it is", zhong, EncodingRaw, zhong},
        {"undetected is written as it is", zhong, EncodingUndetected, zhong},
        {"unknown code is written as it is", zhong, 9, zhong},
        {"empty text has no mark", "", EncodingUtf8, ""},
        {"zero bytes are written", "a\0b"s, EncodingUtf8,
         "\xEF\xBB\xBF"
         "a\0b"s},
        // Unrepresentable or undecodable: the internal bytes, whole and without a mark.
        {"emoji has no Big5 form", "a\x94\x39\xFC\x36", EncodingBig5, "a\x94\x39\xFC\x36"},
        {"lone lead byte", "a\x81", EncodingUtf16Le, "a\x81"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(EncodeText(row.text, row.encoding), row.expected) << row.name;
    }
}

TEST(WriteTextFileEncoded, WritesAndReplacesWholeFiles) {
    TempFolder folder;
    folder.Write("out.txt", std::string(100, 'x'));
    Bytes written;
    ASSERT_TRUE(
        WriteTextFileEncoded(folder.File("out.txt"), "\xD6\xD0", EncodingUtf16Be, &written));
    EXPECT_EQ(written, "\xFE\xFF\x4E\x2D");
    EXPECT_EQ(folder.Read("out.txt"), written);
}

TEST(WriteTextFileEncoded, FailedConversionStillWritesTheText) {
    TempFolder folder;
    ASSERT_TRUE(WriteTextFileEncoded(folder.File("emoji.txt"), "\x94\x39\xFC\x36", EncodingBig5));
    EXPECT_EQ(folder.Read("emoji.txt"), "\x94\x39\xFC\x36");
}

TEST(WriteTextFileEncoded, FailedWriteKeepsTheOldFile) {
    TempFolder folder;
    folder.Write("out.txt", "old");
    for (auto op : {FaultyFileSystem::Op::Write, FaultyFileSystem::Op::Commit}) {
        FaultyFileSystem fs(Fs());
        fs.FailNth(op, 1);
        ServicesOverride guard({.fs = &fs});
        EXPECT_FALSE(WriteTextFileEncoded(folder.File("out.txt"), "new", EncodingUtf8));
    }
    EXPECT_EQ(folder.Read("out.txt"), "old");
    EXPECT_EQ(Fs().List(folder.Path())->size(), 1u);  // no temporary file left behind
}

TEST(WriteTextFileEncoded, Failures) {
    TempFolder folder;
    Bytes written;
    EXPECT_FALSE(WriteTextFileEncoded("", "\xD6\xD0", EncodingUtf8, &written));
    EXPECT_EQ(written, "\xEF\xBB\xBF\xE4\xB8\xAD");  // what would have been written

    const Text missing = folder.File("no-such-folder/out.txt");
    EXPECT_FALSE(WriteTextFileEncoded(missing, "abc", EncodingRaw));
    EXPECT_FALSE(Fs().Exists(missing));
}

}  // namespace
}  // namespace qs
