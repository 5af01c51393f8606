#include "split/chapter_epub.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "epub/epub_book.h"
#include "fs/output_names.h"
#include "fs/paths.h"
#include "job/chapter_heading.h"
#include "job/told_files.h"
#include "platform/native_names.h"
#include "platform/services.h"
#include "platform/sha256.h"
#include "platform/system_error.h"
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

void Unconverted(SplitContext& ctx, const Text& path) {
    ++ctx.state.piecesMade;
    ++ctx.state.piecesFailed;
    ctx.Fail(FailureKind::NotConverted, path);
}

// Where the last line break in text[from, end) is; npos when there is none.
std::size_t LastBreak(std::string_view text, std::size_t from, std::size_t end) {
    while (end > from) {
        --end;
        if (text[end] == '\r' || text[end] == '\n') {
            return end;
        }
    }
    return std::string::npos;
}

// Where a part of a line running on past what may be held ends in text (which holds no line
// break but perhaps a CR at its end): after its last character that ends a phrase (a
// punctuation mark or a space), so that a 繁简 conversion sees its phrases whole, unless
// that leaves most of it held; else after its last character known whole. 0 while the line
// holds nothing a reader would see (begun: a part of it was handed out already).
std::size_t PartOfLongLine(std::string_view text, bool begun) {
    std::size_t whole = 0;
    std::size_t phrase = 0;
    bool content = begun;
    // The last few bytes may be the beginning of a character the next slice ends.
    for (std::size_t i = 0; i + 4 <= text.size() && text[i] != '\r';) {
        const std::size_t n = SequenceLength(text, i);
        const auto b = static_cast<unsigned char>(text[i]);
        content = content || (n == 1 ? b > 0x20 : text.substr(i, 2) != "\xA1\xA1");
        i += n;
        whole = i;
        const bool alnum = (b >= '0' && b <= '9') || ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
        if (n == 1 ? !alnum : (n == 2 && b >= 0xA1 && b <= 0xA3)) {
            phrase = i;
        }
    }
    if (!content) {
        return 0;
    }
    return phrase * 2 >= whole ? phrase : whole;
}

// The text read a second time, slice by slice, handed to the books as their documents'
// lines: a piece goes out in runs of whole lines, so that no more than a slice of it is
// held, and a line running on past what a piece may hold goes out in parts.
class ChapterFeed : public EpubFeed {
public:
    ChapterFeed(SplitContext& ctx, TextSliceReader& reader, const std::vector<ChapterPiece>& pieces,
                const BookContents& contents)
        : m_ctx(ctx), m_reader(reader), m_pieces(pieces), m_toc(contents.toc) {}

    // The next book: the pieces [first, end), after a title page of its own when titlePage.
    void BeginBook(std::size_t first, bool titlePage, std::string title) {
        m_first = first;
        m_hasTitlePage = titlePage;
        m_titlePage = std::move(title);
        m_sha = Sha256();
        m_unconverted = false;
    }

    // Passes over what is left of a book not written, up to position (a piece's start or the
    // text's end); false when the text cannot be read so far.
    bool SkipTo(std::size_t position) {
        m_chunk.clear();
        m_continuing = false;
        m_piece = static_cast<std::size_t>(-1);
        while (m_sliceStart + m_slice.size() < position) {
            m_sliceStart += m_slice.size();
            m_at = 0;
            if (!m_reader.Next(m_slice) || m_slice.empty()) {
                m_unread = true;
                return false;
            }
        }
        m_at = std::max(m_at, position - m_sliceStart);
        return true;
    }

    bool Lines(std::size_t index, std::vector<EpubLine>& lines, bool& end) override {
        lines.clear();
        m_labels.clear();
        if (m_hasTitlePage && index == 0) {
            lines.push_back({m_titlePage, EpubLine::Kind::Title});
            end = true;
            return true;
        }
        m_ctx.events.Pump();
        if (m_ctx.Stopped()) {
            return false;
        }
        const std::size_t k = m_first + index - (m_hasTitlePage ? 1 : 0);
        const ChapterPiece& piece = m_pieces[k];
        if (k != m_piece) {
            m_piece = k;
            m_chunkStart = m_sliceStart + m_at;
            m_titled = !piece.heading.empty();
            while (m_nextHeading < m_toc.size() && m_toc[m_nextHeading].start < piece.start) {
                ++m_nextHeading;
            }
        }
        // Whole lines of the piece, as many as the slices read so far hold.
        std::size_t cut = std::string::npos;
        std::size_t part = 0;
        while (cut == std::string::npos) {
            if (m_at == m_slice.size()) {
                m_sliceStart += m_slice.size();
                m_at = 0;
                if (!m_reader.Next(m_slice) || m_slice.empty()) {
                    m_unread = true;  // the text shrank since the first pass, or a read failed
                    return false;
                }
            }
            const std::size_t upTo = std::min(m_slice.size(), piece.end - m_sliceStart);
            const std::string_view taken = m_slice.substr(m_at, upTo - m_at);
            // What was held before has no line break but perhaps a CR at its end: only the
            // bytes added and that one are searched, so that a long line is searched once.
            const std::size_t searchFrom = m_chunk.empty() ? 0 : m_chunk.size() - 1;
            m_sha.Add(taken);
            m_chunk.append(taken);
            m_at = upTo;
            if (m_sliceStart + upTo == piece.end) {
                cut = m_chunk.size();
                break;
            }
            cut = LastBreak(m_chunk, searchFrom, m_chunk.size());
            // A CR at the end may have its LF in the next slice.
            if (cut != std::string::npos && cut + 1 == m_chunk.size() && m_chunk[cut] == '\r') {
                cut = LastBreak(m_chunk, searchFrom, cut);
            }
            cut = cut == std::string::npos ? cut : cut + 1;
            // One line (a heading never) runs on past what a piece may hold.
            const bool heading =
                m_nextHeading < m_toc.size() && m_toc[m_nextHeading].start == m_chunkStart;
            if (cut == std::string::npos && m_chunk.size() >= m_ctx.pieceHoldBytes && !heading) {
                part = PartOfLongLine(m_chunk, m_continuing);
                cut = part > 0 ? part : cut;
            }
        }
        end = m_chunkStart + cut == piece.end;
        const std::string_view internal = std::string_view(m_chunk).substr(0, cut);
        if (!Add(internal, part > 0, lines)) {
            m_unconverted = true;
            return false;
        }
        m_chunk.erase(0, cut);
        m_chunkStart += cut;
        return true;
    }

    std::string Identifier() override {
        m_sha.Add(std::string(1, static_cast<char>('0' + static_cast<int>(Zh()))));
        const std::string digest = m_sha.Hex();
        m_identified = !digest.empty();
        return m_identified ? UuidUrnFromDigest(digest) : digest;
    }

    // Whether the text ended where the first pass found its end.
    bool AtEnd() {
        std::string_view rest;
        return m_at == m_slice.size() && m_reader.Next(rest) && rest.empty();
    }

    bool unconverted() const { return m_unconverted; }
    bool unread() const { return m_unread; }
    bool identified() const { return m_identified; }

private:
    ZhConversion Zh() const { return m_ctx.state.outputRequest.zh; }

    // The lines of internal, whole lines of piece beginning at m_chunkStart, or a part of one
    // that goes on.
    bool Add(std::string_view internal, bool part, std::vector<EpubLine>& lines) {
        const std::optional<std::string> utf8 = BookText(internal, Zh());
        if (!utf8) {
            return false;
        }
        m_utf8 = *utf8;
        // The lines of both forms go in step: neither conversion touches a line break.
        std::size_t at = 0;
        std::size_t atUtf8 = 0;
        while (at < internal.size()) {
            std::size_t next = 0;
            std::size_t nextUtf8 = m_utf8.size();
            const Line line = LineAt(internal, at, next);
            const std::string_view shown =
                atUtf8 < m_utf8.size() ? LineAt(m_utf8, atUtf8, nextUtf8).text : std::string_view();
            at = next;
            atUtf8 = nextUtf8;
            if (part || std::exchange(m_continuing, false)) {
                // A line too long to hold is a paragraph, never a title nor a heading.
                m_continuing = part;
                m_titled = true;
                lines.push_back({shown, EpubLine::Kind::Paragraph, 2, part});
            } else if (!m_titled && !HeadingTitle(line.text).empty()) {
                m_titled = true;
                lines.push_back({shown, EpubLine::Kind::Title});
            } else if (m_nextHeading < m_toc.size() &&
                       m_toc[m_nextHeading].start == m_chunkStart + line.start) {
                const std::optional<std::string> label = BookText(m_toc[m_nextHeading].title, Zh());
                if (!label) {
                    return false;
                }
                lines.push_back({m_labels.emplace_back(*label), EpubLine::Kind::Heading,
                                 m_toc[m_nextHeading].level});
                ++m_nextHeading;
            } else {
                lines.push_back({shown, EpubLine::Kind::Paragraph});
            }
        }
        return true;
    }

    SplitContext& m_ctx;
    TextSliceReader& m_reader;
    const std::vector<ChapterPiece>& m_pieces;
    const std::vector<TocEntry>& m_toc;
    std::size_t m_first = 0;
    std::size_t m_piece = static_cast<std::size_t>(-1);
    bool m_hasTitlePage = false;
    std::string m_titlePage;
    Sha256 m_sha;
    std::string_view m_slice;
    std::size_t m_at = 0;
    std::size_t m_sliceStart = 0;
    std::string m_chunk;  // of the piece being handed out, from m_chunkStart
    std::size_t m_chunkStart = 0;
    std::string m_utf8;
    std::deque<std::string> m_labels;
    std::size_t m_nextHeading = 0;
    bool m_titled = false;
    bool m_continuing = false;  // a part of a line was handed out, and the line goes on
    bool m_unconverted = false;
    bool m_unread = false;
    bool m_identified = false;
};

// A file of the book's own for the container library to write the book into: beside its
// target, or where the output folder is not there yet (a dry run), in the temporary folder.
// Made and removed outside the file-system seam, as the library writes it by name; empty
// when none can be made.
std::string ScratchFile(const Text& folder) {
    std::string native;
    if (!InternalToNative(folder, native)) {
        return std::string();
    }
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    for (std::string at : {native, (error ? std::string("/tmp") : temporary.string()) + "/"}) {
        at += ".qirnsplit-book-XXXXXX";
        const int fd = ::mkstemp(at.data());
        if (fd >= 0) {
            ::close(fd);
            return at;
        }
    }
    return std::string();
}

// The book written to scratch, copied into out; its SHA-256 taken from the same bytes when
// asked. False when any step failed.
bool CopyBook(const std::string& scratch, AtomicWriter& out, bool hash, std::int64_t& size,
              std::string& sha256) {
    std::unique_ptr<ReadHandle> in = Fs().OpenRead(NativeToInternal(scratch));
    if (!in) {
        return false;
    }
    size = in->Length();
    if (size < 0 || out.CopyFrom(*in, size) != AtomicWriter::CopyResult::Copied) {
        return false;
    }
    if (hash) {
        const std::optional<HandleDigest> digest = in->Seek(0) ? Sha256OfRest(*in) : std::nullopt;
        sha256 = digest ? digest->sha256 : std::string();
        return digest && digest->size == size;
    }
    return true;
}

// One book of the pieces [first, end): named stem + suffix.
bool WriteChapterBook(SplitContext& ctx, const Text& source, ChapterFeed& feed,
                      const std::vector<ChapterPiece>& allPieces, std::size_t first,
                      std::size_t end, const Text& suffix) {
    static const Text kDotEpub = ".epub";
    const ZhConversion zh = ctx.state.outputRequest.zh;
    const Text stem = SourceParts(ctx, source).stem + suffix;
    const Text name = FitFileName(stem, Text(), kDotEpub, kMaxPieceNameChars);
    const Text target = ctx.outputFolder + (name.empty() ? stem + kDotEpub : name);
    ctx.state.pieceNumber = 1;

    const bool preface = first < end && allPieces[first].heading.empty();
    const Text title = preface ? allPieces[first].firstTitle : stem;
    EpubMetadata metadata;
    const std::optional<std::string> bookTitle = BookText(title, zh);
    if (!bookTitle) {
        Unconverted(ctx, target);
        return false;
    }
    metadata.title = *bookTitle;
    metadata.modified = NowUtc();
    feed.BeginBook(first, !preface, *bookTitle);
    const std::size_t documents = end - first + (preface ? 0 : 1);

    const std::string scratch = name.empty() ? std::string() : ScratchFile(ctx.outputFolder);
    std::string why = scratch.empty() ? "no file to write the book into"
                                      : WriteEpub(scratch, std::move(metadata), documents, feed);
    // The container library says why as it fails.
    const int bookError = why.empty() || scratch.empty() ? 0 : LastSystemError();
    if (feed.unconverted() || feed.unread()) {
        ::unlink(scratch.c_str());
        if (feed.unconverted()) {
            Unconverted(ctx, target);
        }
        return false;
    }
    PieceOutput out = !why.empty()        ? Error{FailureKind::NotWritten, target, bookError}
                      : feed.identified() ? CreateOutput(target, ctx.events)
                                          : NoOutput();
    std::int64_t size = 0;
    std::string sha256;
    const bool written =
        out && *out && CopyBook(scratch, **out, ctx.Options().deleteSources, size, sha256);
    if (!scratch.empty()) {
        ::unlink(scratch.c_str());
    }
    if (ctx.Stopped()) {
        return false;
    }
    return FinishNamedOutput(ctx, stem, kDotEpub, std::move(out), written, size,
                             TextFormat{TextEncoding::Utf8, false, true}, sha256);
}

}  // namespace

bool WriteChapterBooks(SplitContext& ctx, const Text& source, TextSliceReader& reader,
                       const std::vector<ChapterPiece>& pieces, const BookContents& book,
                       bool perVolume) {
    if (!reader.Rewind()) {
        return false;
    }
    ChapterFeed feed(ctx, reader, pieces, book);
    const auto finish = [&] {
        return ctx.Stopped() || (feed.SkipTo(book.textBytes) && feed.AtEnd());
    };
    if (!perVolume) {
        WriteChapterBook(ctx, source, feed, pieces, 0, pieces.size(), Text());
        return !feed.unread() && finish();
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
        // A book not written may leave some of its text unread: the next begins after it.
        if (!WriteChapterBook(ctx, source, feed, pieces, starts[b], end, names[b]) &&
            (ctx.Stopped() || feed.unread() ||
             (end < pieces.size() && !feed.SkipTo(pieces[end].start)))) {
            return !feed.unread();
        }
    }
    return !feed.unread() && finish();
}

}  // namespace qs
