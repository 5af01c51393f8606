#include "split/chapter_split.h"

#include <algorithm>
#include <memory>
#include <string>

#include "encoding/text_decoder.h"
#include "encoding/text_slices.h"
#include "pattern/regex_facade.h"
#include "platform/services.h"
#include "platform/system_error.h"
#include "split/chapter_epub.h"
#include "split/chapter_heading.h"
#include "split/piece_writer.h"
#include "split/text_piece.h"

namespace qs {
namespace {

constexpr std::size_t kLinesPerPump = 1 << 14;

// The whole text of a source, decoded slice by slice with the job's events between two; as
// DecodeTextFile gives it, and unopened when a slice cannot be read.
DecodedText ReadWholeText(SplitContext& ctx, const Text& path) {
    TextSliceReader reader(ctx.sliceBytes);
    reader.BetweenSlices([&ctx] { ctx.events.Pump(); });
    DecodedText decoded;
    decoded.opened = reader.Open(path);
    decoded.format = decoded.opened ? reader.Format() : TextFormat{};
    decoded.exact = decoded.opened && reader.Exact();
    decoded.tiedWith = decoded.opened ? reader.TiedWith() : TextEncoding::Undetected;
    bool read = decoded.exact;
    std::string_view slice;
    while (read && (read = reader.Next(slice)) && !slice.empty()) {
        decoded.text.append(slice);
    }
    decoded.opened = decoded.opened && (read || !decoded.exact);  // a read failed half way
    return decoded;
}

// A source that could not be read, or whose bytes are in no encoding the program reads.
void NoteNotRead(SplitContext& ctx, const Text& path, bool unrecognised) {
    ctx.state.sourceUnreadable = true;
    if (unrecognised) {
        ctx.Fail(FailureKind::Unrecognised, path);
    } else {
        ctx.Fail(FailureKind::Unreadable, path, LastSystemError());
    }
}

bool IsBlank(std::string_view line) {
    return HeadingTitle(line).empty();
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
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
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
        if (!IsBlank(line.text)) {
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

// The scan of FindChapterPieces, fed one line at a time, so that a source can be scanned
// slice by slice.
class ChapterFinder {
public:
    ChapterFinder(const HeadingTest& isHeading, std::int32_t perPiece,
                  const std::function<void()>& pump)
        : m_isHeading(isHeading), m_perPiece(perPiece), m_pump(pump) {}

    void Add(const Line& line) {
        if (m_pump && ++m_lines % kLinesPerPump == 0) {
            m_pump();
        }
        const std::string_view title = HeadingTitle(line.text);
        if (!m_isHeading(line.text)) {
            if (!title.empty()) {
                m_textSinceHeading = true;
                m_textBeforeFirst = m_textBeforeFirst || !m_anyHeading;
                NoteTitle(title);
            }
            return;
        }
        const Text heading(HeadingLabel(line.text));
        ++m_seen.headings;
        if (!m_anyHeading) {
            if (m_textBeforeFirst) {
                m_pieces.push_back({0, 0, Text(), m_firstTitle});
                ChapterAt(line.start);
            }
            // Blank lines before the first heading go with the first chapter.
            m_pieces.push_back({m_textBeforeFirst ? line.start : 0, 0, heading, Text()});
            m_chaptersInPiece = 1;
        } else if (m_textSinceHeading) {
            ChapterAt(line.start);
            if (m_chaptersInPiece >= m_perPiece) {
                m_pieces.push_back({line.start, 0, heading, Text()});
                m_chaptersInPiece = 0;
            }
            ++m_chaptersInPiece;
        }
        NoteTitle(title);
        m_anyHeading = true;
        m_textSinceHeading = false;
    }

    std::vector<ChapterPiece> Finish(std::size_t textBytes, ChapterStats* stats) {
        if (m_pieces.empty() && textBytes > 0) {
            m_pieces.push_back({0, 0, Text(), m_firstTitle});
        }
        for (std::size_t k = 0; k < m_pieces.size(); ++k) {
            m_pieces[k].end = k + 1 < m_pieces.size() ? m_pieces[k + 1].start : textBytes;
        }
        ChapterAt(textBytes);
        if (stats) {
            *stats = m_seen;
        }
        return std::move(m_pieces);
    }

private:
    void ChapterAt(std::size_t start) {
        m_seen.longestChapter = std::max(m_seen.longestChapter, start - m_chapterStart);
        m_chapterStart = start;
    }
    void NoteTitle(std::string_view title) {
        if (m_firstTitle.empty()) {
            m_firstTitle = Text(title);
        }
        if (!m_pieces.empty() && m_pieces.back().firstTitle.empty()) {
            m_pieces.back().firstTitle = Text(title);
        }
    }

    const HeadingTest& m_isHeading;
    const std::int32_t m_perPiece;
    const std::function<void()>& m_pump;
    ChapterStats m_seen;
    std::size_t m_chapterStart = 0;
    std::vector<ChapterPiece> m_pieces;
    bool m_anyHeading = false;
    bool m_textBeforeFirst = false;
    bool m_textSinceHeading = false;  // a non-blank line after the last heading
    std::int32_t m_chaptersInPiece = 0;
    std::size_t m_lines = 0;
    Text m_firstTitle;  // of the first line with something in it
};

}  // namespace

std::vector<ChapterPiece> FindChapterPieces(std::string_view text, const HeadingTest& isHeading,
                                            std::int32_t perPiece,
                                            const std::function<void()>& pump,
                                            ChapterStats* stats) {
    ChapterFinder finder(isHeading, perPiece, pump);
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t next = 0;
        finder.Add(LineAt(text, pos, next));
        pos = next;
    }
    return finder.Finish(text.size(), stats);
}

bool MakeHeadingTest(const Text& expression, HeadingTest& test) {
    if (expression.empty()) {
        test = [](std::string_view line) { return IsChapterHeading(line); };
        return true;
    }
    auto regex = std::make_shared<RegexObject>();
    if (!regex->Compile(expression, false, true, false)) {
        return false;
    }
    test = [regex](std::string_view line) { return regex->Execute(Text(line)) > 0; };
    return true;
}

namespace {

// Feeds the finder the lines of the text, read slice by slice: only a line that runs on past
// a slice is held. False when a slice could not be read.
bool ScanSource(TextSliceReader& reader, ChapterFinder& finder, std::size_t& textBytes) {
    Text held;
    std::size_t heldStart = 0;
    for (;;) {
        std::string_view slice;
        if (!reader.Next(slice)) {
            return false;
        }
        const bool end = slice.empty();
        held.append(slice);
        std::size_t pos = 0;
        while (pos < held.size()) {
            // A CR that ends what was read may have its LF in the next slice.
            const std::size_t lineBreak = held.find_first_of("\r\n", pos);
            if (!end && (lineBreak == Text::npos ||
                         (lineBreak + 1 == held.size() && held[lineBreak] == '\r'))) {
                break;
            }
            std::size_t next = 0;
            Line line = LineAt(held, pos, next);
            line.start += heldStart;
            finder.Add(line);
            pos = next;
        }
        held.erase(0, pos);
        heldStart += pos;
        if (end) {
            textBytes = heldStart;
            return true;
        }
    }
}

// Writes the pieces from the text read once more, each streamed as the other text modes
// stream theirs. False when the text could not be read again as the first pass read it.
bool WriteChapterPieces(SplitContext& ctx, const Text& path, TextSliceReader& reader,
                        const std::vector<ChapterPiece>& pieces) {
    // Names count the chapters from 1 and the text before the first one as 0.
    const bool hasPreface = !pieces.empty() && pieces.front().heading.empty();
    const std::size_t width = std::max<std::size_t>(3, Digits(pieces.size()));
    ctx.state.pieceNumber = 0;
    if (!reader.Rewind()) {
        return false;
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
                ctx.events.Pump();
                if (ctx.Stopped()) {
                    return true;
                }
                ++ctx.state.pieceNumber;
                if (ctx.Options().nameFromText) {
                    const Text& title =
                        pieces[k].heading.empty() ? pieces[k].firstTitle : pieces[k].heading;
                    ctx.state.pieceName = PaddedNumber(hasPreface ? k : k + 1, width);
                    if (!title.empty()) {
                        ctx.state.pieceName += " " + SanitizeFileName(title);
                    }
                }
                ctx.state.pieceHeading = pieces[k].heading;
                started = true;
            }
            const std::size_t end = std::min(slice.size(), pieces[k].end - sliceStart);
            piece.Append(slice.substr(pos, end - pos));
            pos = end;
            if (sliceStart + pos == pieces[k].end) {
                piece.Finish();
                ctx.state.pieceName.clear();
                ctx.state.pieceHeading.clear();
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
    if (const std::optional<ParamsProblem> problem = Validate(ctx.Options())) {
        ctx.events.Refused(*problem);
        return ModeResult::ValidationFailed;
    }
    const SplitAtChaptersParams* params = std::get_if<SplitAtChaptersParams>(&ctx.Options().mode);
    HeadingTest isHeading;
    if (!params || !MakeHeadingTest(params->expression, isHeading)) {
        return ModeResult::Done;
    }
    const std::int32_t perPiece = std::max(params->perPiece, std::int32_t{1});
    const std::function<void()> pump = [&ctx] { ctx.events.Pump(); };
    if (params->epub) {
        // A book holds every chapter as a document of its own, made from the whole text.
        DecodedText decoded = ReadWholeText(ctx, path);
        ctx.state.source = decoded.format;
        if (!decoded.opened || !decoded.exact) {
            NoteNotRead(ctx, path, decoded.opened);
            return ModeResult::Done;
        }
        ctx.state.sourceGuessedOver = decoded.tiedWith;
        ctx.events.SourceRead(path, decoded.format, decoded.tiedWith);
        ChapterStats stats;
        const std::vector<ChapterPiece> pieces =
            FindChapterPieces(decoded.text, isHeading, 1, pump, &stats);
        ReportUncut(ctx, path, decoded.text.size(), stats);
        WriteChapterBook(ctx, path, decoded.text, pieces, isHeading);
        return ModeResult::Done;
    }
    // Text pieces: the text is read twice, once to find the chapters and once to write them,
    // and never held whole.
    TextSliceReader reader(ctx.sliceBytes);
    reader.BetweenSlices(pump);
    const bool opened = reader.Open(path);
    ctx.state.source = opened ? reader.Format() : TextFormat{};
    ChapterFinder finder(isHeading, perPiece, pump);
    std::size_t textBytes = 0;
    if (!opened || !reader.Exact() || !ScanSource(reader, finder, textBytes)) {
        NoteNotRead(ctx, path, opened && !reader.Exact());
        return ModeResult::Done;
    }
    ctx.state.sourceGuessedOver = reader.TiedWith();
    ctx.events.SourceRead(path, ctx.state.source, reader.TiedWith());
    ChapterStats stats;
    const std::vector<ChapterPiece> pieces = finder.Finish(textBytes, &stats);
    ReportUncut(ctx, path, textBytes, stats);
    if (!WriteChapterPieces(ctx, path, reader, pieces)) {
        NoteNotRead(ctx, path, false);
    }
    ctx.state.pieceName.clear();
    ctx.state.pieceHeading.clear();
    return ModeResult::Done;
}

}  // namespace qs
