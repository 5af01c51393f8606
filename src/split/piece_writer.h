#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "job/result.h"
#include "job/told_files.h"
#include "platform/file_system.h"
#include "split/split_state.h"
#include "text/text.h"

namespace qs {

// The output a piece is written into, or why it could not be made.
using PieceOutput = Result<std::unique_ptr<JobOutput>>;
// An output not made (yet), for no reason the system gave.
inline PieceOutput NoOutput() {
    return std::unique_ptr<JobOutput>();
}

// A piece's name has at most this many characters before its extension.
inline constexpr std::size_t kMaxPieceNameChars = 100;

// Characters that file names cannot hold become their full-width forms; double quotes,
// line breaks and TABs are removed. Nothing else changes.
Text SanitizeFileName(const Text& name);

// Names and writes the current piece (state.pieceBytes) in the source's encoding: numbered,
// or named after a sentence of its text. A piece never replaces a source of the running job
// or another of its pieces; such a name gives way to the " (k)" rule. Counts it and tells
// the job's events. False when it could not be written.
bool WritePiece(SplitContext& ctx, const Text& source);
// The same for a piece held elsewhere (text of the internal code page, or raw bytes in the
// byte modes).
bool WritePieceBytes(SplitContext& ctx, const Text& source, std::string_view piece);

// The source's path taken apart, once for each source.
const PathParts& SourceParts(SplitContext& ctx, const Text& source);

// The path a piece's writer is made for: the numbered name of the current piece
// (state.pieceNumber) of source. The finished piece may get another name.
Text NumberedPiecePath(SplitContext& ctx, const Text& source);

// The bytes a slice of a piece's text goes to its file as: converted and encoded as asked,
// in the source's encoding otherwise; the mark only in front of the first slice. nullopt
// when it cannot be converted exactly.
std::optional<Bytes> EncodePieceSlice(SplitContext& ctx, std::string_view text, bool first);
// Once a piece's text (the source's UTF-8 bytes where inUtf8) could not be converted to the
// output's encoding: notes its first character that has no form there, for the failure.
void NoteRefusedCharacter(SplitContext& ctx, std::string_view text, bool inUtf8);

// The text of a piece of the source's own bytes (state.piecesKeepBytes), for its name:
// decoded in the source's encoding (without the mark, which only the first piece has),
// every byte that does not decode kept as the reader keeps it.
Text KeptPieceText(SplitContext& ctx, std::string_view piece);

// Finishes a piece the caller wrote to out (size bytes; out empty or written false when
// that failed): on disk when the source is to be deleted, named as WritePiece names a
// numbered piece, counted and reported. unconverted reports it as a text that could not
// be converted. nameText: the text (internal code page) a piece named after its text takes
// its name from. False when it could not be written.
bool FinishWrittenPiece(SplitContext& ctx, const Text& source, PieceOutput out, bool written,
                        std::int64_t size, bool unconverted = false,
                        std::string_view nameText = {});

// Finishes an output of the source that is not a numbered piece (a book): named stem +
// dotExtension in the output folder (the stem cut to fit), an older file of that name
// replaced unless the job read or wrote it, which gives way to the " (k)" rule. Counted,
// recorded and reported as a piece; sha256: of the bytes written, which reading it back
// before the source goes must give. False when it could not be written.
bool FinishNamedOutput(SplitContext& ctx, const Text& stem, const Text& dotExtension,
                       PieceOutput out, bool written, std::int64_t size, const TextFormat& format,
                       std::string sha256);

// Copies length bytes from position start of the open source into the next numbered piece,
// atomically and without holding the piece in memory. Counts and reports it as WritePiece
// does.
AtomicWriter::CopyResult CopyPiece(SplitContext& ctx, const Text& source, ReadHandle& in,
                                   std::int64_t start, std::int64_t length);

// Whether every piece made from the current source is on the disk together with the folder
// entries that name it. Only then may the source go (once its pieces give it back).
bool PiecesOfSourceAreSafe(SplitContext& ctx);

// Whether the split keeps all that is needed to give a source back: blank lines left out or
// 繁简 converted are lost, so such a source stays.
bool PiecesCanGiveSourceBack(SplitContext& ctx);

// Whether the pieces of the current source, read back from the disk as it is now (each only
// while its name still leads to the file written), give back what the split read of it: byte
// for byte, or decoded and joined by what the mode cut away between them: the bytes of source
// (the handle it was read by) where that is given, the hash of what was read otherwise. A book,
// which gives no source back, must give back the bytes it was written with.
bool PiecesGiveSourceBack(SplitContext& ctx, const SourceDigest& read, ReadHandle* source);

}  // namespace qs
