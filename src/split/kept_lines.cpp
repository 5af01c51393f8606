#include "split/kept_lines.h"

#include <cstdint>
#include <memory>
#include <string_view>

#include "encoding/charset_converter.h"
#include "platform/random.h"
#include "split/piece_writer.h"
#include "text/byte_search.h"

namespace qs {
namespace {

// Where a source's line breaks are in its bytes. UTF-16 has units of two bytes from the end
// of its mark, of which the byte at low holds the CR or LF and the other is zero; every
// other encoding the program reads has no CR or LF byte inside a character.
struct Units {
    std::int64_t width = 1;
    std::int64_t low = 0;
    std::int64_t bodyStart = 0;
};

Units UnitsOf(const TextFormat& format) {
    Units units;
    if (format.encoding == TextEncoding::Utf16Le || format.encoding == TextEncoding::Utf16Be) {
        units.width = 2;
        units.low = format.encoding == TextEncoding::Utf16Le ? 0 : 1;
        units.bodyStart =
            format.mark ? static_cast<std::int64_t>(ByteOrderMark(format.encoding).size()) : 0;
    }
    return units;
}

class KeptLines {
public:
    KeptLines(SplitContext& ctx, const Text& path, ReadHandle& in, const Units& units)
        : m_ctx(ctx), m_path(path), m_in(in), m_units(units), m_scan(units.bodyStart) {}

    // False on a read failure.
    bool Run() {
        ReseedRandom();
        m_ctx.state.pieceNumber = 0;
        for (;;) {
            const std::int64_t end = m_bufStart + static_cast<std::int64_t>(m_buf.size());
            std::int64_t unit = NextBreak(end);
            if (unit >= 0 && unit + m_units.width <= end) {
                std::int64_t lineEnd = unit + m_units.width;
                if (UnitIs(unit, '\r')) {
                    if (lineEnd + m_units.width <= end) {
                        lineEnd += UnitIs(lineEnd, '\n') ? m_units.width : 0;
                    } else if (!m_atEnd) {
                        unit = -1;  // its LF may come next
                    }
                }
                if (unit >= 0) {
                    if (!EndLine(lineEnd)) {
                        return false;
                    }
                    if (m_lines == 0 && m_ctx.Stopped()) {
                        return true;
                    }
                    continue;
                }
            }
            if (m_atEnd) {
                // A last line without a break, an odd last byte, or a mark alone.
                if (m_pieceStart < end) {
                    if (m_lines == 0) {
                        StartPiece();
                    }
                    return Emit(end);
                }
                return true;
            }
            m_ctx.events.Pump();
            if (m_ctx.Stopped()) {
                return m_lines == 0 || Emit(m_lastLineEnd);
            }
            if (!Refill()) {
                return false;
            }
        }
    }

private:
    // The start of the next unit from m_scan that holds a CR or LF; m_scan goes there. -1
    // when there is none in the buffer (m_scan is then where the search goes on).
    std::int64_t NextBreak(std::int64_t end) {
        const std::string_view buf(m_buf);
        while (m_scan < end) {
            const std::string_view rest = buf.substr(static_cast<std::size_t>(m_scan - m_bufStart));
            const std::size_t i = FindAnyOf(rest, '\n', '\r', '\n');
            if (i == rest.size()) {
                // A unit cut by the end of the buffer waits for its rest.
                m_scan = m_units.width == 1 ? end : m_scan + (end - m_scan) / 2 * 2;
                return -1;
            }
            const std::int64_t at = m_scan + static_cast<std::int64_t>(i);
            if (m_units.width == 1) {
                m_scan = at;
                return at;
            }
            const std::int64_t unit = at - (at - m_units.bodyStart) % 2;
            if (unit + 2 > end) {
                m_scan = unit;
                return unit;  // incomplete: the caller reads on
            }
            if (at - unit == m_units.low && buf[Index(unit + 1 - m_units.low)] == '\0') {
                m_scan = unit;
                return unit;
            }
            m_scan = unit + 2;
        }
        return -1;
    }

    std::size_t Index(std::int64_t offset) const {
        return static_cast<std::size_t>(offset - m_bufStart);
    }
    bool UnitIs(std::int64_t unit, char c) const {
        if (m_units.width == 1) {
            return m_buf[Index(unit)] == c;
        }
        return m_buf[Index(unit + m_units.low)] == c &&
               m_buf[Index(unit + 1 - m_units.low)] == '\0';
    }

    void StartPiece() {
        const auto* lines = std::get_if<SplitByLinesParams>(&m_ctx.Options().mode);
        m_target = lines ? RandomInRange(lines->min, lines->max) : 1;
        // Bounds edited to 0 while the job runs still take at least one line per piece.
        if (m_target < 1) {
            m_target = 1;
        }
        m_lines = 0;
        ++m_ctx.state.pieceNumber;
    }

    bool EndLine(std::int64_t lineEnd) {
        if (m_lines == 0) {
            StartPiece();
        }
        m_scan = lineEnd;
        m_lastLineEnd = lineEnd;
        if (++m_lines < m_target) {
            return true;
        }
        if (!Emit(lineEnd)) {
            return false;
        }
        m_ctx.events.Pump();
        return true;
    }

    // Writes the current piece, which ends at end; false on a read failure.
    bool Emit(std::int64_t end) {
        const std::int64_t start = m_pieceStart;
        m_pieceStart = end;
        m_lines = 0;
        if (start >= m_bufStart) {
            WritePieceBytes(m_ctx, m_path,
                            std::string_view(m_buf).substr(Index(start),
                                                           static_cast<std::size_t>(end - start)));
            return true;
        }
        return CopyPiece(m_ctx, m_path, m_in, start, end - start) != CopyResult::ReadFailed;
    }

    // Drops what is done with and reads the next slice; false on a read failure.
    bool Refill() {
        // A piece small enough is kept in the buffer, to be written from it; a larger one
        // is copied from the source, unless its text is needed for its name.
        std::int64_t keep = m_scan;
        if (m_pieceStart >= m_bufStart &&
            (m_ctx.Options().nameFromText ||
             m_scan - m_pieceStart <= static_cast<std::int64_t>(m_ctx.pieceHoldBytes))) {
            keep = m_pieceStart;
        }
        m_buf.erase(0, Index(keep));
        m_bufStart = keep;
        const std::size_t held = m_buf.size();
        m_buf.resize(held + m_ctx.sliceBytes);
        if (!m_in.Seek(m_bufStart + static_cast<std::int64_t>(held))) {
            return false;
        }
        const std::int64_t got =
            m_in.Read(m_buf.data() + held, static_cast<std::int64_t>(m_ctx.sliceBytes));
        m_buf.resize(held + static_cast<std::size_t>(got > 0 ? got : 0));
        m_atEnd = got == 0;
        return got >= 0;
    }

    SplitContext& m_ctx;
    const Text& m_path;
    ReadHandle& m_in;
    Units m_units;
    Bytes m_buf;  // source bytes from m_bufStart
    std::int64_t m_bufStart = 0;
    std::int64_t m_scan = 0;  // where the search for the next break goes on
    std::int64_t m_pieceStart = 0;
    std::int64_t m_lastLineEnd = 0;
    std::int32_t m_lines = 0;  // in the current piece
    std::int32_t m_target = 1;
    bool m_atEnd = false;
};

}  // namespace

bool CutLinesKeepingBreaks(SplitContext& ctx, const Text& path, TextSliceReader& reader) {
    const Units units = UnitsOf(reader.Format());
    const std::unique_ptr<ReadHandle> in = reader.Release();
    if (!in) {
        return false;
    }
    ctx.state.piecesKeepBytes = true;
    return KeptLines(ctx, path, *in, units).Run();
}

}  // namespace qs
