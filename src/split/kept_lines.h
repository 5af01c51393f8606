#pragma once

#include <cstdint>
#include <string_view>

#include "encoding/text_format.h"
#include "split/split_state.h"
#include "split/text_piece.h"
#include "text/text.h"

namespace qs {

// The line mode that keeps every line's own break: each piece is the source's bytes from
// the start of its first line to the end of its last line's break (LF, CR LF, a CR alone,
// or none at the end of the file), the mark in front of the first piece, so that the pieces
// joined in order are the source. It is fed the source's body bytes (after the mark) as
// they are read; breaks are found in units of two bytes in UTF-16, of one in every other
// encoding, which has no CR or LF byte inside a character.
class KeptLineCutter {
public:
    KeptLineCutter(SplitContext& ctx, const Text& path, const TextFormat& format);

    // Takes the next slice of the body (empty at its end, which writes the last piece);
    // false once a stop was requested.
    bool Feed(std::string_view slice);
    // After a stop: the piece begun is written if it ends with a whole line, else dropped.
    void Stop();
    TextPiece& Piece() { return m_piece; }

private:
    // The start of the next unit from m_scan that holds a CR or LF, or -1.
    std::int64_t NextBreak(std::int64_t end);
    bool UnitIs(std::int64_t unit, char c) const;
    std::size_t Index(std::int64_t offset) const {
        return static_cast<std::size_t>(offset - m_bufStart);
    }
    void StartPiece();
    // Hands the piece its bytes up to end.
    void PassOn(std::int64_t end);
    void EndLine(std::int64_t lineEnd);
    void Emit(std::int64_t end);

    SplitContext& m_ctx;
    TextPiece m_piece;
    std::int64_t m_width = 1;  // of a unit
    std::int64_t m_low = 0;    // UTF-16: the byte of a unit that holds CR or LF
    std::int64_t m_bodyStart = 0;
    Bytes m_buf;  // source bytes from m_bufStart, not yet handed to a piece
    std::int64_t m_bufStart = 0;
    std::int64_t m_scan = 0;      // where the search for the next break goes on
    std::int64_t m_passed = 0;    // the piece holds the bytes up to here
    std::int64_t m_lineEnd = -1;  // of the current piece's last whole line
    bool m_begun = false;         // the current piece has its number and length
    bool m_atEnd = false;
    std::int32_t m_lines = 0;  // in the current piece
    std::int32_t m_target = 1;
};

}  // namespace qs
