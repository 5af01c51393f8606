#include "encoding/text_slices.h"

#include <gtest/gtest.h>

#include <random>

namespace qs {
namespace {

// The lead bytes, digits and other bytes of GB18030 and Big5, mixed densely: wherever the
// boundary is found, it is the end of the walk over the characters from the first byte.
TEST(WholeCharacterBytes, EndsWhereTheWalkFromTheStartEnds) {
    const std::string alphabet = "\x81\xA1\xFE\x80\xFF\x30\x39\x40\x7E\x0A";
    std::mt19937 rng(7);
    for (int round = 0; round < 4000; ++round) {
        std::string s(rng() % 5000, '\0');
        for (char& c : s) {
            c = alphabet[rng() % (round % 2 == 0 ? alphabet.size() : 3)];
        }
        for (const bool four : {true, false}) {
            std::size_t i = 0;
            for (std::size_t len = 1; i < s.size(); i += len) {
                const unsigned b = static_cast<unsigned char>(s[i]);
                const unsigned next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
                len = b < 0x81 || b > 0xFE ? 1 : (four && next >= 0x30 && next <= 0x39 ? 4 : 2);
                if (i + len > s.size()) {
                    break;
                }
            }
            EXPECT_EQ(WholeCharacterBytes(four ? TextEncoding::Raw : TextEncoding::Big5, s), i)
                << round;
        }
    }
}

}  // namespace
}  // namespace qs
