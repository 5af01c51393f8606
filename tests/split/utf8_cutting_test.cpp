#include <gtest/gtest.h>

#include <random>

#include "split/utf8_cutting.h"

namespace qs {
namespace {

// Where the character after the first wanted ones begins, counted one byte at a time: every
// byte but a continuation byte, and an LF right after a CR, begins one.
std::size_t SlowEnd(std::string_view text, std::int64_t wanted) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const bool begins = (b & 0xC0) != 0x80 && !(b == '\n' && i > 0 && text[i - 1] == '\r');
        if (begins && wanted-- == 0) {
            return i;
        }
    }
    return text.size();
}

// Runs without a CR (passed a block or a word at a time) between CRs and LFs, characters of
// every length, in slices that end anywhere: the counter ends where counting byte by byte does.
TEST(Utf8CharCounterTest, PassesAsManyCharactersAsCountedOneByOne) {
    static const char* const kPieces[] = {"\r", "\n", "\r\n", "a", "é", "中", "\U00020000"};
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 gen(seed);
        std::string text;
        while (text.size() < 1000) {
            text += kPieces[gen() % 16 ? 3 + gen() % 4 : gen() % 3];
        }
        const auto wanted = static_cast<std::int64_t>(gen() % 400);
        Utf8CharCounter counter;
        std::int64_t left = wanted;
        std::size_t end = text.size();
        for (std::size_t cut = 0; cut < text.size() && end == text.size();) {
            const std::size_t next = std::min(text.size(), cut + 1 + gen() % 200);
            const std::size_t at =
                counter.Pass(std::string_view(text).substr(cut, next - cut), 0, left);
            end = at < next - cut ? cut + at : text.size();
            cut = next;
        }
        ASSERT_EQ(end, SlowEnd(text, wanted)) << "seed " << seed;
    }
}

}  // namespace
}  // namespace qs
