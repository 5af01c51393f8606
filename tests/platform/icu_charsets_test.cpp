#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include "platform/icu_charsets.h"
#include "platform/services.h"
#include "support/scripted_ui.h"

namespace qs {
namespace {

// Large texts are converted in slices with the window kept alive between them; a character
// cut by a slice edge must come out whole, and a fault after the first slice still fails.
TEST(IcuCharsetsTest, LargeTextsConvertExactlyWithoutDispatchingEvents) {
    ScriptedUi ui;
    ServicesOverride services(Platform{nullptr, nullptr, nullptr, &ui});
    IcuCharsets charsets;
    std::string utf8;
    while (utf8.size() < (9u << 20)) {
        utf8 += "\xE4\xB8\xAD\xF0\x9F\x98\x80z\r\n";  // 中😀z CR LF
    }
    const auto internal = charsets.Convert(utf8, "UTF-8", "GB18030");
    ASSERT_TRUE(internal.has_value());
    EXPECT_EQ(internal->substr(0, 9), "\xD6\xD0\x94\x39\xFC\x36z\r\n");
    EXPECT_EQ(ui.PumpCount(), 0);
    const auto back = charsets.Convert(*internal, "GB18030", "UTF-8");
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(*back == utf8);

    std::string broken = utf8;
    broken[(5u << 20) + 1] = '\xFF';
    EXPECT_FALSE(charsets.Convert(broken, "UTF-8", "GB18030").has_value());
}

// Every character of the basic plane, as UTF-8, repeated past the size at which the
// table-driven path takes over; the reference is ICU converting the same text in one call.
std::string BasicPlaneUtf8() {
    std::string utf8;
    for (std::uint32_t c = 1; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::string IcuReference(const std::string& in, const char* from, const char* to) {
    std::string out(in.size() * 4 + 16, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()),
                                   in.data(), static_cast<int32_t>(in.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

TEST(IcuCharsetsTest, BasicPlaneMatchesIcuBothWays) {
    IcuCharsets charsets;
    const std::string utf8 = BasicPlaneUtf8() + BasicPlaneUtf8();
    const std::string expected = IcuReference(utf8, "UTF-8", "GB18030");
    const auto internal = charsets.Convert(utf8, "UTF-8", "GB18030");
    ASSERT_TRUE(internal.has_value());
    EXPECT_TRUE(*internal == expected);
    const auto back = charsets.Convert(*internal, "GB18030", "UTF-8");
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(*back == utf8);
}

TEST(IcuCharsetsTest, BasicPlaneMatchesIcuForUtf16) {
    IcuCharsets charsets;
    const std::string utf8 = BasicPlaneUtf8() + std::string("\0z", 2) + BasicPlaneUtf8();
    const std::string utf16 = IcuReference(utf8, "UTF-8", "UTF-16LE");
    const std::string expected = IcuReference(utf8, "UTF-8", "GB18030");
    const auto internal = charsets.Convert(utf16, "UTF-16LE", "GB18030");
    ASSERT_TRUE(internal.has_value());
    EXPECT_TRUE(*internal == expected);
    const auto back = charsets.Convert(*internal, "GB18030", "UTF-16LE");
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(*back == utf16);
}

TEST(IcuCharsetsTest, MalformedLargeInputStillFails) {
    IcuCharsets charsets;
    const std::string body(200000, 'a');
    const struct {
        const char* name;
        std::string bytes;
        const char* from;
        const char* to;
    } rows[] = {
        {"overlong NUL", "\xC0\x80", "UTF-8", "GB18030"},
        {"surrogate", "\xED\xA0\x80", "UTF-8", "GB18030"},
        {"cut at the end", "\xE4\xB8", "UTF-8", "GB18030"},
        {"lone byte 80", "\x80", "GB18030", "UTF-8"},
        {"lone byte FF", "\xFF", "GB18030", "UTF-8"},
        {"lead without trail", "\xD6", "GB18030", "UTF-8"},
        {"bad four-byte", "\x81\x30\x20\x30", "GB18030", "UTF-8"},
        {"lone byte 80 to UTF-16", "\x80", "GB18030", "UTF-16LE"},
        {"odd UTF-16 length", "a", "UTF-16LE", "GB18030"},
        {"lone low surrogate", std::string("\x00\xDC", 2), "UTF-16LE", "GB18030"},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(charsets.Convert(body + row.bytes, row.from, row.to).has_value()) << row.name;
    }
    // Outside the tables yet valid: a character beyond the basic plane (U+1F600, 😀).
    const auto emoji = charsets.Convert(body + "\x94\x39\xFC\x36", "GB18030", "UTF-8");
    ASSERT_TRUE(emoji.has_value());
    EXPECT_EQ(emoji->substr(body.size()), "\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace qs
