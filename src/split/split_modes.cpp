#include "split/split_modes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "encoding/text_slices.h"
#include "platform/open_files.h"
#include "platform/random.h"
#include "platform/services.h"
#include "split/chapter_split.h"
#include "split/kept_lines.h"
#include "split/piece_writer.h"
#include "split/text_piece.h"
#include "split/utf8_cutting.h"
#include "text/byte_search.h"
#include "text/characters.h"
#include "text/crlf_lines.h"
#include "text/utf8_tail.h"

namespace qs {
namespace {

void Pump(SplitContext& ctx) {
    ctx.events.Pump();
}

// The parameters of the mode M; null when the job is of another mode.
template <class M>
const M* ModeParams(SplitContext& ctx) {
    return std::get_if<M>(&ctx.Options().mode);
}

// Whether the parameters cannot run; the job is then refused, once.
bool Refused(SplitContext& ctx) {
    if (const std::optional<ParamsProblem> problem = Validate(ctx.Request())) {
        ctx.events.Refused(*problem);
        return true;
    }
    return false;
}

void NoteUnreadable(SplitContext& ctx, const Text& path) {
    ctx.state.sourceUnreadable = true;
    ctx.Fail(FailureKind::Unreadable, path, ctx.readFailure.systemError);
}

// Whether a source of length 0 reads all the same (a file of /proc): the byte modes cut by
// the length, which would give empty pieces, or none, as if that were all of it.
bool SizeSaysNothing(SplitContext& ctx, const Text& path, ReadHandle& in, std::int64_t length) {
    char byte = 0;
    if (length != 0 || in.Read(&byte, 1) <= 0) {
        return false;
    }
    ctx.state.sourceUnreadable = true;
    ctx.Fail(FailureKind::SizeUnknown, path);
    return true;
}

// Reads a whole byte range of the source into the buffer.
bool ReadRange(ReadHandle& in, std::int64_t start, std::int64_t length, Bytes& out) {
    out.resize(static_cast<std::size_t>(length));
    if (!in.Seek(start)) {
        return false;
    }
    std::int64_t done = 0;
    while (done < length) {
        const std::int64_t got = in.Read(out.data() + done, length - done);
        if (got <= 0) {
            return false;
        }
        done += got;
    }
    return true;
}

// Writes count pieces of the open source: every piece size bytes, the last one the rest.
// Small pieces are cut from a block read once for many of them; a piece named after its
// text is read whole; every other piece is copied inside the kernel.
void WriteByteRanges(SplitContext& ctx, const Text& path, ReadHandle& in, std::int64_t length,
                     std::int64_t count, std::int64_t size) {
    constexpr std::int64_t kSmallPiece = 64 << 10;
    // Small pieces are cut from blocks that stay in the processor's cache.
    constexpr std::int64_t kBlock = 128 << 10;
    Bytes block;
    std::int64_t blockStart = 0;
    std::int64_t position = 0;
    for (std::int64_t k = 1; k <= count; ++k) {
        const std::int64_t chunk = k == count ? length - position : size;
        ctx.state.pieceNumber = static_cast<std::int32_t>(k);
        if (chunk <= kSmallPiece || ctx.Options().nameFromText) {
            const std::int64_t blockEnd = blockStart + static_cast<std::int64_t>(block.size());
            if (position < blockStart || position + chunk > blockEnd) {
                blockStart = position;
                if (!ReadRange(in, position, std::max(chunk, std::min(kBlock, length - position)),
                               block)) {
                    NoteUnreadable(ctx, path);
                    return;
                }
            }
            ctx.state.pieceStart = position;
            WritePieceBytes(
                ctx, path,
                std::string_view(block).substr(static_cast<std::size_t>(position - blockStart),
                                               static_cast<std::size_t>(chunk)));
            ctx.state.pieceStart = -1;
        } else {
            if (CopyPiece(ctx, path, in, position, chunk) == AtomicWriter::CopyResult::ReadFailed) {
                ctx.Fail(FailureKind::Unreadable, path, ctx.readFailure.systemError);
                return;
            }
        }
        position += chunk;
        Pump(ctx);
        if (ctx.Stopped()) {
            break;
        }
    }
    ctx.events.SourceFinished();
}

// Notes the encoding of the source the reader opened (or why it did not); false when it
// cannot be read, or is no text in an encoding the program reads (it is then left as it is).
bool NoteOpened(SplitContext& ctx, const Text& path, TextSliceReader& reader, bool opened) {
    ctx.state.source = opened ? reader.Format() : TextFormat();
    ctx.state.piecesInUtf8 = false;
    if (!opened) {
        NoteUnreadable(ctx, path);
    } else if (!reader.Readable()) {
        ctx.state.sourceUnreadable = true;
        ctx.Fail(FailureKind::Unrecognised, path);
    } else {
        ctx.state.sourceGuessedOver = reader.TiedWith();
        ctx.events.SourceRead(path, reader.Format(), reader.TiedWith());
        if (reader.Damage().Any()) {
            ctx.events.SourceDamaged(path, reader.Damage());
        }
        if (const TextWreck& wreck = reader.Wreck(); wreck.Any()) {
            ctx.events.SourceWarned(path, wreck.what, wreck.offset);
        }
    }
    ctx.state.sourceDamage = opened ? reader.Damage() : TextDamage();
    return opened && reader.Readable();
}

// Opens the source as decoded text and notes its encoding, as NoteOpened.
bool OpenText(SplitContext& ctx, const Text& path, TextSliceReader& reader) {
    reader.BetweenSlices([&ctx] { ctx.events.Pump(); });
    return NoteOpened(ctx, path, reader, reader.Open(ctx.OpenSource(path), ctx.sourceEncoding));
}

// The decoded text of a source seen through a window that moves forward slice by slice.
struct TextWindow {
    explicit TextWindow(std::size_t sliceBytes) : reader(sliceBytes) {}

    // Drops what was consumed and appends the next slice; false at the end of the text or
    // on a read failure.
    bool More() {
        text.erase(0, pos);
        pos = 0;
        std::string_view slice;
        failed = !reader.Next(slice);
        atEnd = failed || slice.empty();
        text.append(slice);
        return !atEnd;
    }
    // Whether nothing is left to consume, reading on when the window is used up.
    bool Exhausted() {
        while (pos >= text.size() && More()) {
        }
        return pos >= text.size();
    }
    // The end of what can be judged now: the last lookahead bytes wait for what follows
    // them, except at the end of the text.
    std::size_t Settled(std::size_t lookahead) const {
        if (atEnd) {
            return text.size();
        }
        return text.size() > lookahead ? text.size() - lookahead : 0;
    }

    TextSliceReader reader;
    Text text;
    std::size_t pos = 0;
    bool atEnd = false;
    bool failed = false;
};

// How far the character model looks past the first byte of a character.
constexpr std::size_t kCharLookahead = 3;

// TABs removed and spaces (ASCII and full-width) trimmed, nothing is left. The full-width
// space is A1 A1 in the internal code page, E3 80 80 in UTF-8.
bool IsBlankLine(std::string_view line, bool utf8) {
    const std::string_view wide = utf8 ? "\xE3\x80\x80" : "\xA1\xA1";
    std::size_t i = 0;
    while (i < line.size()) {
        const auto b = static_cast<unsigned char>(line[i]);
        if (b == ' ' || b == '\t') {
            ++i;
        } else if (line.substr(i, wide.size()) == wide) {
            i += wide.size();
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

ModeResult SplitIntoParts(SplitContext& ctx, const Text& path) {
    if (Refused(ctx)) {
        return ModeResult::ValidationFailed;
    }
    const SplitIntoPartsParams* params = ModeParams<SplitIntoPartsParams>(ctx);
    if (!params) {
        return ModeResult::Done;
    }
    const std::int64_t parts = params->count;
    std::unique_ptr<ReadHandle> in = ctx.OpenSource(path);
    if (!in) {
        NoteUnreadable(ctx, path);
        return ModeResult::Done;
    }
    ctx.events.SourceRead(path, {}, TextEncoding::Undetected);
    const std::int64_t length = in->Length();
    if (SizeSaysNothing(ctx, path, *in, length)) {
        return ModeResult::Done;
    }
    std::int64_t count = parts;
    if (count > length && count > kMaxPartsBeyondLength) {
        count = kMaxPartsBeyondLength;
    }
    WriteByteRanges(ctx, path, *in, length, count, length / parts);
    return ModeResult::Done;
}

ModeResult SplitBySize(SplitContext& ctx, const Text& path) {
    if (Refused(ctx)) {
        return ModeResult::ValidationFailed;
    }
    const SplitBySizeParams* params = ModeParams<SplitBySizeParams>(ctx);
    if (!params) {
        return ModeResult::Done;
    }
    const std::int64_t size = params->PieceBytes();
    std::unique_ptr<ReadHandle> in = ctx.OpenSource(path);
    if (!in) {
        NoteUnreadable(ctx, path);
        return ModeResult::Done;
    }
    ctx.events.SourceRead(path, {}, TextEncoding::Undetected);
    const std::int64_t length = in->Length();
    if (SizeSaysNothing(ctx, path, *in, length)) {
        return ModeResult::Done;
    }
    if (size < 1 || length <= 0) {
        return ModeResult::Done;
    }
    const std::int64_t count = length / size + (length % size != 0 ? 1 : 0);
    WriteByteRanges(ctx, path, *in, length, count, size);
    return ModeResult::Done;
}

// The line mode's cutting: lines (ended by LF, CR LF or a CR alone) are collected into
// pieces of a drawn number of lines, joined by CR LF.
class LinePieces {
public:
    LinePieces(SplitContext& ctx, const Text& path) : m_ctx(ctx), m_piece(ctx, path) {
        ReadParams();
    }

    // Takes the next slice of the text (empty at its end); false once a stop was requested.
    // A line ends at an LF, a CR LF or a CR alone, found as the slice goes by: no copy of
    // the text with its breaks made alike.
    bool Feed(std::string_view text) {
        std::size_t pos = 0;
        if (m_afterCr) {
            // The LF of a CR LF that the end of a slice parted.
            m_afterCr = false;
            pos = !text.empty() && text[0] == '\n' ? 1 : 0;
        }
        while (pos < text.size()) {
            if (!m_inLine && !m_skipBlank) {
                const std::size_t end = TakeWholeLines(text, pos);
                if (end == std::string_view::npos) {
                    return false;
                }
                pos = end;
                if (pos == text.size()) {
                    break;
                }
            }
            if (!m_inLine) {
                Pump(m_ctx);
                if (m_ctx.Stopped()) {
                    return false;
                }
                m_inLine = true;
            }
            const std::size_t end = pos + FindAnyOf(text.substr(pos), '\n', '\r', '\n');
            if (end == text.size()) {
                m_line.append(text.substr(pos));
                if (m_line.size() >= m_ctx.pieceHoldBytes) {
                    PassOnLongLine();
                }
                return true;
            }
            // A line whole in this slice goes to its piece without a copy of its own.
            std::string_view line = text.substr(pos, end - pos);
            if (!m_line.empty()) {
                m_line.append(line);
                line = m_line;
            }
            EndLine(line);
            pos = end + 1;
            if (text[end] == '\r') {
                if (pos == text.size()) {
                    m_afterCr = true;
                } else if (text[pos] == '\n') {
                    ++pos;
                }
            }
        }
        return true;
    }

    TextPiece& Piece() { return m_piece; }

    // The text has ended (or a stop came): a last line without LF, and the unfinished piece.
    void Finish() {
        if (m_inLine) {
            EndLine(m_line);
        }
        if (m_linesInPiece > 0) {
            m_piece.Finish();
        }
    }

private:
    // The parameters are read once per piece: a line costs less than reading it.
    void ReadParams() {
        const SplitParams& params = m_ctx.Options();
        m_skipBlank = params.skipBlankLines;
        if (const auto* lines = std::get_if<SplitByLinesParams>(&params.mode)) {
            m_min = lines->min;
            m_max = lines->max;
        }
    }

    void StartPiece() {
        ReadParams();
        m_target = RandomInRange(m_min, m_max);
        // Bounds edited to 0 while the job runs still take at least one line per piece.
        if (m_target < 1) {
            m_target = 1;
        }
        ++m_ctx.state.pieceNumber;
    }

    void TakeLine() {
        if (m_linesInPiece == 0) {
            StartPiece();
        } else {
            m_piece.AppendBreak();
        }
        m_taken = true;
    }

    // The lines that begin at pos and end in this slice, taken as EndLine takes them, but
    // for the one that needs a closer look: a CR at the end of the slice (its LF may come
    // next). Millions of short lines cost no search, pump or append each: the window is
    // pumped once a run and before each piece, the lines of a piece begun are taken 64 bytes
    // a step with their breaks made CR LF, a piece's lines are gathered and appended at once.
    // Returns where it stopped; npos once a stop came.
    std::size_t TakeWholeLines(std::string_view text, std::size_t pos) {
        Pump(m_ctx);
        if (m_ctx.Stopped()) {
            return std::string_view::npos;
        }
        // Every piece after the run's first begins after a pump, as a line would.
        bool first = true;
        const auto begun = [&] {
            if (!std::exchange(first, false)) {
                Pump(m_ctx);
            }
            return !m_ctx.Stopped();
        };
        const char* p = text.data();
        const std::size_t n = text.size();
        // The counts stay local while the run goes: every byte stored may alias a member.
        std::int32_t lines = m_linesInPiece;
        std::int32_t target = m_target;
        const auto startPiece = [&] {
            StartPiece();
            target = m_target;
        };
        const auto stop = [&] {
            m_linesInPiece = lines;
            return std::string_view::npos;
        };
        // Every byte a break at most doubles: one LF becomes CR LF.
        if (m_run.size() < 2 * (n - pos) + 2 + kCrLfSlack) {
            m_run.resize(2 * (n - pos) + 2 + kCrLfSlack);
        }
        char* out = m_run.data();
        const auto flush = [&] {
            m_piece.Append(
                std::string_view(m_run.data(), static_cast<std::size_t>(out - m_run.data())));
            out = m_run.data();
        };
        EitherFinder breaks(text, '\r', '\n');
        for (;;) {
            if (lines > 0) {
                // The lines of a piece begun go 64 bytes a step, as far as they can.
                out[0] = '\r';
                out[1] = '\n';
                const CrLfLines run = TakeLinesAsCrLf(text.substr(pos), target - lines, out + 2);
                if (run.lines > 0) {
                    out += 2 + run.written;
                    pos += run.consumed;
                    lines += static_cast<std::int32_t>(run.lines);
                    if (lines == target) {
                        flush();
                        m_piece.Finish();
                        lines = 0;
                    }
                    continue;
                }
            }
            const std::size_t end = breaks.Next(pos);
            if (end == n || (p[end] == '\r' && end + 1 == n)) {
                break;
            }
            if (lines == 0) {
                if (!begun()) {
                    return stop();
                }
                startPiece();
            } else {
                *out++ = '\r';
                *out++ = '\n';
            }
            if (end - pos <= 16) {
                for (std::size_t i = pos; i < end; ++i) {
                    *out++ = p[i];
                }
            } else {
                std::memcpy(out, p + pos, end - pos);
                out += end - pos;
            }
            pos = end + (p[end] == '\r' && p[end + 1] == '\n' ? 2 : 1);
            if (++lines == target) {
                flush();
                m_piece.Finish();
                lines = 0;
            }
        }
        flush();
        m_linesInPiece = lines;
        return pos;
    }

    // line is the line without its break (it may be m_line).
    void EndLine(std::string_view line) {
        m_inLine = false;
        if (!m_taken) {
            if (m_skipBlank && IsBlankLine(line, m_ctx.state.piecesInUtf8)) {
                m_line.clear();
                return;
            }
            TakeLine();
        }
        m_piece.Append(line);
        m_line.clear();
        m_taken = false;
        if (++m_linesInPiece == m_target) {
            m_piece.Finish();
            m_linesInPiece = 0;
        }
    }

    // A line too long to hold goes into its piece as it comes, once it is known not to be
    // blank.
    void PassOnLongLine() {
        // UTF-8 may end inside a character, which may still be a full-width space.
        const bool utf8 = m_ctx.state.piecesInUtf8;
        const std::size_t whole = utf8 ? WholeUtf8Prefix(m_line) : m_line.size();
        if (!m_taken && IsBlankLine(std::string_view(m_line).substr(0, whole), utf8)) {
            return;
        }
        if (!m_taken) {
            TakeLine();
        }
        m_piece.Append(m_line);
        m_line.clear();
    }

    SplitContext& m_ctx;
    TextPiece m_piece;
    Text m_line;
    Text m_run;              // the lines of a run, joined by CR LF
    bool m_inLine = false;   // a line has begun (its first byte was seen)
    bool m_taken = false;    // it already counts for the current piece
    bool m_afterCr = false;  // the last slice ended with a CR: an LF first is its pair
    std::int32_t m_linesInPiece = 0;
    std::int32_t m_target = 0;
    bool m_skipBlank = false;
    std::int32_t m_min = 1;
    std::int32_t m_max = 1;
};

// How much text the pieces that wait for the decision on the encoding may hold.
constexpr std::size_t kMaxWaitingBytes = std::size_t{8} << 20;

// The stages after reading, once the source's encoding is known.
void NoteCutting(SplitContext& ctx) {
    ctx.events.Stage(JobStage::NormalisingBreaks);
    ctx.events.Stage(JobStage::Buffering);
    ctx.events.Stage(JobStage::Cutting);
}

// Whether the pieces that wait for an unsettled reader's decision on the encoding must have
// it now: at the end of the source, or when too many wait.
bool MustSettle(SplitContext& ctx, TextSliceReader& reader, const TextPiece& piece, bool read,
                bool ending) {
    // The limit is asked of the system only while the pieces wait: a call a slice otherwise.
    return read && reader.Unsettled() &&
           (ending || piece.Waiting() >= std::min(ctx.waitingPieces, OpenFileLimit() / 4) ||
            piece.WaitingBytes() >= kMaxWaitingBytes);
}

// Settles the reader; false on a read failure, which drops the waiting pieces.
bool Settled(SplitContext& ctx, const Text& path, TextSliceReader& reader, TextPiece& piece) {
    if (reader.Settle()) {
        return true;
    }
    piece.Drop();
    NoteUnreadable(ctx, path);
    return false;
}

enum class EarlyCut { NotTried, Done, Undone };

// The line mode in one reading of a source that may be UTF-8: its lines are cut while the
// reader decides the encoding, the pieces waiting unnamed and unreported until it has. A
// source that turns out to be anything but UTF-8 that converts exactly or plain ASCII
// leaves nothing (the random lengths are drawn again) and is read again as the general
// path reads it: no other source keeps these breaks and blank lines for sure.
EarlyCut SplitLinesWhileDetecting(SplitContext& ctx, const Text& path) {
    if (!ctx.cutUtf8Bodies || ctx.Options().nameFromText || !ctx.state.outputRequest.Empty() ||
        ctx.sourceEncoding != TextEncoding::Undetected) {
        return EarlyCut::NotTried;
    }
    TextSliceReader reader(ctx.sliceBytes);
    reader.BetweenSlices([&ctx] { ctx.events.Pump(); });
    if (!reader.OpenUnsettled(ctx.OpenSource(path))) {
        return EarlyCut::NotTried;
    }
    ReseedRandom();
    MarkRandom();
    const auto undo = [&ctx] {
        ctx.state.piecesInUtf8 = false;
        RewindRandom();
        return EarlyCut::Undone;
    };
    ctx.state.pieceNumber = 0;
    ctx.state.source = {TextEncoding::Utf8, reader.Format().mark};
    ctx.state.piecesInUtf8 = true;
    LinePieces pieces(ctx, path);
    TextPiece& piece = pieces.Piece();
    piece.Defer();
    for (;;) {
        std::string_view slice;
        const bool read = reader.Next(slice);
        if (read && reader.Unsettled() && !reader.MayBeUtf8()) {
            return undo();
        }
        const bool going = read && pieces.Feed(slice);
        const bool ending = !going || slice.empty();
        if (MustSettle(ctx, reader, piece, read, ending)) {
            if (!Settled(ctx, path, reader, piece)) {
                return EarlyCut::Done;
            }
            // Plain ASCII is cut as its UTF-8 reading would be.
            if (!reader.BodyIsUtf8() && !(reader.Exact() && reader.TellsNoFamily())) {
                return undo();
            }
            NoteOpened(ctx, path, reader, true);
            CutInOwnUtf8(ctx, reader);
            NoteCutting(ctx);
            piece.Release();
        }
        if (!read) {
            // Half a text in the last piece would pass for a whole one.
            piece.Drop();
            NoteUnreadable(ctx, path);
            return EarlyCut::Done;
        }
        if (ending) {
            break;
        }
    }
    pieces.Finish();
    return EarlyCut::Done;
}

bool IsUtf16(TextEncoding encoding) {
    return encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
}

// Cuts the lines of the reader's body keeping their breaks; false when the source turned
// out to be UTF-16 while it was read unsettled (nothing is left of that reading).
bool CutKeptLines(SplitContext& ctx, const Text& path, TextSliceReader& reader) {
    ctx.state.pieceNumber = 0;
    ctx.state.source = reader.Format();
    ctx.state.piecesKeepBytes = true;
    KeptLineCutter cutter(ctx, path, reader.Format());
    TextPiece& piece = cutter.Piece();
    if (reader.Unsettled()) {
        piece.Defer();
    }
    for (;;) {
        std::string_view slice;
        const bool read = reader.Next(slice);
        const bool going = read && cutter.Feed(slice);
        const bool ending = !going || slice.empty();
        if (MustSettle(ctx, reader, piece, read, ending)) {
            if (!Settled(ctx, path, reader, piece)) {
                return true;
            }
            if (!reader.Readable() || IsUtf16(reader.Format().encoding)) {
                piece.Drop();
                if (!reader.Readable()) {
                    NoteOpened(ctx, path, reader, true);
                    return true;
                }
                return false;
            }
            NoteOpened(ctx, path, reader, true);
            NoteCutting(ctx);
            ctx.state.piecesKeepBytes = true;
            piece.Release();
        }
        if (!read) {
            // Half a text in the last piece would pass for a whole one.
            piece.Drop();
            NoteUnreadable(ctx, path);
            return true;
        }
        if (!going) {
            cutter.Stop();
            return true;
        }
        if (ending) {
            return true;
        }
    }
}

// Lines that keep their breaks are cut in one reading where the reader hands out the body's
// bytes while it decides the encoding: every encoding but UTF-16 has its breaks at the same
// bytes. A source with a UTF-16 mark, or found to be UTF-16 after all, is cut in its units.
void SplitLinesKeepingBreaks(SplitContext& ctx, const Text& path) {
    ReseedRandom();
    MarkRandom();
    // A named encoding is not detected: the source is read in it from the start.
    if (ctx.sourceEncoding == TextEncoding::Undetected) {
        TextSliceReader reader(ctx.sliceBytes);
        reader.BetweenSlices([&ctx] { ctx.events.Pump(); });
        if (reader.OpenUnsettled(ctx.OpenSource(path)) && CutKeptLines(ctx, path, reader)) {
            return;
        }
    }
    RewindRandom();
    TextSliceReader reader(ctx.sliceBytes);
    if (!OpenText(ctx, path, reader)) {
        return;
    }
    NoteCutting(ctx);
    reader.HandOutBodyBytes();
    CutKeptLines(ctx, path, reader);
}

ModeResult SplitByLineCount(SplitContext& ctx, const Text& path) {
    if (Refused(ctx)) {
        return ModeResult::ValidationFailed;
    }
    ctx.events.Stage(JobStage::Reading);
    if (const auto* lines = ModeParams<SplitByLinesParams>(ctx); lines && lines->keepBreaks) {
        SplitLinesKeepingBreaks(ctx, path);
        return ModeResult::Done;
    }
    const EarlyCut early = SplitLinesWhileDetecting(ctx, path);
    if (early == EarlyCut::Done) {
        return ModeResult::Done;
    }
    TextSliceReader reader(ctx.sliceBytes);
    const bool opened = OpenText(ctx, path, reader);
    NoteCutting(ctx);
    if (early == EarlyCut::NotTried) {
        ReseedRandom();
    }
    ctx.state.pieceNumber = 0;
    if (!opened) {
        return ModeResult::Done;
    }
    CutInOwnUtf8(ctx, reader);
    LinePieces pieces(ctx, path);
    for (;;) {
        std::string_view slice;
        if (!reader.Next(slice)) {
            // Half a text in the last piece would pass for a whole one.
            NoteUnreadable(ctx, path);
            return ModeResult::Done;
        }
        if (!pieces.Feed(slice) || slice.empty()) {
            break;
        }
    }
    pieces.Finish();
    return ModeResult::Done;
}

ModeResult SplitByCharCount(SplitContext& ctx, const Text& path) {
    if (Refused(ctx)) {
        return ModeResult::ValidationFailed;
    }
    PieceCharCounts counts;
    TextWindow window(ctx.sliceBytes);
    const bool opened = OpenText(ctx, path, window.reader);
    if (opened && CutInOwnUtf8(ctx, window.reader)) {
        if (!SplitUtf8ByCharCount(ctx, path, window.reader)) {
            NoteUnreadable(ctx, path);
        }
        return ModeResult::Done;
    }
    if (!opened || window.Exhausted()) {
        if (window.failed) {
            NoteUnreadable(ctx, path);
        }
        return ModeResult::Done;
    }
    ReseedRandom();
    ctx.state.pieceNumber = 0;
    TextPiece piece(ctx, path);
    do {
        std::int32_t n = counts.Next(ctx);
        ++ctx.state.pieceNumber;
        for (std::int32_t c = 0;;) {
            const std::string_view text = window.text;
            const std::size_t settled = window.Settled(kCharLookahead);
            std::size_t end = window.pos;
            for (; c < n && end < settled; ++c) {
                end += CharLength(text, end);
            }
            piece.Append(text.substr(window.pos, end - window.pos));
            window.pos = end;
            if (c == n || window.atEnd) {
                break;
            }
            window.More();
        }
        if (window.failed) {
            NoteUnreadable(ctx, path);
            return ModeResult::Done;
        }
        piece.Finish();
        Pump(ctx);
    } while (!ctx.Stopped() && !window.Exhausted());
    if (window.failed) {
        NoteUnreadable(ctx, path);
    }
    return ModeResult::Done;
}

ModeResult SplitAtSeparator(SplitContext& ctx, const Text& path) {
    if (Refused(ctx)) {
        return ModeResult::ValidationFailed;
    }
    const SplitAtSeparatorParams* params = ModeParams<SplitAtSeparatorParams>(ctx);
    if (!params) {
        return ModeResult::Done;
    }
    const Text separator = params->separator;
    ctx.state.pieceNumber = 0;
    TextWindow window(ctx.sliceBytes);
    if (!OpenText(ctx, path, window.reader)) {
        return ModeResult::Done;
    }
    // A UTF-8 body is cut as it is: its bytes are searched for the separator's UTF-8 form,
    // which in UTF-8 can only match whole characters. The pieces are the same, without two
    // conversions of the whole text.
    std::string utf8Separator;
    const bool inUtf8 = window.reader.BodyIsUtf8() && InternalToUtf8(separator, utf8Separator) &&
                        CutInOwnUtf8(ctx, window.reader);
    const std::string_view needle = inUtf8 ? std::string_view(utf8Separator) : separator;
    auto find = [&](std::string_view text, std::size_t from) {
        return inUtf8 ? text.find(needle, from) : FindText(text, separator, from);
    };
    // A match is certain once the character model can see past its end.
    const std::size_t lookahead = needle.size() + kCharLookahead;
    TextPiece piece(ctx, path);
    while (!window.Exhausted()) {
        Pump(ctx);
        if (ctx.Stopped()) {
            break;
        }
        ++ctx.state.pieceNumber;
        for (;;) {
            const std::string_view text = window.text;
            const std::size_t hit = find(text, window.pos);
            if (hit != std::string_view::npos && (window.atEnd || hit + lookahead <= text.size())) {
                piece.Append(text.substr(window.pos, hit - window.pos));
                window.pos = hit + needle.size();
                break;
            }
            if (window.atEnd) {
                piece.Append(text.substr(window.pos));
                window.pos = text.size();
                break;
            }
            // No separator begins before the settled part ends: that much belongs to the piece.
            const std::size_t settled = window.Settled(lookahead);
            std::size_t end = window.pos;
            if (inUtf8) {
                // Back to the start of the character that the settled part ends in.
                end = std::max(end, settled);
                while (end > window.pos && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
                    --end;
                }
            } else {
                while (end < settled) {
                    end += CharLength(text, end);
                }
            }
            piece.Append(text.substr(window.pos, end - window.pos));
            window.pos = end;
            window.More();
        }
        if (window.failed) {
            NoteUnreadable(ctx, path);
            return ModeResult::Done;
        }
        piece.Finish();
    }
    if (window.failed) {
        NoteUnreadable(ctx, path);
    }
    return ModeResult::Done;
}

ModeResult RunSplitMode(SplitContext& ctx, const Text& path) {
    ctx.state.outputRequest = ctx.Options().output;  // one form for all the source's pieces
    switch (ctx.Options().mode.index()) {
        case 1:
            return SplitIntoParts(ctx, path);
        case 2:
            return SplitBySize(ctx, path);
        case 3:
            return SplitByLineCount(ctx, path);
        case 4:
            return SplitByCharCount(ctx, path);
        case 5:
            return SplitAtSeparator(ctx, path);
        case 6:
            return SplitAtChapters(ctx, path);
        default:
            break;
    }
    return ModeResult::Done;
}

}  // namespace qs
