#include "encoding/output_text.h"

#include "encoding/charset_converter.h"

#include <gtest/gtest.h>

#include "platform/services.h"

namespace qs {
namespace {

TEST(OutputTextTest, EveryTargetEncodingExactlyOrNotAtAll) {
    const Text text = U("中文 abc 風");
    const Text emoji = U("笑😀");
    struct Row {
        const char* name;
        const char* mark;  // the bytes the output must begin with
        bool holdsEmoji;
        const char* charset;
    } rows[] = {
        {"utf-8", "", true, "UTF-8"},
        {"utf-8-mark", "\xEF\xBB\xBF", true, "UTF-8"},
        {"gb18030", "", true, "GB18030"},
        {"gbk", "", false, "GBK"},
        {"big5", "", false, "BIG5"},
        {"big5-hkscs", "", false, "BIG5-HKSCS"},
        {"utf-16le", "\xFF\xFE", true, "UTF-16LE"},
        {"utf-16be", "\xFE\xFF", true, "UTF-16BE"},
    };
    for (const Row& row : rows) {
        const std::optional<TextFormat> encoding = ParseOutputEncoding(row.name);
        ASSERT_TRUE(encoding) << row.name;
        const std::optional<Bytes> bytes = EncodeText(text, *encoding);
        ASSERT_TRUE(bytes) << row.name;
        const std::string_view mark(row.mark);
        ASSERT_EQ(bytes->substr(0, mark.size()), mark) << row.name;
        EXPECT_EQ(Conv().Convert(bytes->substr(mark.size()), row.charset, "GB18030"), text)
            << row.name;
        EXPECT_EQ(EncodeText(emoji, *encoding).has_value(), row.holdsEmoji) << row.name;
    }
    EXPECT_FALSE(ParseOutputEncoding("latin1"));
    EXPECT_EQ(EncodeText("", *ParseOutputEncoding("utf-16le")), Bytes());
}

TEST(OutputTextTest, ChineseConversionBothWays) {
    if (!Zh().Available()) {
        GTEST_SKIP() << "built without OpenCC";
    }
    EXPECT_EQ(ConvertChinese(U("汉字简体，头发"), ZhConversion::S2T), U("漢字簡體，頭髮"));
    EXPECT_EQ(ConvertChinese(U("漢字簡體，頭髮"), ZhConversion::T2S), U("汉字简体，头发"));
    const Text withZero = U("简体") + std::string(1, '\0') + U("简体");
    EXPECT_EQ(ConvertChinese(withZero, ZhConversion::S2T),
              U("簡體") + std::string(1, '\0') + U("簡體"));
}

TEST(OutputTextTest, NothingIsWrittenWhenConversionIsUnavailable) {
    struct Missing : ChineseConverter {
        bool Available() const override { return false; }
        std::optional<std::string> ConvertUtf8(std::string_view, ZhConversion) override {
            return std::nullopt;
        }
    } missing;
    ZhOverride use(missing);
    OutputRequest request;
    request.zh = ZhConversion::T2S;
    EXPECT_FALSE(EncodeOutputText(U("漢字"), {TextEncoding::Utf8, false}, request));
    // Without a request the source's encoding and mark come back.
    EXPECT_EQ(EncodeOutputText(U("漢字"), {TextEncoding::Utf8, true}, OutputRequest()),
              "\xEF\xBB\xBF" + *Conv().Convert(U("漢字"), "GB18030", "UTF-8"));
}

}  // namespace
}  // namespace qs
