#include "job/rejoin_pieces.h"

#include <algorithm>
#include <vector>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "platform/services.h"
#include "platform/sha256.h"
#include "platform/system_error.h"
#include "text/characters.h"

namespace qs {
namespace {

constexpr std::int64_t kChunk = 1 << 20;

using Kind = RejoinFailure::Kind;

// The piece opened by its path, when that is still the file the plan means.
std::unique_ptr<ReadHandle> OpenPiece(const PieceFile& piece,
                                      std::optional<RejoinFailure>& failure) {
    std::unique_ptr<ReadHandle> in = Fs().OpenRead(piece.path);
    if (!in) {
        failure = RejoinFailure{Kind::Unreadable, piece.path, LastSystemError(), {}};
        return nullptr;
    }
    if (piece.identity) {
        const std::optional<FileId> now = in->Identity();
        if (now && *now != *piece.identity) {
            failure = RejoinFailure{Kind::Changed, piece.path, 0, {}};
            return nullptr;
        }
    }
    return in;
}

std::optional<RejoinFailure> RejoinBytes(const RejoinPlan& plan, AtomicWriter* out) {
    Sha256 sha;
    std::int64_t size = 0;
    Bytes buffer(static_cast<std::size_t>(kChunk), '\0');
    for (std::size_t i = 0; i < plan.pieceCount; ++i) {
        const PieceFile piece = plan.piece(i);
        std::optional<RejoinFailure> failure;
        std::unique_ptr<ReadHandle> in = OpenPiece(piece, failure);
        if (!in) {
            return failure;
        }
        std::int64_t got = 0;
        while ((got = in->Read(buffer.data(), kChunk)) > 0) {
            const std::string_view bytes(buffer.data(), static_cast<std::size_t>(got));
            sha.Add(bytes);
            size += got;
            if (out && !out->Write(bytes)) {
                return RejoinFailure{Kind::NotWritten, Text(), LastSystemError(), {}};
            }
        }
        if (got != 0) {
            return RejoinFailure{Kind::Unreadable, piece.path, LastSystemError(), {}};
        }
    }
    if (size != plan.size || sha.Hex() != plan.sha256) {
        return RejoinFailure{Kind::Changed, Text(), 0, {}};
    }
    return std::nullopt;
}

// What the pieces of a text split may lack to give the source back: the line break the
// source had where the pieces have CR LF, and what it had after the last piece.
struct Lacking {
    Text lineBreak = "\r\n";
    Text end;
};

// The ends the plan names first, then every line break, the one the source is likeliest
// to have first.
std::vector<Lacking> WaysToTry(const RejoinPlan& plan) {
    std::vector<Lacking> ways;
    for (const Text& end : plan.ends) {
        ways.push_back({"\r\n", end});
    }
    std::vector<Text> breaks = {"\r\n", "\n", "\r"};
    if (const auto likely = std::find(breaks.begin(), breaks.end(), plan.likelyBreak);
        likely != breaks.end()) {
        std::rotate(breaks.begin(), likely, likely + 1);
    }
    for (const Text& lineBreak : breaks) {
        ways.push_back({lineBreak, lineBreak});
        ways.push_back({lineBreak, ""});
    }
    return ways;
}

// One pass over the pieces as one way gives the whole back, piece by piece, so that no more
// than a piece is held: decoded, joined, its breaks as the way has them, encoded. Each part
// goes to put; false from put ends the pass. A CR at the end of a part waits for the next
// one, as a CR LF may straddle two.
std::optional<RejoinFailure> PassOver(const RejoinPlan& plan, const Lacking& way,
                                      const std::function<bool(std::string_view)>& put) {
    Text held;
    const bool rebreak = plan.breaksNormalised && way.lineBreak != "\r\n";
    for (std::size_t i = 0; i < plan.pieceCount; ++i) {
        const PieceFile piece = plan.piece(i);
        std::optional<RejoinFailure> failure;
        std::unique_ptr<ReadHandle> in = OpenPiece(piece, failure);
        if (!in) {
            return failure;
        }
        const DecodedText decoded = DecodeTextHandle(
            std::move(in), plan.reencoded ? TextEncoding::Undetected : plan.source.encoding);
        if (!decoded.opened || !decoded.exact) {
            return RejoinFailure{Kind::NotRestorable, Text(), 0, "分块无法解码"};
        }
        const bool last = i + 1 == plan.pieceCount;
        Text part;
        part.swap(held);
        if (i > 0) {
            part.append(plan.joiner);
        }
        part.append(decoded.text);
        if (last) {
            part += way.end;
        } else if (rebreak && !part.empty() && part.back() == '\r') {
            held.push_back('\r');
            part.pop_back();
        }
        if (rebreak) {
            part = ReplaceAll(part, "\r\n", way.lineBreak);
        }
        const std::optional<Bytes> bytes =
            EncodeText(part, {plan.source.encoding, plan.source.mark && i == 0});
        if (!bytes) {
            return RejoinFailure{Kind::NotRestorable, Text(), 0, {}};
        }
        if (!put(*bytes)) {
            return RejoinFailure{Kind::NotRestorable, Text(), 0, {}};
        }
    }
    return std::nullopt;
}

std::optional<RejoinFailure> RejoinText(const RejoinPlan& plan, AtomicWriter* out) {
    for (const Lacking& way : WaysToTry(plan)) {
        Sha256 sha;
        std::int64_t size = 0;
        std::optional<RejoinFailure> failure = PassOver(plan, way, [&](std::string_view bytes) {
            sha.Add(bytes);
            size += static_cast<std::int64_t>(bytes.size());
            return size <= plan.size;
        });
        if (failure && failure->kind != Kind::NotRestorable) {
            return failure;  // a piece that cannot be read back gives no way
        }
        if (failure && !failure->why.empty()) {
            return failure;
        }
        if (failure || size != plan.size || sha.Hex() != plan.sha256) {
            continue;
        }
        if (!out) {
            return std::nullopt;
        }
        // The way is found: the whole goes out in one more pass.
        bool written = true;
        failure = PassOver(plan, way, [&](std::string_view bytes) {
            written = out->Write(bytes);
            return written;
        });
        if (!written) {
            return RejoinFailure{Kind::NotWritten, Text(), LastSystemError(), {}};
        }
        return failure;
    }
    return RejoinFailure{Kind::NotRestorable, Text(), 0, {}};
}

}  // namespace

std::optional<RejoinFailure> RejoinPieces(const RejoinPlan& plan, AtomicWriter* out) {
    return plan.bytes ? RejoinBytes(plan, out) : RejoinText(plan, out);
}

Text LackingEnd(const SplitParams& params, const TextFormat& source, const Bytes& tail) {
    const auto* m = std::get_if<SplitAtSeparatorParams>(&params.mode);
    if (!m) {
        return Text();
    }
    // A text that ends in the separator has no piece after it: the pieces lack it.
    const std::optional<Bytes> encoded = EncodeText(m->separator, {source.encoding});
    const bool ends = encoded && !encoded->empty() && tail.size() >= encoded->size() &&
                      tail.compare(tail.size() - encoded->size(), encoded->size(), *encoded) == 0;
    return ends ? m->separator : Text();
}

}  // namespace qs
