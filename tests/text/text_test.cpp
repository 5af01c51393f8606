#include <gtest/gtest.h>

#include "platform/services.h"
#include "text/text.h"

namespace qs {
namespace {

TEST(Text, LiteralsBecomeGb18030) {
    EXPECT_EQ(U("分割"), Text("\xB7\xD6\xB8\xEE"));  // 分割
    EXPECT_EQ(U("abc"), Text("abc"));
    // U+1F600 is a four-byte GB18030 sequence.
    EXPECT_EQ(U("\xF0\x9F\x98\x80"), Text("\x94\x39\xFC\x36", 4));
}

TEST(Text, ZeroBytesSurviveRoundTrips) {
    const std::string utf8("a\0b\xE4\xB8\xAD", 6);
    Text internal;
    ASSERT_TRUE(Utf8ToInternal(utf8, internal));
    EXPECT_EQ(internal.size(), 5u);
    std::string back;
    ASSERT_TRUE(InternalToUtf8(internal, back));
    EXPECT_EQ(back, utf8);
}

TEST(Charsets, StrictConversionFailsInsteadOfSubstituting) {
    // A lone continuation byte is not UTF-8.
    EXPECT_FALSE(Conv().Convert("a\x80", "UTF-8", "GB18030").has_value());
    // 中 has no Big5 form? It has; the Hangul syllable 가 has none.
    EXPECT_FALSE(Conv().Convert("\xEA\xB0\x80", "UTF-8", "BIG5").has_value());
    auto ok = Conv().Convert(std::string("\xFF\xFE\x41\x00", 4).substr(2), "UTF-16LE", "GB18030");
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(*ok, "A");
}

}  // namespace
}  // namespace qs
