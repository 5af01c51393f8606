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
    bool read = decoded.exact;
    std::string_view slice;
    while (read && (read = reader.Next(slice)) && !slice.empty()) {
        decoded.text.append(slice);
    }
    decoded.opened = decoded.opened && (read || !decoded.exact);  // a read failed half way
    return decoded;
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

std::vector<ChapterPiece> FindChapterPieces(std::string_view text, const HeadingTest& isHeading,
                                            std::int32_t perPiece,
                                            const std::function<void()>& pump,
                                            ChapterStats* stats) {
    ChapterStats seen;
    std::size_t chapterStart = 0;
    const auto chapterAt = [&](std::size_t start) {
        seen.longestChapter = std::max(seen.longestChapter, start - chapterStart);
        chapterStart = start;
    };
    std::vector<ChapterPiece> pieces;
    bool anyHeading = false;
    bool textBeforeFirst = false;
    bool textSinceHeading = false;  // a non-blank line after the last heading
    std::int32_t chaptersInPiece = 0;
    std::size_t pos = 0;
    std::size_t lines = 0;
    while (pos < text.size()) {
        std::size_t next = 0;
        const Line line = LineAt(text, pos, next);
        pos = next;
        if (pump && ++lines % kLinesPerPump == 0) {
            pump();
        }
        if (!isHeading(line.text)) {
            if (!IsBlank(line.text)) {
                textSinceHeading = true;
                textBeforeFirst = textBeforeFirst || !anyHeading;
            }
            continue;
        }
        const Text heading(HeadingLabel(line.text));
        ++seen.headings;
        if (!anyHeading) {
            if (textBeforeFirst) {
                pieces.push_back({0, 0, Text()});
                chapterAt(line.start);
            }
            // Blank lines before the first heading go with the first chapter.
            pieces.push_back({textBeforeFirst ? line.start : 0, 0, heading});
            chaptersInPiece = 1;
        } else if (textSinceHeading) {
            chapterAt(line.start);
            if (chaptersInPiece >= perPiece) {
                pieces.push_back({line.start, 0, heading});
                chaptersInPiece = 0;
            }
            ++chaptersInPiece;
        }
        anyHeading = true;
        textSinceHeading = false;
    }
    if (pieces.empty() && !text.empty()) {
        pieces.push_back({0, 0, Text()});
    }
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        pieces[k].end = k + 1 < pieces.size() ? pieces[k + 1].start : text.size();
    }
    chapterAt(text.size());
    if (stats) {
        *stats = seen;
    }
    return pieces;
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

ModeResult SplitAtChapters(SplitContext& ctx, const Text& path) {
    if (const std::optional<SpecProblem> problem = Validate(ctx.Options())) {
        ctx.events.Refused(*problem);
        return ModeResult::ValidationFailed;
    }
    const SplitAtChaptersSpec* spec = std::get_if<SplitAtChaptersSpec>(&ctx.Options().mode);
    HeadingTest isHeading;
    if (!spec || !MakeHeadingTest(spec->expression, isHeading)) {
        return ModeResult::Done;
    }
    const std::int32_t perPiece = std::max(spec->perPiece, std::int32_t{1});
    // A book holds every chapter as a document of its own.
    const bool book = spec->epub;
    DecodedText decoded = ReadWholeText(ctx, path);
    ctx.state.source = decoded.format;
    if (!decoded.opened || !decoded.exact) {
        ctx.state.sourceUnreadable = true;
        if (decoded.opened) {
            ctx.Fail(FailureKind::Unrecognised, path);
        } else {
            ctx.Fail(FailureKind::Unreadable, path, LastSystemError());
        }
        return ModeResult::Done;
    }
    ctx.events.SourceRead(path, decoded.format, decoded.tiedWith);
    const std::string_view text = decoded.text;
    ChapterStats stats;
    const std::vector<ChapterPiece> pieces = FindChapterPieces(
        text, isHeading, book ? 1 : perPiece, [&ctx] { ctx.events.Pump(); }, &stats);
    if (LooksUncut(text.size(), stats)) {
        const int share = static_cast<int>(stats.longestChapter * 100 / text.size());
        ctx.events.BookLooksUncut({path, stats.headings, share});
    }
    if (book) {
        WriteChapterBook(ctx, path, text, pieces, isHeading);
        return ModeResult::Done;
    }
    // Names count the chapters from 1 and the text before the first one as 0.
    const bool hasPreface = !pieces.empty() && pieces.front().heading.empty();
    const std::size_t width = std::max<std::size_t>(3, Digits(pieces.size()));
    ctx.state.pieceNumber = 0;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        ctx.events.Pump();
        if (ctx.Stopped()) {
            break;
        }
        const ChapterPiece& piece = pieces[k];
        ++ctx.state.pieceNumber;
        ctx.state.pieceBytes.assign(text.substr(piece.start, piece.end - piece.start));
        if (ctx.Options().nameFromText) {
            const Text title =
                piece.heading.empty() ? FirstLineTitle(ctx.state.pieceBytes) : piece.heading;
            ctx.state.pieceName = PaddedNumber(hasPreface ? k : k + 1, width);
            if (!title.empty()) {
                ctx.state.pieceName += " " + SanitizeFileName(title);
            }
        }
        ctx.state.pieceHeading = piece.heading;
        WritePiece(ctx, path);
        ctx.state.pieceName.clear();
        ctx.state.pieceHeading.clear();
    }
    ctx.state.pieceBytes.clear();
    return ModeResult::Done;
}

}  // namespace qs
