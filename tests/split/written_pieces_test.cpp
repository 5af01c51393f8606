#include "split/written_pieces.h"

#include <gtest/gtest.h>

#include <string>

namespace qs {
namespace {

// Listed pieces are found once the first question indexes them, and so are those added after.
TEST(WrittenPiecesTest, HoldsWhatWasAddedBeforeAndAfterTheFirstQuestion) {
    WrittenPieces pieces;
    auto path = [](int k) { return "/out/s_" + std::to_string(k) + ".txt"; };
    for (int k = 1; k <= 1000; ++k) {
        pieces.Add(path(k));
    }
    EXPECT_FALSE(pieces.Holds(path(0)));
    for (int k = 1001; k <= 3000; ++k) {
        pieces.Add(path(k));
        pieces.Add(path(k));
    }
    for (int k = 1; k <= 3000; ++k) {
        ASSERT_TRUE(pieces.Holds(path(k))) << k;
        ASSERT_FALSE(pieces.Holds(path(-k))) << k;
    }
}

}  // namespace
}  // namespace qs
