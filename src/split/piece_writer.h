#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/text.h"
#include "split/split_settings.h"

namespace qs {

// Characters that file names cannot hold become their full-width forms; double quotes,
// line breaks and TABs are removed. Nothing else changes.
Text SanitizeFileName(const Text& name);

// stem + suffix, the stem cut at a character boundary so that the name has at most 100
// characters and its UTF-8 form with the extension (".txt", or empty) fits in 255 bytes.
// Empty when no stem character fits or the text has no UTF-8 form.
Text FitPieceName(const Text& stem, const Text& suffix, const Text& dotExtension);

// The path of the current piece (state.pieceNumber, state.pieceBytes) of source in the
// current output folder: numbered, or named after a sentence of its text. Never the path
// of a source of the running job.
Text PiecePath(SplitContext& ctx, const Text& source);

// The numbered path of the current piece (state.pieceNumber) of source.
Text NumberedPiecePath(SplitContext& ctx, const Text& source);

// Counts a piece that was made (or failed to be) at path and shows it in the status label.
void CountPiece(SplitContext& ctx, bool written, const Text& path);

// Names and writes the current piece (state.pieceBytes) in the source's encoding, shows it
// in the status label and counts it. False when it could not be written.
bool WritePiece(SplitContext& ctx, const Text& source);

enum class CopyResult { Written, WriteFailed, ReadFailed };

// Copies length bytes from position start of the open source into the next numbered piece,
// atomically and without holding the piece in memory. Counts and reports it as WritePiece
// does.
CopyResult CopyPiece(SplitContext& ctx, const Text& source, ReadHandle& in, std::int64_t start,
                     std::int64_t length);

}  // namespace qs
