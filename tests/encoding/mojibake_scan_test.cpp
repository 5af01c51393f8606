#include "encoding/mojibake_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace qs {
namespace {

// Random stretches made of the wrecks' bytes and their near misses: the first wreck found
// is the first one that begins there, looked for place by place, whichever the lengths
// leave to the scan's sixteen-at-a-time reading and to its tail.
TEST(MojibakeScanTest, FindsTheFirstWreckWhereverItStands) {
    const std::string pieces[] = {"\xEF\xBF\xBD",  // U+FFFD in UTF-8
                                  "\xEF\xBF",
                                  "\x84\x31\xA4\x37",                      // U+FFFD in GB18030
                                  "\xE9\x94\x9F\xE6\x96\xA4\xE6\x8B\xB7",  // 锟斤拷 in UTF-8
                                  "\xE6\x96\x87",                          // 文
                                  "\xE4\xB7\x80",                          // below U+4E00
                                  "\xBF\xBD",
                                  "a",
                                  "\xD6\xD0",  // 中 in GBK
                                  "\x84\x31"};
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        std::mt19937 gen(seed);
        std::string bytes;
        for (std::size_t n = gen() % 40; n > 0; --n) {
            bytes += pieces[gen() % std::size(pieces)];
        }
        for (const bool utf8 : {true, false}) {
            const std::string replacement = utf8 ? "\xEF\xBF\xBD" : "\x84\x31\xA4\x37";
            const std::string asGbk =
                utf8 ? "\xE9\x94\x9F\xE6\x96\xA4\xE6\x8B\xB7" : "\xEF\xBF\xBD\xEF\xBF\xBD";
            const auto ideographs = [&](std::size_t i) {
                for (std::size_t k = i; k < i + 12; k += 3) {
                    const auto b = [&](std::size_t j) {
                        return static_cast<unsigned char>(bytes[j]);
                    };
                    if (k + 2 >= bytes.size() || b(k) < 0xE4 || b(k) > 0xE9 || b(k + 1) < 0x80 ||
                        b(k + 1) > 0xBF || b(k + 2) < 0x80 || b(k + 2) > 0xBF ||
                        (b(k) == 0xE4 && b(k + 1) < 0xB8)) {
                        return false;
                    }
                }
                return true;
            };
            std::string_view what;
            std::size_t at = 0;
            for (; at < bytes.size() && what.empty(); ++at) {
                what = bytes.compare(at, replacement.size(), replacement) == 0
                           ? "replacement-characters"
                       : bytes.compare(at, asGbk.size(), asGbk) == 0
                           ? "replacement-characters-as-gbk"
                       : !utf8 && ideographs(at) ? "utf-8-as-gbk"
                                                 : "";
            }
            MojibakeScan scan(utf8);
            const auto found = scan.Feed(bytes);
            ASSERT_EQ(found.has_value(), !what.empty()) << seed << " " << utf8;
            if (found) {
                EXPECT_EQ(found->what, what) << seed;
                EXPECT_EQ(found->at, at - 1) << seed;
            }
        }
    }
}

}  // namespace
}  // namespace qs
