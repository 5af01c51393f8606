#include "job/rejoin_pieces.h"

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

// The ends the plan names first, then every line break.
std::vector<Lacking> WaysToTry(const RejoinPlan& plan) {
    std::vector<Lacking> ways;
    for (const Text& end : plan.ends) {
        ways.push_back({"\r\n", end});
    }
    for (const char* breaks : {"\r\n", "\n", "\r"}) {
        ways.push_back({breaks, ""});
        ways.push_back({breaks, breaks});
    }
    return ways;
}

std::optional<RejoinFailure> RejoinText(const RejoinPlan& plan, AtomicWriter* out) {
    Text text;
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
        text += (i > 0 ? plan.joiner : Text()) + decoded.text;
    }
    for (const Lacking& way : WaysToTry(plan)) {
        // The text modes make every line break CR LF; the source may have had LF or CR
        // throughout. The separator mode changes no break.
        const Text body = way.lineBreak == "\r\n" || !plan.breaksNormalised
                              ? text
                              : ReplaceAll(text, "\r\n", way.lineBreak);
        const std::optional<Bytes> bytes = EncodeText(body + way.end, plan.source);
        Sha256 sha;
        sha.Add(bytes.value_or(Bytes()));
        if (bytes && static_cast<std::int64_t>(bytes->size()) == plan.size &&
            sha.Hex() == plan.sha256) {
            if (out && !out->Write(*bytes)) {
                return RejoinFailure{Kind::NotWritten, Text(), LastSystemError(), {}};
            }
            return std::nullopt;
        }
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
