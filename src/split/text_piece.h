#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/file_system.h"
#include "split/split_settings.h"
#include "text/text.h"

namespace qs {

// A piece of a text mode, made from slices of the decoded text. Up to the context's hold
// size it is held and written whole (and may be named after its text); a larger numbered
// piece goes to its file as it grows, converted into the output encoding slice by slice,
// so that its size costs no memory. Slices must end with whole characters.
class TextPiece {
public:
    // The piece number (state.pieceNumber) must be set before the first Append.
    TextPiece(SplitContext& ctx, const Text& source);
    ~TextPiece();
    TextPiece(const TextPiece&) = delete;
    TextPiece& operator=(const TextPiece&) = delete;

    void Append(std::string_view text);
    // Names, writes and counts the piece, and makes this an empty one.
    void Finish();

private:
    void Spill();

    SplitContext& m_ctx;
    const Text& m_source;
    Text m_held;
    std::unique_ptr<AtomicWriter> m_out;
    std::int64_t m_written = 0;
    bool m_streaming = false;
    bool m_failed = false;
    bool m_unconverted = false;
};

}  // namespace qs
