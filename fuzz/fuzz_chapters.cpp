// Chapter cutting on arbitrary texts: the pieces cover the text exactly and in order, and
// the heading tests never read outside the line they are given.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "job/chapter_heading.h"
#include "split/chapter_split.h"

using namespace qs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::int32_t perPiece = data[0] % 4 + 1;
    const Text text(reinterpret_cast<const char*>(data + 1), size - 1);
    ChapterStats stats;
    std::size_t at = 0;
    for (const ChapterPiece& piece : FindChapterPieces(text, perPiece, &stats)) {
        QS_FUZZ_CHECK(piece.start == at && piece.end > piece.start);
        at = piece.end;
        QS_FUZZ_CHECK(HeadingLabel(piece.heading).size() <= piece.heading.size());
    }
    QS_FUZZ_CHECK(at == text.size());
    QS_FUZZ_CHECK(stats.longestChapter <= text.size());
    return 0;
}
