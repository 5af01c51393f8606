// Files in every encoding the program reads: decoding them and writing the text back in
// the detected encoding must give the same bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "platform/services.h"
#include "support/faulty_file_system.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

using namespace std::string_literals;

const std::string kUtf8Mark = "\xEF\xBB\xBF";
// 中文😀𠀀 in UTF-8 and in GB18030.
const std::string kUtf8Sample = "\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80\xF0\xA0\x80\x80";
const std::string kInternalSample = "\xD6\xD0\xCE\xC4\x94\x39\xFC\x36\x95\x32\x82\x36";

struct FileRow {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    std::optional<std::string> text;         // when given, the decoded text must equal it
    std::optional<std::string> writtenBack;  // when it is not the file itself
};

constexpr std::nullopt_t kAny = std::nullopt;   // any decoded text
constexpr std::nullopt_t kSame = std::nullopt;  // written back as the file itself

std::string Page(const std::string& meta, const std::string& body) {
    return "<html><head><title>t</title>" + meta + "</head><body>" + body + "</body></html>\r\n";
}

std::vector<FileRow> Rows() {
    return {
        {"empty file", "", TextEncoding::Gb18030, "", kSame},
        // A mark alone is an empty text, which writes back as nothing.
        {"only a UTF-8 mark", kUtf8Mark, TextEncoding::Utf8, "", ""},
        {"UTF-8 with mark", kUtf8Mark + kUtf8Sample + "\r\n", TextEncoding::Utf8,
         kInternalSample + "\r\n", kSame},
        // Written back without the mark it never had.
        {"UTF-8 without mark", kUtf8Sample, TextEncoding::Utf8, kInternalSample, kSame},
        {"UTF-16LE with mark", "\xFF\xFE\x61\x00\x3D\xD8\x00\xDE\x40\xD8\x00\xDC\x0D\x00\x0A\x00"s,
         TextEncoding::Utf16Le, "a\x94\x39\xFC\x36\x95\x32\x82\x36\r\n", kSame},  // a😀𠀀
        {"UTF-16BE with mark", "\xFE\xFF\x00\x61\xD8\x3D\xDE\x00\x4E\x2D"s, TextEncoding::Utf16Be,
         "a\x94\x39\xFC\x36\xD6\xD0", kSame},  // a😀中
        {"UTF-16 without mark", "\x61\x00\x2D\x4E"s, TextEncoding::Utf16Le, "a\xD6\xD0",
         kSame},  // a中
        {"GB18030 with four-byte characters", kInternalSample + "\r\n", TextEncoding::Gb18030,
         kInternalSample + "\r\n", kSame},
        {"GBK", "\xD6\xD0\xCE\xC4\r\n", TextEncoding::Gb18030, kAny, kSame},
        // 繁體中文: its common characters are Big5's
        {"Big5 without declaration", "\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5", TextEncoding::Big5, kAny,
         kSame},
        {"Big5 page, content attribute",
         Page("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">",
              "\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5"),  // 繁體中文
         TextEncoding::Big5, kAny, kSame},
        {"Big5 page, single quotes", Page("<META charset='Big5'>", "\xC1\x63\xC5\xE9"),
         TextEncoding::Big5, kAny, kSame},
        {"Big5-HKSCS page, double quotes",
         Page("<meta charset=\"Big5-HKSCS\">", "\xAD\xBB\xB4\xE4\x9D\xEE"),  // 香港㗎
         TextEncoding::Big5Hkscs, kAny, kSame},
        // Big5 takes 9D EE as a user-defined character, which comes back as the same bytes.
        {"Big5-HKSCS declared bare, HKSCS bytes",
         Page("<meta charset=Big5-HKSCS>", "\xAD\xBB\xB4\xE4\x9D\xEE"), TextEncoding::Big5, kAny,
         kSame},
        {"Big5 page with bytes outside Big5", Page("<meta charset=big5>", "\xA4\x30\xFF"),
         TextEncoding::Big5, kAny, kSame},
        {"UTF-8 page, double quotes", Page("<meta charset=\"UTF-8\">", kUtf8Sample),
         TextEncoding::Utf8, kAny, kSame},
        {"UTF-8 page with GBK bytes", Page("<meta charset=utf-8>", "\xD6\xD0\xCE\xC4"),
         TextEncoding::Gb18030, kAny, kSame},
        {"zero bytes inside UTF-8", kUtf8Mark + "a\0b"s + kUtf8Sample, TextEncoding::Utf8,
         "a\0b"s + kInternalSample, kSame},
    };
}

TEST(EncodedFiles, DecodeThenWriteBackGivesTheSameBytes) {
    TempFolder folder;
    for (const auto& row : Rows()) {
        folder.Write("in.txt", row.bytes);
        const DecodedText decoded = DecodeTextFile(folder.File("in.txt"));
        EXPECT_TRUE(decoded.opened) << row.name;
        EXPECT_EQ(decoded.format.encoding, row.encoding) << row.name;
        if (row.text) {
            EXPECT_EQ(decoded.text, *row.text) << row.name;
        }
        EXPECT_EQ(EncodeTextKeepingBytes(decoded.text, decoded.format),
                  row.writtenBack.value_or(row.bytes))
            << row.name;
    }
}

TEST(EncodedFiles, ReadOnlyFileIsDecoded) {
    TempFolder folder;
    folder.Write("ro.txt", kUtf8Mark + kUtf8Sample);
    std::filesystem::permissions(folder.Path() + "/ro.txt", std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::replace);
    // Root may write anything, so also refuse every way of opening a file for writing.
    FaultyFileSystem fs(Fs());
    fs.FailNth(FaultyFileSystem::Op::OpenReadWrite, 0);
    fs.FailNth(FaultyFileSystem::Op::Create, 0);
    ServicesOverride guard({.fs = &fs});
    const DecodedText decoded = DecodeTextFile(folder.File("ro.txt"));
    EXPECT_TRUE(decoded.opened);
    EXPECT_EQ(decoded.format.encoding, TextEncoding::Utf8);
    EXPECT_EQ(decoded.text, kInternalSample);
}

TEST(EncodedFiles, MissingSource) {
    TempFolder folder;
    for (const Text& path : {folder.File("missing.txt"), Text()}) {
        const DecodedText decoded = DecodeTextFile(path);
        EXPECT_FALSE(decoded.opened);
        EXPECT_EQ(decoded.format.encoding, TextEncoding::Undetected);
        EXPECT_EQ(decoded.text, "");
    }
}

TEST(EncodedFiles, DecodingLargeFileKeepsEveryByte) {
    TempFolder folder;
    std::string bytes = kUtf8Mark;
    for (int i = 0; i < 200000; ++i) {
        bytes += kUtf8Sample + "\r\n";
    }
    folder.Write("big.txt", bytes);
    const DecodedText decoded = DecodeTextFile(folder.File("big.txt"));
    EXPECT_EQ(decoded.format.encoding, TextEncoding::Utf8);
    EXPECT_EQ(decoded.text.size(), (kInternalSample.size() + 2) * 200000);
    EXPECT_TRUE(EncodeText(decoded.text, decoded.format) == bytes);
}

}  // namespace
}  // namespace qs
