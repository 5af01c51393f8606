#pragma once

#include <string_view>
#include <vector>

#include "encoding/text_slices.h"
#include "split/chapter_split.h"
#include "split/split_state.h"
#include "text/text.h"

namespace qs {

// Writes the book cut at its chapters (pieces of one chapter each, the text before the
// first chapter first when there is one) as <base name>.epub into the output folder: the
// title page first, then one document per chapter, the headings of the contents in its
// navigation, each volume's chapters under it; in UTF-8 and 繁简-converted as the output
// options ask. Titled after the text's first line when it comes before the first chapter,
// else after the file. With perVolume, one book for each volume, "<base name> <volume>.epub"
// (the text before the first volume going with it). Nothing is written when the job is
// stopped meanwhile; a text that cannot be converted is reported as such. The text is read
// once more from its start by reader, each document made as the book is written; false when
// it could not be read again as the first pass read it.
bool WriteChapterBooks(SplitContext& ctx, const Text& source, TextSliceReader& reader,
                       const std::vector<ChapterPiece>& pieces, const BookContents& book,
                       bool perVolume);

}  // namespace qs
