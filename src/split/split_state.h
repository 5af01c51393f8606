#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "encoding/text_decoder.h"
#include "encoding/text_slices.h"
#include "fs/older_files.h"
#include "fs/paths.h"
#include "job/job_events.h"
#include "job/job_request.h"
#include "job/told_files.h"
#include "platform/services.h"
#include "split/read_digest.h"
#include "split/written_pieces.h"
#include "text/text.h"

namespace qs {

// The state of the running split job.
struct SplitState {
    // Pieces carry a byte-order mark only when their source did.
    TextFormat source;
    // The text mode cuts the source's own UTF-8 bytes, not their decoded text: pieces are
    // UTF-8 already, decoded only for a name or an output encoding.
    bool piecesInUtf8 = false;
    // The pieces are the source's own bytes (lines with their breaks): written unchanged,
    // the mark in front of the first only.
    bool piecesKeepBytes = false;
    std::int32_t pieceNumber = 0;
    Bytes pieceBytes;
    // Where the bytes of the current piece begin in the source, when they are the source's
    // own as read (byte modes); -1 otherwise.
    std::int64_t pieceStart = -1;
    // The file systems of the source and its pieces show every change in a stamp: a piece
    // read back as it was named needs no second reading before the source goes.
    bool stampsShowChanges = false;
    // The name the mode chose for the current piece (chapters with 随机改名); empty: the
    // writer names it.
    Text pieceName;
    // The heading line the current piece begins with (chapters); empty otherwise.
    Text pieceHeading;
    // The first character of the current piece that has no form in the output's encoding,
    // once its conversion failed; empty when none could be told.
    Text refusedCharacter;

    // Bookkeeping of the current source, for the decision to delete it.
    std::int64_t piecesMade = 0;
    std::int64_t piecesFailed = 0;
    bool sourceUnreadable = false;
    // The encoding that reads the source as well, where its own was the locale's guess.
    TextEncoding sourceGuessedOver = TextEncoding::Undetected;
    // Where the source's bytes do not decode in the encoding it is read in.
    TextDamage sourceDamage;
    // The output encoding and conversion asked for when the source began: all its pieces
    // take the same form.
    OutputRequest outputRequest;
    // What the split reads of the current source, when it is to be told (manifests) or
    // proved (deletion).
    std::optional<ReadDigest> readDigest;
    // Pieces are no more readable than their source.
    std::uint32_t sourcePermissions = 07777;
    std::optional<Bytes> sourceAccess;  // its access list, where it has one

    // Sources of the running job; no piece may replace one of them.
    std::set<std::pair<std::uint64_t, std::uint64_t>> sourceIdentities;
    std::set<Text> sourcePaths;

    // Every piece the job has written (no other piece may replace one) and the pieces of
    // the current source as written, checked before the source is deleted.
    struct WrittenPiece {
        Text name;  // in the output folder
        std::int64_t size = 0;
    };
    // A source cut into a million pieces keeps four bytes for each that took its numbered
    // name: only its size.
    struct SourcePieces {
        std::size_t size() const { return numberedSizes.size() + others.size(); }
        void clear() { *this = SourcePieces(); }

        Text source;                               // whose numbered names they have
        std::int32_t firstNumber = 0;              // of numberedSizes[0]
        std::vector<std::uint32_t> numberedSizes;  // of the pieces numbered on from there
        std::vector<WrittenPiece> others;
        std::vector<std::optional<FileId>> identities;  // of every piece, in order
        std::vector<std::string> books;  // the SHA-256 of each book as made, in order
        // The change time of each piece as it was read back when named, giving the source's
        // bytes as read (kNotReadBack: it was not); readBackUpTo: how many of those bytes the
        // pieces read back give, in order from the source's start.
        static constexpr std::int64_t kNotReadBack = std::numeric_limits<std::int64_t>::min();
        std::vector<std::int64_t> readBackChanges;
        std::int64_t readBackUpTo = 0;
    };
    WrittenPieces piecesWritten;
    // What the output folder held before: only those files may be replaced.
    OlderFiles olderFiles;
    SourcePieces sourcePieces;
    // The path of the current source, taken apart once: its pieces are named after it.
    Text partsOf;
    PathParts sourceParts;
    // Where the search for a free " (k)" name of a base name goes on.
    std::unordered_map<Text, int> nextVariant;
    // The " (k)" the numbered pieces of the current source took; 0: none yet.
    int sourceVariant = 0;
    // The numbered name of the source's pieces, its stem cut to fit once for each width of
    // the number.
    struct NumberedStem {
        Text source;
        std::size_t suffixBytes = 0;
        Text dotExtension;
        bool fits = false;
        Text stem;
    };
    NumberedStem numberedStem;
};

// What the split code works on: where it reads its request, whom it tells what happens, the
// folder of the current source's pieces and the split state.
struct SplitContext {
    SplitRequestSource& requests;
    JobEvents& events;
    Text outputFolder;
    SplitState state;
    // The text modes read their source this many bytes at a time, and hold a piece up to
    // this size before it goes to its file (tests make both small).
    std::size_t sliceBytes = kTextSliceBytes;
    std::size_t pieceHoldBytes = std::size_t{256} << 10;
    // A piece named after its text takes its name from this many bytes of its beginning in
    // the internal code page; a piece that holds more goes to its file as it grows.
    std::size_t nameTextBytes = std::size_t{8} << 20;
    // The line mode may cut a source before its encoding is settled, as long as no more
    // pieces than this wait for it, nor more than a quarter of the files the process may
    // hold open (each may keep one).
    std::size_t waitingPieces = std::size_t{1} << 16;
    // A UTF-8 body is cut in its own bytes (tests turn this off to compare with the text).
    bool cutUtf8Bodies = true;
    // The current source, 1-based in the job's list.
    std::size_t sourceIndex = 0;
    // File systems (by device) found full: no more pieces are tried on them, and the pieces
    // of the current source go to one of them.
    std::set<std::uint64_t> fullDevices = {};
    bool outputFull = false;
    // What the request said when the job began: every source is read in this encoding
    // (Undetected: detected).
    TextEncoding sourceEncoding = TextEncoding::Undetected;
    // Why the reading of the current source last failed; its handles live as long as the job.
    ReadFailure readFailure = ReadFailure();

    // Opens the current source for reading, telling how far it is read and digesting what
    // is read when asked to.
    std::unique_ptr<ReadHandle> OpenSource(const Text& path) {
        return DigestReading(OpenToldSource(path, events, readFailure),
                             state.readDigest ? &*state.readDigest : nullptr);
    }
    // The parameters as they stand now.
    const SplitParams& Options() const { return requests.Read().params; }
    const SplitRequest& Request() const { return requests.Read(); }
    bool Stopped() const { return outputFull || events.StopRequested(); }
    void Fail(FailureKind kind, const Text& path, int systemError = 0) const {
        events.Failed({kind, path, systemError});
    }
};

}  // namespace qs
