#include "split/chapter_split.h"

#include <algorithm>
#include <memory>
#include <string>

#include "encoding/text_decoder.h"
#include "encoding/text_slices.h"
#include "job/chapter_heading.h"
#include "pattern/regex_facade.h"
#include "platform/services.h"
#include "split/chapter_epub.h"
#include "split/piece_writer.h"
#include "split/text_piece.h"
#include "split/utf8_cutting.h"
#include "text/byte_search.h"
#include "text/characters.h"

namespace qs {
namespace {

// A source that could not be read, or whose bytes are in no encoding the program reads.
void NoteNotRead(SplitContext& ctx, const Text& path, bool unrecognised) {
    ctx.state.sourceUnreadable = true;
    if (unrecognised) {
        ctx.Fail(FailureKind::Unrecognised, path);
    } else {
        ctx.Fail(FailureKind::Unreadable, path, ctx.readFailure.systemError);
    }
}

std::size_t Digits(std::size_t n) {
    return std::to_string(n).size();
}

Text PaddedNumber(std::size_t n, std::size_t width) {
    const std::string digits = std::to_string(n);
    return Text(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

}  // namespace

// Line breaks are never trail bytes of the internal code page, so a byte search is safe.
Line LineAt(std::string_view text, std::size_t pos, std::size_t& next) {
    const std::size_t end = pos + FindAnyOf(text.substr(pos), '\r', '\n', '\n');
    if (end == text.size()) {
        next = text.size();
        return {pos, text.substr(pos)};
    }
    next = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    return {pos, text.substr(pos, end - pos)};
}

Text FirstLineTitle(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t next = 0;
        const Line line = LineAt(text, pos, next);
        if (!HeadingTitle(line.text).empty()) {
            return Text(HeadingTitle(line.text));
        }
        pos = next;
    }
    return Text();
}

bool LooksUncut(std::size_t textBytes, const ChapterStats& stats) {
    constexpr std::size_t kBookBytes = 100 * 1024;
    constexpr std::size_t kFewHeadings = 3;
    return textBytes > kBookBytes &&
           (stats.headings < kFewHeadings || stats.longestChapter > textBytes / 2);
}

namespace {

void ReportUncut(SplitContext& ctx, const Text& path, std::size_t textBytes,
                 const ChapterStats& stats) {
    if (LooksUncut(textBytes, stats)) {
        const int share = static_cast<int>(stats.longestChapter * 100 / textBytes);
        ctx.events.BookLooksUncut({path, stats.headings, share});
    }
}

}  // namespace

ChapterStats StatsOf(const BookContents& book) {
    ChapterStats stats;
    stats.headings = book.toc.size();
    std::size_t from = 0;
    for (const TocEntry& entry : book.toc) {
        stats.longestChapter = std::max(stats.longestChapter, entry.start - from);
        from = entry.start;
    }
    stats.longestChapter = std::max(stats.longestChapter, book.textBytes - from);
    return stats;
}

std::vector<ChapterPiece> PiecesOf(const BookContents& book, std::int32_t perPiece,
                                   bool perVolume) {
    std::vector<ChapterPiece> pieces;
    const std::vector<TocEntry>& toc = book.toc;
    if (toc.empty()) {
        if (book.textBytes > 0) {
            pieces.push_back({0, book.textBytes, Text(), book.firstTitle});
        }
        return pieces;
    }
    if (book.textBeforeFirst) {
        pieces.push_back({0, 0, Text(), book.firstTitle});
    }
    // Blank lines before the first heading go with the first chapter.
    pieces.push_back({book.textBeforeFirst ? toc[0].start : 0, 0, toc[0].title, Text(),
                      book.textBeforeFirst ? toc[0].line : 0});
    std::int32_t chaptersInPiece = 1;
    for (std::size_t k = 1; k < toc.size(); ++k) {
        if (!toc[k - 1].textFollows) {
            continue;
        }
        const bool cut = perVolume ? toc[k].level == 1 : chaptersInPiece >= perPiece;
        if (cut) {
            pieces.push_back({toc[k].start, 0, toc[k].title, Text(), toc[k].line});
            chaptersInPiece = 0;
        }
        ++chaptersInPiece;
    }
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        pieces[k].end = k + 1 < pieces.size() ? pieces[k + 1].start : book.textBytes;
    }
    return pieces;
}

std::vector<ChapterPiece> FindChapterPieces(std::string_view text, std::int32_t perPiece,
                                            ChapterStats* stats, std::vector<HeadingRule> rules) {
    const BookContents book = ContentsOfText(text, std::move(rules));
    if (stats) {
        *stats = StatsOf(book);
    }
    return PiecesOf(book, perPiece);
}

std::optional<std::vector<HeadingRule>> RulesOf(const SplitAtChaptersParams& params) {
    std::vector<HeadingRule> rules;
    for (const ChapterRuleParams& rule : params.rules) {
        std::optional<HeadingRule> compiled = CompileHeadingRule(rule.name, rule.expression);
        if (!compiled) {
            return std::nullopt;
        }
        rules.push_back(std::move(*compiled));
    }
    if (!params.expression.empty()) {
        std::optional<HeadingRule> compiled = CompileHeadingRule("--chapters", params.expression);
        if (!compiled) {
            return std::nullopt;
        }
        rules.push_back(std::move(*compiled));
    }
    return rules;
}

namespace {

// Names and numbers piece k as it begins; false once a stop was requested.
bool BeginChapterPiece(SplitContext& ctx, const std::vector<ChapterPiece>& pieces, std::size_t k) {
    ctx.events.Pump();
    if (ctx.Stopped()) {
        return false;
    }
    // Names count the chapters from 1 and the text before the first one as 0.
    const bool hasPreface = pieces.front().heading.empty();
    const std::size_t width = std::max<std::size_t>(3, Digits(pieces.size()));
    ++ctx.state.pieceNumber;
    if (ctx.Options().nameFromText) {
        const Text& title = pieces[k].heading.empty() ? pieces[k].firstTitle : pieces[k].heading;
        ctx.state.pieceName = PaddedNumber(hasPreface ? k : k + 1, width);
        if (!title.empty()) {
            ctx.state.pieceName += " " + SanitizeFileName(title);
        }
    }
    ctx.state.pieceHeading = pieces[k].heading;
    return true;
}

void EndChapterPiece(SplitContext& ctx, TextPiece& piece) {
    piece.Finish();
    ctx.state.pieceName.clear();
    ctx.state.pieceHeading.clear();
}

// Counts the line breaks of a text read slice by slice as the scan counts them: LF, CR LF,
// a CR alone.
class LineCounter {
public:
    // Where in slice, from pos, line number wanted begins; slice.size() when it begins later.
    std::size_t Find(std::string_view slice, std::size_t pos, std::size_t wanted) {
        if (m_pendingCr && pos == 0) {
            // The CR that ended the last slice, and its LF when this one begins with it.
            m_pendingCr = false;
            pos = !slice.empty() && slice[0] == '\n' ? 1 : 0;
            ++m_lines;
        }
        while (m_lines < wanted) {
            const std::size_t end = pos + FindAnyOf(slice.substr(pos), '\r', '\n', '\n');
            if (end == slice.size()) {
                return end;
            }
            if (slice[end] == '\r' && end + 1 == slice.size()) {
                m_pendingCr = true;
                return slice.size();
            }
            pos = end + (slice[end] == '\r' && slice[end + 1] == '\n' ? 2 : 1);
            ++m_lines;
        }
        return pos;
    }
    bool Reached(std::size_t wanted) const { return m_lines >= wanted && !m_pendingCr; }

private:
    std::size_t m_lines = 0;
    bool m_pendingCr = false;
};

// Writes the pieces of a UTF-8 body from its own bytes read once more, cut where their first
// lines begin: no conversion of the text either way. False when the text could not be read
// again as the first pass read it.
bool WriteChapterPiecesInUtf8(SplitContext& ctx, const Text& path, TextSliceReader& reader,
                              const std::vector<ChapterPiece>& pieces) {
    TextPiece piece(ctx, path);
    LineCounter lines;
    std::size_t k = 0;
    bool started = false;
    for (;;) {
        std::string_view slice;
        if (!reader.Next(slice)) {
            return false;
        }
        std::size_t pos = 0;
        while (k < pieces.size()) {
            if (!started) {
                if (!BeginChapterPiece(ctx, pieces, k)) {
                    return true;
                }
                started = true;
            }
            const bool last = k + 1 == pieces.size();
            // The last piece takes the rest, whatever its lines: they need no counting.
            const std::size_t next = last ? std::string_view::npos : pieces[k + 1].line;
            const std::size_t end = last ? slice.size() : lines.Find(slice, pos, next);
            piece.Append(slice.substr(pos, end - pos));
            pos = end;
            if (last ? !slice.empty() : !lines.Reached(next)) {
                break;
            }
            EndChapterPiece(ctx, piece);
            started = false;
            ++k;
        }
        if (slice.empty()) {
            return k == pieces.size();
        }
    }
}

// Writes the pieces from the text read once more, each streamed as the other text modes
// stream theirs. False when the text could not be read again as the first pass read it.
bool WriteChapterPieces(SplitContext& ctx, const Text& path, TextSliceReader& reader,
                        const std::vector<ChapterPiece>& pieces) {
    ctx.state.pieceNumber = 0;
    if (!reader.Rewind()) {
        return false;
    }
    if (pieces.empty()) {
        std::string_view rest;
        return reader.Next(rest) && rest.empty();
    }
    if (CutInOwnUtf8(ctx, reader)) {
        return WriteChapterPiecesInUtf8(ctx, path, reader, pieces);
    }
    TextPiece piece(ctx, path);
    std::size_t k = 0;
    std::size_t sliceStart = 0;
    bool started = false;
    while (k < pieces.size()) {
        std::string_view slice;
        if (!reader.Next(slice) || slice.empty()) {
            return false;
        }
        std::size_t pos = 0;
        while (pos < slice.size() && k < pieces.size()) {
            if (!started) {
                if (!BeginChapterPiece(ctx, pieces, k)) {
                    return true;
                }
                started = true;
            }
            const std::size_t end = std::min(slice.size(), pieces[k].end - sliceStart);
            piece.Append(slice.substr(pos, end - pos));
            pos = end;
            if (sliceStart + pos == pieces[k].end) {
                EndChapterPiece(ctx, piece);
                started = false;
                ++k;
            }
        }
        if (pos < slice.size()) {
            return false;  // the text grew since the first pass: it was not written whole
        }
        sliceStart += slice.size();
    }
    std::string_view rest;
    return reader.Next(rest) && rest.empty();
}

}  // namespace

ModeResult SplitAtChapters(SplitContext& ctx, const Text& path) {
    if (const std::optional<ParamsProblem> problem = Validate(ctx.Request())) {
        ctx.events.Refused(*problem);
        return ModeResult::ValidationFailed;
    }
    const SplitAtChaptersParams* params = std::get_if<SplitAtChaptersParams>(&ctx.Options().mode);
    std::optional<std::vector<HeadingRule>> rules = params ? RulesOf(*params) : std::nullopt;
    if (!rules) {
        return ModeResult::Done;
    }
    const std::int32_t perPiece = std::max(params->perPiece, std::int32_t{1});
    const bool perVolume = params->perVolume;
    const std::function<void()> pump = [&ctx] { ctx.events.Pump(); };
    // The text is read twice, once to find the chapters and once to write them, and never
    // held whole. A book is made from the text as the program holds it, and only from a
    // text that converts exactly.
    TextSliceReader reader(ctx.sliceBytes);
    reader.BetweenSlices(pump);
    const bool opened = reader.Open(ctx.OpenSource(path), ctx.sourceEncoding);
    ctx.state.source = opened ? reader.Format() : TextFormat{};
    HeadingScan scan(std::move(*rules));
    std::size_t textBytes = 0;
    // A UTF-8 body is scanned in its own bytes, as its pieces are cut from them.
    const bool epub = params->epub;
    const bool readable = opened && (epub ? reader.Exact() : reader.Readable());
    const bool inOwnUtf8 = readable && !epub && CutInOwnUtf8(ctx, reader);
    if (!readable || !ScanSlices(reader, scan, 0, textBytes, inOwnUtf8)) {
        NoteNotRead(ctx, path, opened && !readable);
        return ModeResult::Done;
    }
    ctx.state.sourceGuessedOver = reader.TiedWith();
    ctx.state.sourceDamage = reader.Damage();
    ctx.events.SourceRead(path, ctx.state.source, reader.TiedWith());
    if (reader.Damage().Any()) {
        ctx.events.SourceDamaged(path, reader.Damage());
    }
    if (const TextWreck& wreck = reader.Wreck(); wreck.Any()) {
        ctx.events.SourceWarned(path, wreck.what, wreck.offset);
    }
    const BookContents book = scan.Finish(textBytes);
    ctx.events.ContentsFound(path, book);
    ReportUncut(ctx, path, textBytes, StatsOf(book));
    const bool whole =
        epub ? WriteChapterBooks(ctx, path, reader, PiecesOf(book, 1), book, perVolume)
             : WriteChapterPieces(ctx, path, reader, PiecesOf(book, perPiece, perVolume));
    if (!whole) {
        NoteNotRead(ctx, path, false);
    }
    ctx.state.pieceName.clear();
    ctx.state.pieceHeading.clear();
    return ModeResult::Done;
}

}  // namespace qs
