#include "encoding/utf8_block_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "encoding/text_decoder.h"

namespace qs {
namespace {

// The byte-by-byte judgement: how long the prefix of whole acceptable sequences is.
std::size_t OneByOne(const std::string& s, bool strict, bool& sawNonAscii) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t i = 0;
    sawNonAscii = false;
    while (i < s.size()) {
        const unsigned b = p[i];
        const std::size_t length = b < 0x80   ? 1
                                   : b < 0xC0 ? 0
                                   : b < 0xE0 ? 2
                                   : b < 0xF0 ? 3
                                   : b < 0xF5 ? 4
                                              : 0;
        if (length == 0 || i + length > s.size()) {
            break;
        }
        bool whole = true;
        for (std::size_t k = 1; k < length; ++k) {
            whole = whole && (p[i + k] & 0xC0) == 0x80;
        }
        const unsigned next = length > 1 ? p[i + 1] : 0;
        const bool exact = (length != 2 || b >= 0xC2) && !(b == 0xE0 && next < 0xA0) &&
                           !(b == 0xED && next > 0x9F) && !(b == 0xF0 && next < 0x90) &&
                           !(b == 0xF4 && next > 0x8F);
        if (!whole || (strict && !exact)) {
            break;
        }
        sawNonAscii = sawNonAscii || length > 1;
        i += length;
    }
    return i;
}

// Chinese-like text (mostly three-byte characters, line breaks) with now and then a piece
// that is a fault or an edge: overlong forms, surrogates, code points past U+10FFFF, stray
// or missing continuation bytes, bytes that never occur.
std::string MakeBytes(std::mt19937& rng) {
    static const char* const kPieces[] = {
        "\xE4\xB8\xAD", "\xE6\x96\x87", "\r\n", "a", "\xC3\xA9", "\xF0\x9F\x98\x80", "\xEF\xBF\xBF",
        "\xED\x9F\xBF", "\xF4\x8F\xBF\xBF", "\xE0\xA0\x80", "\xF0\x90\x80\x80",
        // faults
        "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
        "\xF4\x90\x80\x80", "\x80", "\xBF", "\xF5\x80\x80\x80", "\xFF", "\xE4\xB8", "\xE4" "a",
        "\xF0\x9F\x98"};
    std::uniform_int_distribution<int> length(0, 400), roll(0, 999), piece(0, 23);
    std::string s;
    for (int target = length(rng); static_cast<int>(s.size()) < target;) {
        const int r = roll(rng);
        s += kPieces[r < 700 ? r % 2 : r < 990 ? 2 + r % 9 : piece(rng)];
    }
    return s;
}

TEST(Utf8BlockPrefix, AgreesWithTheByteByByteJudgement) {
    std::mt19937 rng(26);
    std::uniform_int_distribution<std::size_t> cut(1, 130);
    for (int round = 0; round < 20000; ++round) {
        const std::string s = MakeBytes(rng);
        for (const bool strict : {false, true}) {
            bool wide = false, slow = false;
            const std::size_t k = Utf8BlockPrefix(reinterpret_cast<const unsigned char*>(s.data()),
                                                  s.size(), strict, wide);
            const std::size_t all = OneByOne(s, strict, slow);
            // What it accepts is accepted one by one too, and it stops close to the end.
            ASSERT_LE(k, all) << round;
            ASSERT_EQ(OneByOne(s.substr(0, k), strict, slow), k) << round;
            ASSERT_EQ(wide, slow) << round;
#if defined(__SSE2__)
            ASSERT_LT(all - k, 67u) << round;
#endif
        }
        // The UTF-8 test fed in slices gives the byte-by-byte verdicts.
        Utf8Scan scan;
        for (std::size_t at = 0; at < s.size();) {
            const std::size_t step = cut(rng);
            scan.Feed(std::string_view(s).substr(at, step));
            at += step;
        }
        bool nonAscii = false;
        const bool plausible = OneByOne(s, false, nonAscii) == s.size() && nonAscii;
        ASSERT_EQ(scan.Plausible(), plausible) << round;
        ASSERT_EQ(scan.Exact(), OneByOne(s, true, nonAscii) == s.size()) << round;
    }
}

}  // namespace
}  // namespace qs
