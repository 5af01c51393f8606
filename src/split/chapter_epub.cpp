#include "split/chapter_epub.h"

#include <ctime>
#include <deque>
#include <optional>
#include <string>

#include "epub/epub_book.h"
#include "fs/output_names.h"
#include "fs/paths.h"
#include "job/chapter_heading.h"
#include "platform/services.h"
#include "platform/sha256.h"
#include "split/piece_writer.h"

namespace qs {
namespace {

// An internal text as the book carries it: in UTF-8, 繁简-converted when asked. nullopt
// when either step cannot be made exactly.
std::optional<std::string> BookText(std::string_view text, ZhConversion zh) {
    std::string utf8;
    if (!text.empty() && !InternalToUtf8(text, utf8)) {
        return std::nullopt;
    }
    if (zh == ZhConversion::None || utf8.empty()) {
        return utf8;
    }
    return Zh().ConvertUtf8(utf8, zh);
}

std::string NowUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return stamp;
}

// The same book always gets the same identifier: a name-based UUID of its text and of the
// conversion asked for; empty when no hash can be made.
std::string Identifier(std::string_view text, ZhConversion zh) {
    Sha256 sha;
    sha.Add(text);
    sha.Add(std::string(1, static_cast<char>('0' + static_cast<int>(zh))));
    const std::string digest = sha.Hex();
    return digest.empty() ? digest : UuidUrnFromDigest(digest);
}

void Unconverted(SplitContext& ctx, const Text& path) {
    ++ctx.state.piecesMade;
    ++ctx.state.piecesFailed;
    ctx.Fail(FailureKind::NotConverted, path);
}

// One book of the pieces [first, end): named stem + suffix.
bool WriteChapterBook(SplitContext& ctx, const Text& source, std::string_view text,
                      const std::vector<ChapterPiece>& allPieces, std::size_t first,
                      std::size_t end, const BookContents& contents, const Text& suffix) {
    static const Text kDotEpub = ".epub";
    const std::vector<ChapterPiece> pieces(allPieces.begin() + static_cast<std::ptrdiff_t>(first),
                                           allPieces.begin() + static_cast<std::ptrdiff_t>(end));
    const ZhConversion zh = ctx.state.outputRequest.zh;
    const Text stem = SourceParts(ctx, source).stem + suffix;
    const Text name = FitFileName(stem, Text(), kDotEpub, kMaxPieceNameChars);
    const Text target = ctx.outputFolder + (name.empty() ? stem + kDotEpub : name);
    ctx.state.pieceNumber = 1;

    const bool preface = !pieces.empty() && pieces.front().heading.empty();
    const Text title = preface
                           ? FirstLineTitle(text.substr(pieces.front().start,
                                                        pieces.front().end - pieces.front().start))
                           : stem;
    EpubMetadata metadata;
    const std::optional<std::string> bookTitle = BookText(title, zh);
    if (!bookTitle) {
        Unconverted(ctx, target);
        return false;
    }
    metadata.title = *bookTitle;
    metadata.identifier =
        Identifier(text.substr(pieces.empty() ? 0 : pieces.front().start,
                               pieces.empty() ? 0 : pieces.back().end - pieces.front().start),
                   zh);
    const bool identified = !metadata.identifier.empty();
    metadata.modified = NowUtc();
    EpubBook epub(std::move(metadata));
    if (!preface) {
        epub.AddDocument({{*bookTitle, EpubLine::Kind::Title}});
    }

    // The headings of the contents, in text order as the pieces are.
    const std::vector<TocEntry>& toc = contents.toc;
    std::size_t nextHeading = 0;
    for (const ChapterPiece& piece : pieces) {
        ctx.events.Pump();
        if (ctx.Stopped()) {
            return false;
        }
        const std::string_view internal = text.substr(piece.start, piece.end - piece.start);
        const std::optional<std::string> utf8 = BookText(internal, zh);
        if (!utf8) {
            Unconverted(ctx, target);
            return false;
        }
        while (nextHeading < toc.size() && toc[nextHeading].start < piece.start) {
            ++nextHeading;
        }
        // The lines of both forms go in step: neither conversion touches a line break.
        std::vector<EpubLine> lines;
        std::deque<std::string> labels;
        bool titled = !piece.heading.empty();
        std::size_t at = 0;
        std::size_t atUtf8 = 0;
        while (at < internal.size()) {
            std::size_t next = 0;
            std::size_t nextUtf8 = utf8->size();
            const Line line = LineAt(internal, at, next);
            const std::string_view shown =
                atUtf8 < utf8->size() ? LineAt(*utf8, atUtf8, nextUtf8).text : std::string_view();
            at = next;
            atUtf8 = nextUtf8;
            if (!titled && !HeadingTitle(line.text).empty()) {
                titled = true;
                lines.push_back({shown, EpubLine::Kind::Title});
            } else if (nextHeading < toc.size() &&
                       toc[nextHeading].start == piece.start + line.start) {
                const std::optional<std::string> label = BookText(toc[nextHeading].title, zh);
                if (!label) {
                    Unconverted(ctx, target);
                    return false;
                }
                lines.push_back(
                    {labels.emplace_back(*label), EpubLine::Kind::Heading, toc[nextHeading].level});
                ++nextHeading;
            } else {
                lines.push_back({shown, EpubLine::Kind::Paragraph});
            }
        }
        epub.AddDocument(lines);
    }

    const EpubResult made = epub.Finish();
    std::unique_ptr<AtomicWriter> out =
        made.ok && identified && !name.empty() ? Fs().CreateAtomic(target) : nullptr;
    const bool written = out && out->Write(made.bytes);
    Sha256 sha;
    if (ctx.Options().deleteSources) {
        sha.Add(made.bytes);
    }
    return FinishNamedOutput(ctx, stem, kDotEpub, std::move(out), written,
                             static_cast<std::int64_t>(made.bytes.size()),
                             TextFormat{TextEncoding::Utf8, false, true}, sha.Hex());
}

}  // namespace

void WriteChapterBooks(SplitContext& ctx, const Text& source, std::string_view text,
                       const std::vector<ChapterPiece>& pieces, const BookContents& book,
                       bool perVolume) {
    if (!perVolume) {
        WriteChapterBook(ctx, source, text, pieces, 0, pieces.size(), book, Text());
        return;
    }
    // A book begins at each piece that begins with a volume.
    std::vector<std::size_t> starts;
    std::vector<Text> names;
    std::size_t e = 0;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        while (e < book.toc.size() && book.toc[e].start < pieces[k].start) {
            ++e;
        }
        const bool volume =
            e < book.toc.size() && book.toc[e].start == pieces[k].start && book.toc[e].level == 1;
        if (volume && !starts.empty() && names.back().empty()) {
            names.back() = " " + SanitizeFileName(book.toc[e].title);  // the front matter's too
        } else if (volume || starts.empty()) {
            starts.push_back(k);
            names.push_back(volume ? " " + SanitizeFileName(book.toc[e].title) : Text());
        }
    }
    for (std::size_t b = 0; b < starts.size(); ++b) {
        const std::size_t end = b + 1 < starts.size() ? starts[b + 1] : pieces.size();
        if (!WriteChapterBook(ctx, source, text, pieces, starts[b], end, book, names[b]) &&
            ctx.Stopped()) {
            return;
        }
    }
}

}  // namespace qs
