#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "encoding/text_format.h"
#include "job/split_params.h"
#include "platform/file_system.h"
#include "text/text.h"

namespace qs {

// A piece as it is to be read back: by its path, and when its identity is known only while
// the path still leads to that very file.
struct PieceFile {
    Text path;
    std::optional<FileId> identity;
};

// What the pieces of one source must give back, and how they give it: the one proof behind
// the deletion of a source, a manifest's verify and its rejoin.
struct RejoinPlan {
    std::size_t pieceCount = 0;
    std::function<PieceFile(std::size_t)> piece;  // in the order they join
    bool bytes = false;                           // byte modes: the pieces join as they are
    // Text modes: what the split cut away between two pieces (internal code page), and what
    // the pieces may lack after the last one besides a line break (a final separator), the
    // likeliest first.
    Text joiner;
    std::vector<Text> ends;
    bool breaksNormalised = false;    // every line break became CR LF
    Text likelyBreak;                 // the source's, where it can be told: tried first
    std::optional<bool> endsInBreak;  // whether the source ends in it, where that can be told
    TextFormat source;                // the encoding and mark the whole is written in
    bool reencoded = false;           // the pieces are in another encoding: each is detected
    std::int64_t size = 0;            // of the whole
    std::string sha256;               // of the whole
    // The whole itself, as it is on the disk now (read from its start): where given, what
    // the pieces give back must be its bytes, and sha256 is not asked.
    ReadHandle* whole = nullptr;
};

struct RejoinFailure {
    enum class Kind { Unreadable, Changed, NotRestorable, NotWritten };
    Kind kind;
    Text path;            // the piece; empty: the whole
    int systemError = 0;  // Unreadable, NotWritten
    std::string why;      // NotRestorable
};

// Reads the pieces back from the disk as it is now and recomputes the whole, which must be
// the plan's by size, and its bytes or SHA-256; the whole goes to out when one is given.
// nullopt when it is.
std::optional<RejoinFailure> RejoinPieces(const RejoinPlan& plan, AtomicWriter* out = nullptr);

// What the pieces of a split at the separator lack at the end: the separator, when the
// source (whose last bytes tail holds) ends in it; empty otherwise.
Text LackingEnd(const SplitParams& params, const TextFormat& source, const Bytes& tail);

}  // namespace qs
