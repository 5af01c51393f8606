#include "text/crlf_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace qs {
namespace {

// Random runs of short lines and long ones (whole blocks without a break too), LF, CR LF and
// now and then a lone CR, cut anywhere: what is taken ends with an LF, holds no lone CR and
// no more lines than asked, and is written as its lines joined by CR LF; a first block of
// such lines is never left to the slow path; both ways of expanding agree.
TEST(TakeLinesAsCrLf, WritesWholeLinesJoinedByCrLf) {
    static const std::string kParts[] = {
        "a", "\xE4\xB8\xAD", "\n", "\r\n", "\n\n\n", std::string(39, 'x'), std::string(150, 'y'),
        "\r"};
    std::mt19937 gen(11);
    for (int round = 0; round < 20000; ++round) {
        std::string s;
        const bool loneCrs = round % 3 == 0;
        for (int k = static_cast<int>(gen() % 120); k > 0; --k) {
            s += kParts[gen() % (std::size(kParts) - (loneCrs ? 0 : 1))];
        }
        const std::int64_t most = 1 + static_cast<std::int64_t>(gen() % (round % 2 ? 8 : 400));
        std::string out(2 * s.size() + kCrLfSlack, '?');
        const CrLfLines got = TakeLinesAsCrLf(s, most, out.data());
        std::string baseline(out.size(), '?');
        const CrLfLines base = TakeLinesAsCrLfBaseline(s, most, baseline.data());
        ASSERT_EQ(got.consumed, base.consumed) << round;
        ASSERT_EQ(got.lines, base.lines) << round;
        ASSERT_EQ(out.substr(0, got.written), baseline.substr(0, base.written)) << round;

        const std::string taken = s.substr(0, got.consumed);
        std::string joined;
        std::int64_t lines = 0;
        for (std::size_t i = 0; i < taken.size(); ++i) {
            if (taken[i] == '\n') {
                ++lines;
                joined += "\r\n";
            } else if (taken[i] != '\r') {
                joined += taken[i];
            } else {
                ASSERT_EQ(taken[i + 1], '\n') << "a lone CR taken, round " << round;
            }
        }
        ASSERT_TRUE(taken.empty() || taken.back() == '\n') << round;
        ASSERT_EQ(got.lines, lines) << round;
        ASSERT_LE(got.lines, most) << round;
        ASSERT_EQ(out.substr(0, got.written), joined.substr(0, joined.size() - (lines ? 2 : 0)))
            << round;
        const std::string first = s.substr(0, 65);
        if (s.size() > 64 && first.find('\n') < 64 && first.find('\r') == std::string::npos) {
            ASSERT_GT(got.lines, 0) << round;
        }
    }
}

}  // namespace
}  // namespace qs
