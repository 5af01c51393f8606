#include "encoding/utf8_block_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/text_decoder.h"

namespace qs {
namespace {

// The byte-by-byte judgement: how long the prefix of whole acceptable sequences is.
std::size_t OneByOne(std::string_view s, bool strict, bool& sawNonAscii) {
    std::size_t i = 0, length = 0;
    sawNonAscii = false;
    for (; i < s.size(); i += length) {
        const auto b = static_cast<unsigned char>(s[i]);
        const unsigned next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
        length = b < 0x80 ? 1 : b < 0xC0 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 0;
        bool whole = length > 0 && i + length <= s.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            whole = (s[i + k] & 0xC0) == 0x80;
        }
        const bool inexact = (length == 2 && b < 0xC2) || (b == 0xE0 && next < 0xA0) ||
                             (b == 0xED && next > 0x9F) || (b == 0xF0 && next < 0x90) ||
                             (b == 0xF4 && next > 0x8F);
        if (!whole || (strict && inexact)) {
            break;
        }
        sawNonAscii = sawNonAscii || length > 1;
    }
    return i;
}

TEST(Utf8BlockPrefix, AgreesWithTheByteByByteJudgement) {
    // Chinese-like text with now and then an edge or a fault: overlong forms, surrogates,
    // code points past U+10FFFF, stray or missing continuation bytes, bytes that never occur.
    std::vector<std::string> pieces;
    std::istringstream list(
        "\xE4\xB8\xAD|\xE6\x96\x87|\r\n|a|\xC3\xA9|\xF0\x9F\x98\x80|\xEF\xBF\xBF|\xED\x9F\xBF|"
        "\xF4\x8F\xBF\xBF|\xE0\xA0\x80|\xF0\x90\x80\x80|\xC0\x80|\xC1\xBF|\xE0\x9F\xBF|"
        "\xED\xA0\x80|\xF0\x8F\xBF\xBF|\xF4\x90\x80\x80|\x80|\xBF|\xF5\x80\x80\x80|\xFF|"
        "\xE4\xB8|\xE4\x41|\xF0\x9F\x98");
    for (std::string piece; std::getline(list, piece, '|');) {
        pieces.push_back(piece);
    }
    std::mt19937 rng(26);
    std::uniform_int_distribution<int> length(0, 400), roll(0, 999), piece(0, 23);
    std::uniform_int_distribution<std::size_t> cut(1, 130);
    for (int round = 0; round < 20000; ++round) {
        std::string s;
        for (int target = length(rng); static_cast<int>(s.size()) < target;) {
            const int r = roll(rng);
            s += pieces[r < 700 ? r % 2 : r < 990 ? 2 + r % 9 : piece(rng)];
        }
        bool slow = false;
        for (const int variant : {0, 1, 2, 3}) {
            // The scan this processor takes and the one every processor has.
            const bool strict = variant % 2 == 1;
            const auto* bytes = reinterpret_cast<const unsigned char*>(s.data());
            bool wide = false;
            const std::size_t k = variant < 2
                                      ? Utf8BlockPrefix(bytes, s.size(), strict, wide)
                                      : Utf8BlockPrefixBaseline(bytes, s.size(), strict, wide);
            const std::size_t all = OneByOne(s, strict, slow);
            // What it accepts is accepted one by one too, and it stops close to the end.
            ASSERT_EQ(OneByOne(s.substr(0, k), strict, slow), k) << round;
            ASSERT_EQ(wide, slow) << round;
            ASSERT_LE(k, all) << round;
#if defined(__SSE2__)
            ASSERT_LT(all - k, 67u) << round;
#endif
        }
        // The UTF-8 test fed in slices gives the byte-by-byte verdicts.
        Utf8Scan scan;
        for (std::size_t at = 0, step = 0; at < s.size(); at += step) {
            step = cut(rng);
            scan.Feed(std::string_view(s).substr(at, step));
        }
        ASSERT_EQ(scan.Plausible(), OneByOne(s, false, slow) == s.size() && slow) << round;
        ASSERT_EQ(scan.Exact(), OneByOne(s, true, slow) == s.size()) << round;
    }
}

}  // namespace
}  // namespace qs
