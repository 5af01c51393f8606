#include "encoding/text_slices.h"

#include <gtest/gtest.h>

#include <random>

#include "support/temp_folder.h"

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
            EXPECT_EQ(WholeCharacterBytes(four ? TextEncoding::Gb18030 : TextEncoding::Big5, s), i)
                << round;
        }
    }
}

// What the detection's own scan tells a reader of a UTF-8 body, read in slices of 7 bytes so
// that a "<" or a mark can sit in any slice; nothing for a body that is not UTF-8.
TEST(TextSliceReader, ScannedUtf8BodyTellsWhatTheDetectionSaw) {
    struct Row {
        const char* name;
        std::string bytes;
        bool utf8;
        std::int64_t start, length;
        bool markup, startsWithMark;
    };
    const std::string mark = "\xEF\xBB\xBF";
    const std::string zhong = "\xE4\xB8\xAD";  // 中
    const Row rows[] = {
        {"unmarked", zhong + zhong + "\n", true, 0, 7, false, false},
        {"unmarked, markup", zhong + "<b>", true, 0, 6, true, false},
        {"unmarked, markup past a zero byte", zhong + std::string(1, '\0') + "<", true, 0, 5, true,
         false},
        {"marked, markup in a later slice", mark + zhong + zhong + zhong + "<", true, 3, 10, true,
         false},
        {"marked, a mark after the mark", mark + mark + zhong, true, 3, 6, false, true},
        {"plain ASCII", "abc<", false, 0, 0, false, false},
        {"GBK", "\xD6\xD0\xCE\xC4", false, 0, 0, false, false},
        {"mark only", mark, false, 0, 0, false, false},
        {"overlong after the mark", mark + "\xC0\x80", false, 0, 0, false, false},
    };
    TempFolder temp;
    for (const Row& row : rows) {
        temp.Write("t.txt", row.bytes);
        TextSliceReader reader(7);
        ASSERT_TRUE(reader.Open(temp.File("t.txt"))) << row.name;
        const auto scanned = reader.ScannedUtf8Body();
        ASSERT_EQ(scanned.has_value(), row.utf8) << row.name;
        if (scanned) {
            EXPECT_EQ(scanned->start, row.start) << row.name;
            EXPECT_EQ(scanned->length, row.length) << row.name;
            EXPECT_EQ(scanned->markup, row.markup) << row.name;
            EXPECT_EQ(scanned->startsWithMark, row.startsWithMark) << row.name;
        }
    }
}

}  // namespace
}  // namespace qs
