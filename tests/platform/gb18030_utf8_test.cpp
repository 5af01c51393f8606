#include "platform/gb18030_utf8.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/services.h"
#include "support/quiet_ui.h"

namespace qs {
namespace {

// ICU converting in one call, strictly: nullopt where it finds a fault.
std::optional<std::string> Icu(const std::string& in, const char* from, const char* to) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* source = ucnv_open(from, &status);
    UConverter* target = ucnv_open(to, &status);
    ucnv_setToUCallBack(source, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(target, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::string out(in.size() * 4 + 16, '\0');
    char* d = out.data();
    const char* s = in.data();
    ucnv_convertEx(target, source, &d, out.data() + out.size(), &s, in.data() + in.size(), nullptr,
                   nullptr, nullptr, nullptr, true, true, &status);
    ucnv_close(source);
    ucnv_close(target);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(d - out.data()));
    return out;
}

// UTF-8 text as Chinese files hold it (three-byte characters, ASCII runs of any length, line
// breaks), now and then a rarer character, one beyond the tables or a fault.
std::vector<std::string> Pieces() {
    std::vector<std::string> pieces;
    std::istringstream list(
        "\xE4\xB8\xAD|\xE6\x96\x87|\xE3\x80\x82|abcdefghijk|\r\n|a|\xC3\xA9|\xEF\xBF\xBF|"
        "\xE2\x82\xAC|\xC2\x80|\xF0\x9F\x98\x80|\xE4\xB8|\xC0\x80|\xED\xA0\x80|"
        "\xE0\x80\x80|\x80|\xFF");
    for (std::string piece; std::getline(list, piece, '|');) {
        pieces.push_back(piece);
    }
    return pieces;
}

TEST(TableConversions, AgreeWithIcuOnGeneratedText) {
    const std::vector<std::string> pieces = Pieces();
    std::mt19937 rng(18030);
    std::uniform_int_distribution<int> length(0, 3000), roll(0, 9999), piece(0, 16);
    for (int round = 0; round < 3000; ++round) {
        std::string utf8;
        for (int target = length(rng); static_cast<int>(utf8.size()) < target;) {
            const int r = roll(rng);
            utf8 += pieces[r < 9000 ? r % 6 : r < 9990 ? 6 + r % 4 : piece(rng)];
        }
        const std::optional<std::string> gb = Icu(utf8, "UTF-8", "GB18030");
        const std::optional<Bytes> table = TableUtf8ToGb18030(utf8);
        // The tables may leave a character to ICU, never give another result.
        if (table) {
            ASSERT_EQ(table, gb) << round;
        }
        if (gb) {
            ASSERT_EQ(TableGb18030ToUtf8(*gb).value_or(utf8), utf8) << round;
            std::string cut = *gb;
            // A lead byte alone, or before a byte that cannot follow it.
            cut.insert(cut.size() / 2, round % 2 ? "\x81" : "\x81\x7F");
            if (auto icu = Icu(cut, "GB18030", "UTF-8"); !icu) {
                ASSERT_FALSE(TableGb18030ToUtf8(cut)) << round;
            }
            for (const std::string& text : {*gb, cut, cut.substr(0, cut.size() / 2 + 1)}) {
                ASSERT_EQ(TableReadsGb18030(text), TableGb18030ToUtf8(text).has_value()) << round;
            }
        }
    }
}

// A conversion never hands the window its events: no click runs in the middle of one.
TEST(TableConversions, LargeConversionsDispatchNoEvents) {
    QuietUi ui;
    ServicesOverride services({.ui = &ui});
    std::string utf8;
    while (utf8.size() < (9u << 20)) {
        utf8 += "\xE4\xB8\xAD\xE6\x96\x87z\r\n";
    }
    const std::optional<Bytes> gb = TableUtf8ToGb18030(utf8);
    EXPECT_EQ(ui.pumps, 0);
    ASSERT_TRUE(gb);
    EXPECT_TRUE(*gb == Icu(utf8, "UTF-8", "GB18030"));
}

}  // namespace
}  // namespace qs
