#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "encoding/text_slices.h"
#include "split/split_state.h"
#include "text/text.h"

namespace qs {

// A UTF-8 body that converts exactly is cut in its own bytes: its line breaks, characters
// and separators are where the decoded text has them, so the pieces are the same without
// converting the text twice. Turns the reader to hand out the body's bytes and notes it in
// the state; false (nothing changed) when the source is no such body.
bool CutInOwnUtf8(SplitContext& ctx, TextSliceReader& reader);

// Characters of a UTF-8 stream counted as the character model counts them in the internal
// code page: one per code point, a CR with the LF after it one. Slices may end anywhere.
class Utf8CharCounter {
public:
    // Passes up to wanted characters of text from from on (wanted goes down by those passed);
    // returns where the next character begins once wanted is used up, text.size() otherwise.
    std::size_t Pass(std::string_view text, std::size_t from, std::int64_t& wanted);

private:
    char m_previous = 0;  // the byte before from
};

// How many characters the next piece of the character mode takes: a random count in the
// range as it stands now (the last one read, when the mode changed meanwhile), at least one.
class PieceCharCounts {
public:
    std::int32_t Next(SplitContext& ctx);

private:
    std::int32_t m_min = 1;
    std::int32_t m_max = 1;
};

// The character mode on a body turned by CutInOwnUtf8; false when the source failed to read.
bool SplitUtf8ByCharCount(SplitContext& ctx, const Text& path, TextSliceReader& reader);

}  // namespace qs
