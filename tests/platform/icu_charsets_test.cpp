#include <gtest/gtest.h>

#include "app/scripted_ui.h"
#include "platform/icu_charsets.h"
#include "platform/services.h"

namespace qs {
namespace {

// Large texts are converted in slices with the window kept alive between them; a character
// cut by a slice edge must come out whole, and a fault after the first slice still fails.
TEST(IcuCharsetsTest, LargeTextsConvertExactlyAcrossSlices) {
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
    EXPECT_GE(ui.PumpCount(), 2);
    const auto back = charsets.Convert(*internal, "GB18030", "UTF-8");
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(*back == utf8);

    std::string broken = utf8;
    broken[(5u << 20) + 1] = '\xFF';
    EXPECT_FALSE(charsets.Convert(broken, "UTF-8", "GB18030").has_value());
}

}  // namespace
}  // namespace qs
