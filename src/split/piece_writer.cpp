#include "split/piece_writer.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "encoding/text_slices.h"
#include "fs/output_names.h"
#include "fs/paths.h"
#include "job/rejoin_pieces.h"
#include "job/told_files.h"
#include "platform/services.h"
#include "platform/system_error.h"
#include "split/title_sentence.h"
#include "text/characters.h"

namespace qs {
namespace {

bool IsSourceOfJob(SplitContext& ctx, const Text& path) {
    if (ctx.state.sourcePaths.count(path) != 0) {
        return true;
    }
    const auto id = Fs().FileIdentity(path);
    return id && ctx.state.sourceIdentities.count(*id) != 0;
}

// A file that no piece may replace: a source of the job (also one under another name), a
// piece it wrote, or anything the folder does not list as an older file of exactly that name.
bool IsTakenByTheJob(SplitContext& ctx, const Text& path) {
    return ctx.state.piecesWritten.Holds(path) || IsSourceOfJob(ctx, path) ||
           !ctx.state.olderFiles.Holds(path);
}

// why: the system's reason for a piece not written.
void CountPiece(SplitContext& ctx, bool written, const Text& path, int why) {
    ++ctx.state.piecesMade;
    if (!written) {
        ++ctx.state.piecesFailed;
        // A full disk is told once: every later piece there would fail the same way.
        if (!ctx.outputFull) {
            ctx.Fail(FailureKind::NotWritten, path, why);
        }
        if (IsOutOfSpace(why)) {
            ctx.outputFull = true;
            if (const auto id = Fs().FileIdentity(PathDirectory(path))) {
                ctx.fullDevices.insert(id->first);
            }
        }
    }
    ctx.events.PieceMade(ctx.state.pieceNumber);
}

// Why an output of a piece was not written: the system's reason for its making, or for the
// last call on it that failed; 0 for one never made.
int WhyNotWritten(const PieceOutput& out) {
    if (!out) {
        return out.error().systemError;
    }
    return *out ? (*out)->SystemError() : 0;
}

// What the current piece was written as: in the encoding asked for, in the source's own,
// or (byte modes) the source's bytes unchanged.
TextFormat WrittenFormat(SplitContext& ctx) {
    const TextEncoding encoding = ctx.state.source.encoding;
    if (ctx.state.piecesKeepBytes) {
        return {encoding, ctx.state.source.mark && ctx.state.pieceNumber == 1};
    }
    if (encoding == TextEncoding::Undetected && !ctx.state.piecesInUtf8) {
        return {};
    }
    if (const std::optional<TextFormat>& asked = ctx.state.outputRequest.encoding) {
        return FormatOf(*asked);
    }
    const TextEncoding written = ctx.state.piecesInUtf8 ? TextEncoding::Utf8 : encoding;
    return {written, ctx.state.source.mark && !ByteOrderMark(written).empty()};
}

}  // namespace

const PathParts& SourceParts(SplitContext& ctx, const Text& source) {
    if (ctx.state.partsOf != source) {
        ctx.state.partsOf = source;
        ctx.state.sourceParts = ParsePath(source);
    }
    return ctx.state.sourceParts;
}

namespace {

Text NumberedPathOf(SplitContext& ctx, const Text& source, std::int32_t number) {
    const Text suffix = "_" + std::to_string(number);
    SplitState::NumberedStem& cut = ctx.state.numberedStem;
    if (cut.source != source || cut.suffixBytes != suffix.size()) {
        cut.source = source;
        cut.suffixBytes = suffix.size();
        const PathParts& parts = SourceParts(ctx, source);
        cut.dotExtension = parts.DotExtension();
        const Text name = FitFileName(parts.stem, suffix, cut.dotExtension, kMaxPieceNameChars);
        cut.fits = !name.empty();
        cut.stem = cut.fits ? name.substr(0, name.size() - suffix.size() - cut.dotExtension.size())
                            : Text();
    }
    Text path = ctx.outputFolder;
    path += cut.fits ? cut.stem + suffix : suffix.substr(1);
    path += cut.dotExtension;
    return path;
}

}  // namespace

// The writer of a piece is made for this path: Commit replaces only there.
Text NumberedPiecePath(SplitContext& ctx, const Text& source) {
    return NumberedPathOf(ctx, source, ctx.state.pieceNumber);
}

namespace {

using NameResult = AtomicWriter::NameResult;

// The name without its extension.
Text StemOf(const Text& name, const Text& dotExt) {
    return name.substr(0, name.size() - dotExt.size());
}

// Names the finished file path when that is free (an older file there is replaced only when
// mayReplace says so), otherwise stem + suffix + " (k)" + extension (the stem cut to fit) with
// the first k from 2 up to lastVariant whose name is free. The search goes on where it last
// ended for that name, so that a title that repeats in every piece costs no more than one
// that does not. Sources of the job are never replaced, even those split and deleted already.
template <typename MayReplace>
NameResult NamePieceAs(SplitContext& ctx, AtomicWriter& out, Text& path, MayReplace mayReplace,
                       const Text& stem, const Text& suffix, const Text& dotExt,
                       int lastVariant = kMaxNameVariants) {
    int noVariant = 2;
    return NameWithoutReplacing(
        out, path, [&ctx](const Text& p) { return ctx.state.sourcePaths.count(p) != 0; },
        mayReplace,
        [&](int variant) {
            const Text name =
                FitFileName(stem, suffix + VariantSuffix(variant), dotExt, kMaxPieceNameChars);
            return name.empty() ? name : ctx.outputFolder + name;
        },
        // Where the search goes on is kept only for names that needed a variant.
        [&]() -> int& {
            return lastVariant < 2
                       ? noVariant
                       : ctx.state.nextVariant.try_emplace(stem + suffix, 2).first->second;
        },
        lastVariant);
}

// Gives the finished piece its name. A free name is taken by the failing link itself;
// a numbered name held by an older file replaces it, unless that file is a source of the
// job or one of its pieces, which are never replaced: the " (k)" rule gives another name.
bool NamePiece(SplitContext& ctx, AtomicWriter& out, const Text& source, std::string_view text,
               Text& path) {
    const Text numberedPath = path;
    const Text& dotExt = ctx.state.numberedStem.dotExtension;
    const auto never = [] { return false; };
    if (!ctx.state.pieceName.empty()) {
        // A name the mode chose (a chapter heading) is never replaced either.
        const Text name = FitFileName(ctx.state.pieceName, "", dotExt, kMaxPieceNameChars);
        if (!name.empty()) {
            Text candidatePath = ctx.outputFolder + name;
            const NameResult result =
                NamePieceAs(ctx, out, candidatePath, never, StemOf(name, dotExt), "", dotExt);
            if (result != NameResult::Taken) {
                path = candidatePath;
                return result == NameResult::Named;
            }
        }
    } else if (ctx.Options().nameFromText) {
        // A name comes from the beginning of a large piece, wherever the piece was held.
        if (text.size() > ctx.nameTextBytes) {
            text = text.substr(
                0, WholeCharacterBytes(TextEncoding::Gb18030, text.substr(0, ctx.nameTextBytes)));
        }
        Text last;
        for (int attempt = 1; attempt <= 10; ++attempt) {
            const std::int32_t minimum = attempt <= 3 ? 15 : (attempt <= 6 ? 10 : 5);
            const Text candidate = FitFileName(SanitizeFileName(TrimSpaces(PickTitleSentence(
                                                   text, minimum, [&ctx] { ctx.events.Pump(); }))),
                                               "", dotExt, kMaxPieceNameChars);
            if (candidate.empty()) {
                continue;
            }
            last = StemOf(candidate, dotExt);
            // Each attempt is a name of its own; only the last one gets variants.
            Text candidatePath = ctx.outputFolder + candidate;
            const NameResult result =
                NamePieceAs(ctx, out, candidatePath, never, last, "", dotExt, 1);
            if (result != NameResult::Taken) {
                path = candidatePath;
                return result == NameResult::Named;
            }
        }
        if (!last.empty()) {
            Text candidatePath = ctx.outputFolder + last + dotExt;
            const NameResult result = NamePieceAs(ctx, out, candidatePath, never, last, "", dotExt);
            if (result != NameResult::Taken) {
                path = candidatePath;
                return result == NameResult::Named;
            }
        }
    }
    path = numberedPath;
    const Text& stem = SourceParts(ctx, source).stem;
    const Text suffix = "_" + std::to_string(ctx.state.pieceNumber);
    // Once a numbered piece of the source took a " (k)" name, the rest take that k or a later
    // one, never a plain name that is free only because another cut in the folder (a second
    // job's) made fewer pieces: the pieces of two cuts never mix under one set of names.
    // Only names that needed a variant are kept: the table does not grow with the pieces.
    int& variant = ctx.state.sourceVariant;
    if (variant >= 2) {
        int& next = ctx.state.nextVariant.try_emplace(stem + suffix, 2).first->second;
        next = std::max(next, variant);
        const Text name =
            FitFileName(stem, suffix + VariantSuffix(variant), dotExt, kMaxPieceNameChars);
        if (!name.empty()) {
            path = ctx.outputFolder + name;
        }
    }
    // Even a source already split and deleted keeps its name from the pieces. A source
    // reached under another name is there, so its name is taken.
    const bool named = NamePieceAs(
                           ctx, out, path, [&] { return !IsTakenByTheJob(ctx, path); }, stem,
                           suffix, dotExt) == NameResult::Named;
    if (named && path != numberedPath) {
        variant = std::max(variant, ctx.state.nextVariant[stem + suffix] - 1);
    }
    return named;
}

// Records a piece that was named: no later piece replaces it, and the source is deleted
// only while it is there as written (kept only when it is to be deleted). numbered: the
// piece has the numbered name of source for its number.
// readBack: its stamp as it was read back when named, holding what was written.
void NotePiece(SplitContext& ctx, const Text& path, std::int64_t size, bool durable,
               std::optional<FileId> identity, const Text& source = Text(), bool numbered = false,
               const std::optional<FileStamp>& readBack = std::nullopt) {
    ctx.state.piecesWritten.Add(path);
    // Pieces are named in the output folder; one elsewhere would go unrecorded, and its
    // source would stay.
    if (!durable || !path.starts_with(ctx.outputFolder)) {
        return;
    }
    SplitState::SourcePieces& pieces = ctx.state.sourcePieces;
    if (pieces.numberedSizes.empty()) {
        pieces.source = source;
        pieces.firstNumber = ctx.state.pieceNumber;
    }
    // The pieces keep their order: the numbered run first, then every other one.
    const auto next = pieces.firstNumber + static_cast<std::int64_t>(pieces.numberedSizes.size());
    // A piece read back through its own handle is known by that handle's file; any other
    // is looked up by its name.
    const std::optional<FileId> readBackId =
        readBack ? std::optional<FileId>(FileId{readBack->device, readBack->inode}) : std::nullopt;
    pieces.identities.push_back(identity     ? identity
                                : readBackId ? readBackId
                                             : Fs().FileIdentity(path));
    // What was read back gives the source's bytes on from where the pieces before gave them.
    const std::optional<FileId>& id = pieces.identities.back();
    const bool givesSource = readBackId && id == readBackId && readBack->size == size &&
                             ctx.state.pieceStart == pieces.readBackUpTo;
    pieces.readBackChanges.push_back(givesSource ? readBack->changedNs
                                                 : SplitState::SourcePieces::kNotReadBack);
    if (givesSource) {
        pieces.readBackUpTo += size;
    }
    if (numbered && pieces.others.empty() && source == pieces.source &&
        ctx.state.pieceNumber == next && size <= std::numeric_limits<std::uint32_t>::max()) {
        pieces.numberedSizes.push_back(static_cast<std::uint32_t>(size));
    } else {
        pieces.others.push_back({path.substr(ctx.outputFolder.size()), size});
    }
}

// The end of every piece: its write-back started when the source is to be deleted (the
// flush that waits for it comes once, before the deletion), named, recorded and counted. A piece
// that could not be converted is reported as such, under its number.
bool Finish(SplitContext& ctx, const Text& source, Text path, PieceOutput out, bool written,
            std::int64_t size, std::string_view text, bool unconverted) {
    if (unconverted) {
        ++ctx.state.piecesMade;
        ++ctx.state.piecesFailed;
        // Bytes of a damaged source that a conversion would have to invent characters for.
        ctx.events.Failed({FailureKind::NotConverted, path, 0,
                           ctx.state.sourceDamage.Any() ? ctx.state.sourceDamage.offset : -1,
                           std::exchange(ctx.state.refusedCharacter, Text())});
        ctx.events.PieceMade(ctx.state.pieceNumber);
        return false;
    }
    const bool durable = ctx.Options().deleteSources;
    JobOutput* const writer = out ? out->get() : nullptr;
    if (written && writer && durable) {
        writer->StartWriteBack();
    }
    if (writer) {
        writer->LimitPermissions(ctx.state.sourcePermissions);
        if (ctx.state.sourceAccess) {
            writer->LimitAccess(*ctx.state.sourceAccess);
        }
    }
    const std::size_t numberedBytes = path.size();
    const std::optional<FileId> identity = durable && writer ? writer->Identity() : std::nullopt;
    written = written && writer && NamePiece(ctx, *writer, source, text, path);
    const int why = WhyNotWritten(out);
    const std::optional<FileStamp> readBack = written ? writer->ReadBack() : std::nullopt;
    if (writer) {
        out->reset();
    }
    if (written) {
        // Naming keeps the numbered path or gives another one.
        const bool numbered =
            durable && path.size() == numberedBytes && path == NumberedPiecePath(ctx, source);
        NotePiece(ctx, path, size, durable, identity, source, numbered, readBack);
        ctx.events.OutputWritten(
            {path, size, WrittenFormat(ctx), ctx.sourceIndex, ctx.state.pieceHeading});
    }
    CountPiece(ctx, written, path, why);
    return written;
}

// A piece cut from the source's own UTF-8 bytes as it goes to its file: the mark in front
// of its first slice when the source had one.
Bytes WithMark(SplitContext& ctx, std::string_view utf8, bool first) {
    Bytes bytes;
    if (first && ctx.state.source.mark) {
        bytes = ByteOrderMark(TextEncoding::Utf8);
    }
    bytes += utf8;
    return bytes;
}

// The text of a piece cut from a UTF-8 body; whole characters convert exactly.
std::optional<Bytes> DecodeUtf8Piece(std::string_view utf8) {
    return Conv().Convert(utf8, CharsetName(TextEncoding::Utf8), InternalCharset());
}

}  // namespace

Text SanitizeFileName(const Text& name) {
    static const std::array<std::pair<const char*, const char*>, 8> kWide = {{
        {"\\", "＼"},
        {"/", "／"},
        {":", "："},
        {"*", "＊"},
        {"?", "？"},
        {"|", "｜"},
        {"<", "＜"},
        {">", "＞"},
    }};
    Text out = name;
    for (const auto& [from, to] : kWide) {
        if (FindText(out, from) != std::string::npos) {
            out = ReplaceAll(out, from, U(to));
        }
    }
    for (const char* drop : {"\"", "\r\n", "\r", "\n", "\t"}) {
        if (FindText(out, drop) != std::string::npos) {
            out = ReplaceAll(out, drop, "");
        }
    }
    // A zero byte cannot be part of a file name.
    if (out.find('\0') != std::string::npos) {
        out = ReplaceAll(out, std::string_view("\0", 1), "");
    }
    return out;
}

void NoteRefusedCharacter(SplitContext& ctx, std::string_view text, bool inUtf8) {
    std::optional<Bytes> decoded;
    if (inUtf8) {
        decoded = DecodeUtf8Piece(text);
        text = decoded ? std::string_view(*decoded) : std::string_view();
    }
    if (ctx.state.source.encoding != TextEncoding::Undetected && !ctx.state.outputRequest.Empty()) {
        ctx.state.refusedCharacter =
            FirstRefusedCharacter(text, ctx.state.source, ctx.state.outputRequest);
    }
}

std::optional<Bytes> EncodePieceSlice(SplitContext& ctx, std::string_view text, bool first) {
    if (ctx.state.piecesKeepBytes) {
        return Bytes(text);
    }
    const TextEncoding encoding = ctx.state.source.encoding;
    OutputRequest request = ctx.state.outputRequest;
    std::optional<Bytes> decoded;
    if (ctx.state.piecesInUtf8) {
        if (request.Empty()) {
            return WithMark(ctx, text, first);
        }
        decoded = DecodeUtf8Piece(text);
        if (!decoded) {
            return std::nullopt;
        }
        text = *decoded;
    }
    if (encoding != TextEncoding::Undetected && !request.Empty()) {
        if (!first && request.encoding) {
            request.encoding->mark = false;
        }
        return EncodeOutputText(text, {encoding, first && ctx.state.source.mark}, request);
    }
    if (encoding >= TextEncoding::Utf8 && encoding <= TextEncoding::Big5Hkscs) {
        return EncodeTextKeepingBytes(text, {encoding, first && ctx.state.source.mark});
    }
    return Bytes(text);
}

Text KeptPieceText(SplitContext& ctx, std::string_view piece) {
    const TextFormat& source = ctx.state.source;
    if (ctx.state.pieceNumber == 1 && source.mark) {
        piece.remove_prefix(std::min(ByteOrderMark(source.encoding).size(), piece.size()));
    }
    if (source.encoding < TextEncoding::Utf8 || source.encoding > TextEncoding::Big5Hkscs) {
        return Text(piece);
    }
    TextDamage damage;
    return DecodeKeepingDamage(piece, source.encoding, 0, damage, false,
                               std::numeric_limits<std::int64_t>::max())
        .value_or(Text());
}

bool FinishWrittenPiece(SplitContext& ctx, const Text& source, PieceOutput out, bool written,
                        std::int64_t size, bool unconverted, std::string_view nameText) {
    return Finish(ctx, source, NumberedPiecePath(ctx, source), std::move(out), written, size,
                  nameText, unconverted);
}

bool WritePieceBytes(SplitContext& ctx, const Text& source, std::string_view piece) {
    const TextEncoding encoding = ctx.state.source.encoding;
    const OutputRequest request = ctx.state.outputRequest;
    const bool kept = ctx.state.piecesKeepBytes;
    const bool requested = !kept && encoding != TextEncoding::Undetected && !request.Empty();
    bool inUtf8 = !kept && ctx.state.piecesInUtf8;
    std::optional<Bytes> decoded;
    if (inUtf8 && (requested || ctx.Options().nameFromText)) {
        // A name or another encoding needs the text.
        decoded = DecodeUtf8Piece(piece);
        if (!decoded) {
            return Finish(ctx, source, NumberedPiecePath(ctx, source), NoOutput(), false, 0, Text(),
                          true);
        }
        piece = *decoded;
        inUtf8 = false;
    }
    const bool encoded =
        !kept && !inUtf8 &&
        (requested || (encoding >= TextEncoding::Utf8 && encoding <= TextEncoding::Big5Hkscs));
    Bytes converted;
    // UTF-8 goes to its file as it is, behind the mark when the source had one.
    const bool marked = inUtf8 && ctx.state.source.mark;
    if (inUtf8) {
        if (marked) {
            converted = WithMark(ctx, piece, true);
        }
    } else if (requested) {
        std::optional<Bytes> bytes = EncodeOutputText(piece, ctx.state.source, request);
        if (!bytes) {
            // Never written with substitutes: the piece is missing and reported as such.
            NoteRefusedCharacter(ctx, piece, false);
            return Finish(ctx, source, NumberedPiecePath(ctx, source), NoOutput(), false, 0, Text(),
                          true);
        }
        converted = std::move(*bytes);
    } else if (encoded) {
        std::optional<Bytes> bytes = EncodeTextKeepingBytes(piece, ctx.state.source);
        if (!bytes) {
            return Finish(ctx, source, NumberedPiecePath(ctx, source), NoOutput(), false, 0, Text(),
                          true);
        }
        converted = std::move(*bytes);
        if (piece.empty() && ctx.state.source.mark) {
            converted = ByteOrderMark(encoding);  // an empty piece is marked like the others
        }
    }
    const std::string_view bytes = encoded || marked ? std::string_view(converted) : piece;
    // The text a random name is taken from: byte modes decode the piece, text modes hold
    // it as text already.
    std::string_view text;
    Text decodedBytes;
    if (ctx.Options().nameFromText) {
        if (kept) {
            decodedBytes = KeptPieceText(ctx, piece);
            text = decodedBytes;
        } else if (encoding != TextEncoding::Undetected) {
            text = piece;
        } else if (DecodedText fromBytes = DecodeBytes(piece, ctx.sourceEncoding);
                   fromBytes.exact) {
            // Bytes of no text the program reads give no name.
            decodedBytes = std::move(fromBytes.text);
            text = decodedBytes;
        }
    }
    Text path = NumberedPiecePath(ctx, source);
    PieceOutput out = CreateOutput(path, ctx.events);
    const bool written = out && (bytes.empty() || (*out)->Write(bytes));
    // The source's own bytes, at hand here, are what the piece must hold when it is named.
    if (written && ctx.state.stampsShowChanges && ctx.state.pieceStart >= 0 &&
        bytes.data() == piece.data() && bytes.size() == piece.size()) {
        (*out)->ReadBackWhenNamed(bytes);
    }
    return Finish(ctx, source, std::move(path), std::move(out), written,
                  static_cast<std::int64_t>(bytes.size()), text, false);
}

bool FinishNamedOutput(SplitContext& ctx, const Text& stem, const Text& dotExtension,
                       PieceOutput out, bool written, std::int64_t size, const TextFormat& format,
                       std::string sha256) {
    const Text name = FitFileName(stem, "", dotExtension, kMaxPieceNameChars);
    Text path = ctx.outputFolder + (name.empty() ? dotExtension : name);
    const bool durable = ctx.Options().deleteSources;
    JobOutput* const writer = out ? out->get() : nullptr;
    written = written && writer && !name.empty();
    const std::optional<FileId> identity = durable && writer ? writer->Identity() : std::nullopt;
    if (written) {
        writer->LimitPermissions(ctx.state.sourcePermissions);
        if (ctx.state.sourceAccess) {
            writer->LimitAccess(*ctx.state.sourceAccess);
        }
        if (durable) {
            writer->StartWriteBack();
        }
        written = NamePieceAs(
                      ctx, *writer, path, [&] { return !IsTakenByTheJob(ctx, path); },
                      StemOf(name, dotExtension), "", dotExtension) == NameResult::Named;
    }
    const int why = WhyNotWritten(out);
    if (writer) {
        out->reset();
    }
    if (written) {
        NotePiece(ctx, path, size, durable, identity);
        if (durable) {
            ctx.state.sourcePieces.books.push_back(std::move(sha256));
        }
        ctx.events.OutputWritten({path, size, format, ctx.sourceIndex, Text()});
    }
    CountPiece(ctx, written, path, why);
    return written;
}

bool WritePiece(SplitContext& ctx, const Text& source) {
    return WritePieceBytes(ctx, source, ctx.state.pieceBytes);
}

AtomicWriter::CopyResult CopyPiece(SplitContext& ctx, const Text& source, ReadHandle& in,
                                   std::int64_t start, std::int64_t length) {
    using CopyResult = AtomicWriter::CopyResult;
    Text path = NumberedPiecePath(ctx, source);
    PieceOutput out = CreateOutput(path, ctx.events);
    const CopyResult result = !out         ? CopyResult::WriteFailed
                              : length > 0 ? (*out)->CopyRange(in, start, length)
                                           : CopyResult::Copied;
    if (result == CopyResult::ReadFailed) {
        ctx.readFailure.systemError = (*out)->SystemError();
        // An abandoned writer removes its temporary file and leaves the target alone.
        out->reset();
        ++ctx.state.piecesMade;
        ++ctx.state.piecesFailed;
        ctx.state.sourceUnreadable = true;
        return result;
    }
    const bool written = Finish(ctx, source, std::move(path), std::move(out),
                                result == CopyResult::Copied, length, Text(), false);
    return written ? CopyResult::Copied : CopyResult::WriteFailed;
}

bool PiecesOfSourceAreSafe(SplitContext& ctx) {
    // Many pieces go onto the disk together, with the rest of their file system and the
    // folder entries that name them; a few, or a file system that cannot, one by one. What
    // they hold is looked at afterwards, when they are read back.
    constexpr std::size_t kFlushedTogether = 32;
    const SplitState::SourcePieces& pieces = ctx.state.sourcePieces;
    if (pieces.size() >= kFlushedTogether && Fs().SyncFileSystemOf(ctx.outputFolder)) {
        return true;
    }
    for (std::size_t k = 0; k < pieces.numberedSizes.size(); ++k) {
        const auto number =
            static_cast<std::int32_t>(pieces.firstNumber + static_cast<std::int64_t>(k));
        if (!Fs().SyncToDisk(NumberedPathOf(ctx, pieces.source, number))) {
            return false;
        }
    }
    for (const SplitState::WrittenPiece& piece : pieces.others) {
        if (!Fs().SyncToDisk(ctx.outputFolder + piece.name)) {
            return false;
        }
    }
    // The names: once for the folder of the pieces, and for its parent when the folder
    // itself may be new.
    if (pieces.size() != 0 && !Fs().SyncToDisk(ctx.outputFolder)) {
        return false;
    }
    if (ctx.Options().subfolder) {
        const Text folder = ctx.outputFolder.substr(0, ctx.outputFolder.size() - 1);
        const Text parent = PathDirectory(folder);
        return parent.empty() || Fs().SyncToDisk(parent);
    }
    return true;
}

}  // namespace qs

namespace qs {
namespace {

// The k-th piece of the current source, in the order they join.
PieceFile PieceAt(SplitContext& ctx, std::size_t k) {
    const SplitState::SourcePieces& pieces = ctx.state.sourcePieces;
    const std::optional<FileId>& identity = pieces.identities[k];
    if (k < pieces.numberedSizes.size()) {
        const auto number =
            static_cast<std::int32_t>(pieces.firstNumber + static_cast<std::int64_t>(k));
        return PieceFile{NumberedPathOf(ctx, pieces.source, number), identity};
    }
    return PieceFile{ctx.outputFolder + pieces.others[k - pieces.numberedSizes.size()].name,
                     identity};
}

// Whether every piece was read back as it was named, the pieces giving the source's bytes as
// the split read them, from its start to its end, and each is still that file with that stamp:
// where stamps show every change, nothing has changed in them since.
bool UnchangedSinceReadBack(SplitContext& ctx, const SourceDigest& read) {
    const SplitState::SourcePieces& pieces = ctx.state.sourcePieces;
    if (pieces.readBackUpTo != read.size || pieces.readBackChanges.size() != pieces.size()) {
        return false;
    }
    if (std::find(pieces.readBackChanges.begin(), pieces.readBackChanges.end(),
                  SplitState::SourcePieces::kNotReadBack) != pieces.readBackChanges.end()) {
        return false;
    }
    // Looked at by the thousand, which a file system may do side by side.
    constexpr std::size_t kBatch = 8192;
    const std::size_t numbered = pieces.numberedSizes.size();
    std::vector<Text> paths;
    for (std::size_t first = 0; first < pieces.size(); first += kBatch) {
        const std::size_t end = std::min(pieces.size(), first + kBatch);
        paths.clear();
        for (std::size_t k = first; k < end; ++k) {
            paths.push_back(PieceAt(ctx, k).path);
        }
        const std::vector<std::optional<FileStamp>> stamps = Fs().Stamps(paths);
        for (std::size_t k = first; k < end; ++k) {
            const std::optional<FileStamp>& now = stamps[k - first];
            const std::optional<FileId>& identity = pieces.identities[k];
            const std::int64_t size =
                k < numbered ? pieces.numberedSizes[k] : pieces.others[k - numbered].size;
            if (!now || !identity || *identity != FileId{now->device, now->inode} ||
                now->size != size || now->changedNs != pieces.readBackChanges[k]) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool PiecesCanGiveSourceBack(SplitContext& ctx) {
    const SplitParams& options = ctx.Options();
    return ctx.state.piecesKeepBytes ||
           (!(options.skipBlankLines && std::holds_alternative<SplitByLinesParams>(options.mode)) &&
            ctx.state.outputRequest.zh == ZhConversion::None);
}

bool PiecesGiveSourceBack(SplitContext& ctx, const SourceDigest& read, ReadHandle* source) {
    const SplitParams& options = ctx.Options();
    const SplitState::SourcePieces& pieces = ctx.state.sourcePieces;
    if (!ctx.events.OutputsReachTheDisk()) {
        return true;
    }
    if (pieces.size() != pieces.identities.size()) {
        return false;
    }
    RejoinPlan plan;
    const auto* chapters = std::get_if<SplitAtChaptersParams>(&options.mode);
    if (chapters && chapters->epub) {
        // Each book by itself, as it was made.
        if (pieces.books.size() != pieces.size() || !pieces.numberedSizes.empty()) {
            return false;
        }
        plan.pieceCount = 1;
        plan.bytes = true;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            plan.piece = [&ctx, k](std::size_t) { return PieceAt(ctx, k); };
            plan.size = pieces.others[k].size;
            plan.sha256 = pieces.books[k];
            if (RejoinPieces(plan)) {
                return false;
            }
        }
        return true;
    }
    const bool kept = ctx.state.piecesKeepBytes;
    plan.pieceCount = pieces.size();
    plan.piece = [&](std::size_t k) { return PieceAt(ctx, k); };
    plan.bytes = kept || std::holds_alternative<SplitIntoPartsParams>(options.mode) ||
                 std::holds_alternative<SplitBySizeParams>(options.mode);
    // Pieces read back as they were named are looked at once more, by their stamps; the
    // source, read by this handle, is still the file it was where its stamp is unchanged.
    if (plan.bytes && source && UnchangedSinceReadBack(ctx, read)) {
        return true;
    }
    plan.source = ctx.state.source;
    plan.reencoded = ctx.state.outputRequest.encoding.has_value();
    plan.size = read.size;
    plan.sha256 = read.sha256;
    plan.whole = source;
    if (!source && plan.sha256.empty()) {
        return false;  // nothing to compare with
    }
    plan.breaksNormalised = true;
    // The break the source's last lines end in is the one to try first.
    for (const char* lineBreak : {"\r\n", "\n", "\r"}) {
        const std::optional<Bytes> encoded = EncodeText(lineBreak, {ctx.state.source.encoding});
        if (encoded && !encoded->empty() && read.tail.find(*encoded) != Bytes::npos) {
            plan.likelyBreak = lineBreak;
            plan.endsInBreak = read.tail.ends_with(*encoded);
            break;
        }
    }
    if (std::holds_alternative<SplitByLinesParams>(options.mode)) {
        plan.joiner = "\r\n";
    } else if (const auto* m = std::get_if<SplitAtSeparatorParams>(&options.mode)) {
        plan.joiner = m->separator;
        plan.breaksNormalised = false;
        if (Text end = LackingEnd(options, ctx.state.source, read.tail); !end.empty()) {
            plan.ends.push_back(std::move(end));
        }
    }
    return !RejoinPieces(plan);
}

}  // namespace qs
