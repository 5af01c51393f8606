#include "split/kept_lines.h"

#include "encoding/charset_converter.h"
#include "platform/random.h"
#include "text/byte_search.h"

namespace qs {

KeptLineCutter::KeptLineCutter(SplitContext& ctx, const Text& path, const TextFormat& format)
    : m_ctx(ctx), m_piece(ctx, path) {
    if (format.mark) {
        m_buf = Bytes(ByteOrderMark(format.encoding));
    }
    if (format.encoding == TextEncoding::Utf16Le || format.encoding == TextEncoding::Utf16Be) {
        m_width = 2;
        m_low = format.encoding == TextEncoding::Utf16Le ? 0 : 1;
        m_bodyStart = static_cast<std::int64_t>(m_buf.size());
    }
    m_scan = m_bodyStart;
}

std::int64_t KeptLineCutter::NextBreak(std::int64_t end) {
    const std::string_view buf(m_buf);
    while (m_scan < end) {
        const std::string_view rest = buf.substr(Index(m_scan));
        const std::size_t i = FindAnyOf(rest, '\n', '\r', '\n');
        if (i == rest.size()) {
            // A unit cut by the end of the buffer waits for its rest.
            m_scan = m_width == 1 ? end : m_scan + (end - m_scan) / 2 * 2;
            return -1;
        }
        const std::int64_t at = m_scan + static_cast<std::int64_t>(i);
        const std::int64_t unit = at - (at - m_bodyStart) % m_width;
        m_scan = unit;
        if (m_width == 1 || unit + 2 > end) {
            return unit;  // an incomplete unit: the caller reads on
        }
        if (at - unit == m_low && buf[Index(unit + 1 - m_low)] == '\0') {
            return unit;
        }
        m_scan = unit + 2;
    }
    return -1;
}

bool KeptLineCutter::UnitIs(std::int64_t unit, char c) const {
    if (m_width == 1) {
        return m_buf[Index(unit)] == c;
    }
    return m_buf[Index(unit + m_low)] == c && m_buf[Index(unit + 1 - m_low)] == '\0';
}

void KeptLineCutter::StartPiece() {
    const auto* lines = std::get_if<SplitByLinesParams>(&m_ctx.Options().mode);
    m_target = lines ? RandomInRange(lines->min, lines->max) : 1;
    // Bounds edited to 0 while the job runs still take at least one line per piece.
    if (m_target < 1) {
        m_target = 1;
    }
    m_lines = 0;
    m_begun = true;
    ++m_ctx.state.pieceNumber;
}

void KeptLineCutter::PassOn(std::int64_t end) {
    if (end <= m_passed) {
        return;
    }
    if (!m_begun) {
        StartPiece();
    }
    m_piece.Append(
        std::string_view(m_buf).substr(Index(m_passed), static_cast<std::size_t>(end - m_passed)));
    m_passed = end;
}

void KeptLineCutter::EndLine(std::int64_t lineEnd) {
    if (!m_begun) {
        StartPiece();
    }
    m_scan = lineEnd;
    m_lineEnd = lineEnd;
    if (++m_lines == m_target) {
        Emit(lineEnd);
    }
}

void KeptLineCutter::Emit(std::int64_t end) {
    PassOn(end);
    m_piece.Finish();
    m_begun = false;
    m_lines = 0;
    m_lineEnd = -1;
    m_ctx.events.Pump();
}

bool KeptLineCutter::Feed(std::string_view slice) {
    // What was scanned goes to the piece (which holds it or writes it) before more comes.
    PassOn(m_scan);
    m_buf.erase(0, Index(m_passed));
    m_bufStart = m_passed;
    m_buf.append(slice);
    m_atEnd = slice.empty();
    for (;;) {
        const std::int64_t end = m_bufStart + static_cast<std::int64_t>(m_buf.size());
        const std::int64_t unit = NextBreak(end);
        if (unit >= 0 && unit + m_width <= end) {
            std::int64_t lineEnd = unit + m_width;
            bool whole = true;
            if (UnitIs(unit, '\r')) {
                if (lineEnd + m_width <= end) {
                    lineEnd += UnitIs(lineEnd, '\n') ? m_width : 0;
                } else {
                    whole = m_atEnd;  // its LF may come next
                }
            }
            if (whole) {
                EndLine(lineEnd);
                if (!m_begun && m_ctx.Stopped()) {
                    return false;
                }
                continue;
            }
        }
        if (m_atEnd && (m_begun || m_passed < end)) {
            // A last line without a break, an odd last byte, or a mark alone.
            Emit(end);
        }
        m_ctx.events.Pump();
        return !m_ctx.Stopped();
    }
}

void KeptLineCutter::Stop() {
    if (m_begun && m_lineEnd >= m_passed) {
        Emit(m_lineEnd);
    }
    // Otherwise the piece holds part of a line: it is never finished, and its file goes.
}

}  // namespace qs
