#include "job/rejoin_pieces.h"

#include <algorithm>
#include <cstring>
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

// The whole as the pieces give it back, to be the plan's: compared with the whole itself as
// it goes by, read a chunk at a time, or hashed.
class WholeCheck {
public:
    explicit WholeCheck(const RejoinPlan& plan) : m_plan(plan) {
        if (plan.whole) {
            m_same = plan.whole->Seek(0);
            m_held.resize(static_cast<std::size_t>(kChunk));
        } else {
            m_sha.emplace();
        }
    }
    void Add(std::string_view bytes) {
        if (m_sha) {
            m_sha->Add(bytes);
        }
        while (m_same && !bytes.empty()) {
            if (m_at == m_end && Refill() <= 0) {
                m_same = false;
                break;
            }
            const std::size_t n = std::min(bytes.size(), m_end - m_at);
            m_same = std::memcmp(bytes.data(), m_held.data() + m_at, n) == 0;
            m_at += n;
            bytes.remove_prefix(n);
        }
    }
    bool Matches() {
        if (m_sha) {
            const std::string hex = m_sha->Hex();
            return !hex.empty() && hex == m_plan.sha256;
        }
        // The whole has nothing more than what was given back, to its very end.
        return m_same && m_at == m_end && Refill() == 0;
    }

private:
    // The next chunk of the whole: how many bytes, 0 at its end, -1 when it cannot be read.
    std::int64_t Refill() {
        const std::int64_t got = m_plan.whole->Read(m_held.data(), kChunk);
        m_at = 0;
        m_end = got > 0 ? static_cast<std::size_t>(got) : 0;
        return got;
    }

    const RejoinPlan& m_plan;
    std::optional<Sha256> m_sha;
    bool m_same = false;
    Bytes m_held;
    std::size_t m_at = 0, m_end = 0;
};

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

// Each piece's bytes as read back, in order: take(i, bytes, first) gets them in parts of at
// most a chunk (first: the piece's first part, empty for an empty piece); false from it ends
// the reading. A piece whose length its opening told is read in one call a chunk; otherwise a
// read that fills less than the buffer ends it. A piece that ends sooner than it did when
// opened only makes the whole differ.
using TakeBytes = std::function<bool(std::size_t, std::string_view, bool)>;
std::optional<RejoinFailure> ReadPieces(const RejoinPlan& plan, const TakeBytes& take) {
    Bytes buffer(static_cast<std::size_t>(kChunk), '\0');
    for (std::size_t i = 0; i < plan.pieceCount; ++i) {
        const PieceFile piece = plan.piece(i);
        std::optional<RejoinFailure> failure;
        std::unique_ptr<ReadHandle> in = OpenPiece(piece, failure);
        if (!in) {
            return failure;
        }
        std::int64_t left = in->OpenedLength().value_or(-1);
        for (bool first = true;; first = false) {
            const std::int64_t want = left < 0 ? kChunk : std::min(left, kChunk);
            const std::int64_t got = want == 0 ? 0 : in->Read(buffer.data(), want);
            if (got < 0) {
                return RejoinFailure{Kind::Unreadable, piece.path, LastSystemError(), {}};
            }
            if (!take(i, std::string_view(buffer.data(), static_cast<std::size_t>(got)), first)) {
                return RejoinFailure{Kind::NotRestorable, Text(), 0, {}};
            }
            left -= left < 0 ? 0 : got;
            if (got < want || left == 0) {
                break;
            }
        }
    }
    return std::nullopt;
}

std::optional<RejoinFailure> RejoinBytes(const RejoinPlan& plan, AtomicWriter* out) {
    WholeCheck whole(plan);
    std::int64_t size = 0;
    std::optional<RejoinFailure> notWritten;
    const std::optional<RejoinFailure> failure =
        ReadPieces(plan, [&](std::size_t, std::string_view bytes, bool) {
            whole.Add(bytes);
            size += static_cast<std::int64_t>(bytes.size());
            if (out && !bytes.empty() && !out->Write(bytes)) {
                notWritten = RejoinFailure{Kind::NotWritten, Text(), LastSystemError(), {}};
            }
            return !notWritten;
        });
    if (notWritten) {
        return notWritten;
    }
    if (failure) {
        return failure;
    }
    if (size != plan.size || !whole.Matches()) {
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
        const bool bare = lineBreak == plan.likelyBreak && plan.endsInBreak == false;
        if (bare) {
            ways.push_back({lineBreak, ""});
        }
        ways.push_back({lineBreak, lineBreak});
        if (!bare) {
            ways.push_back({lineBreak, ""});
        }
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

// The width of the code unit in which the pieces' own bytes can be joined and their line
// breaks put back without decoding them, as decoding, joining and encoding them again
// would: one byte where no character of several bytes holds a CR or an LF byte (UTF-8,
// GB18030, Big5), two in UTF-16; 0 where the pieces are in another encoding than the whole.
std::size_t UnitWidth(const RejoinPlan& plan) {
    if (plan.reencoded) {
        return 0;
    }
    switch (plan.source.encoding) {
        case TextEncoding::Gb18030:
        case TextEncoding::Utf8:
        case TextEncoding::Big5:
        case TextEncoding::Big5Hkscs:
            return 1;
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be:
            return 2;
        default:
            return 0;
    }
}

// A way as the pieces' own bytes have it.
struct EncodedWay {
    std::size_t unit = 1;
    Bytes joiner, end, mark, crlf, cr, lineBreak;
    bool rebreak = false;
};

std::optional<EncodedWay> EncodeWay(const RejoinPlan& plan, const Lacking& way, std::size_t unit) {
    EncodedWay e;
    e.unit = unit;
    e.rebreak = plan.breaksNormalised && way.lineBreak != "\r\n";
    e.mark = ByteOrderMark(plan.source.encoding);
    const TextFormat plain{plan.source.encoding, false};
    const Text crlf = "\r\n", cr = "\r";
    for (const auto& [text, bytes] : {std::pair<const Text&, Bytes&>{plan.joiner, e.joiner},
                                      {way.end, e.end},
                                      {crlf, e.crlf},
                                      {cr, e.cr},
                                      {way.lineBreak, e.lineBreak}}) {
        std::optional<Bytes> encoded = EncodeText(text, plain);
        if (!encoded || (encoded->empty() && !text.empty())) {
            return std::nullopt;
        }
        bytes = std::move(*encoded);
    }
    return e;
}

// The stream of the whole with every CR LF (whole code units) given as the way's line break;
// a CR at the end, or part of a unit, waits for what follows.
class Rebreaker {
public:
    Rebreaker(const EncodedWay& way, const std::function<bool(std::string_view)>& put)
        : m_way(way), m_put(put) {}

    bool Add(std::string_view bytes) {
        if (!m_way.rebreak) {
            return bytes.empty() || m_put(bytes);
        }
        m_in.assign(m_held);
        m_in.append(bytes);
        const std::string_view in(m_in);
        const std::size_t unit = m_way.unit;
        std::size_t limit = in.size() - in.size() % unit;
        if (limit >= unit && in.compare(limit - unit, unit, m_way.cr) == 0) {
            limit -= unit;
        }
        if (unit == 1 && m_way.crlf.size() == 2 && m_way.lineBreak.size() <= 2) {
            Rebreak(in.substr(0, limit));
        } else {
            RebreakUnits(in, limit);
        }
        m_held.assign(in.substr(limit));
        return m_out.empty() || m_put(m_out);
    }
    bool Finish() { return m_held.empty() || m_put(m_held); }

private:
    // Bytes of one byte each, the whole never longer than what it is made from: the breaks
    // are found as memchr finds their CR, and the rest copied around them.
    void Rebreak(std::string_view in) {
        m_out.resize(in.size());
        char* o = m_out.data();
        const char* p = in.data();
        const char* const end = p + in.size();
        const auto copy = [&o](const char* from, std::size_t n) {
            std::memcpy(o, from, n);
            o += n;
        };
        while (p < end) {
            const auto* cr = static_cast<const char*>(
                std::memchr(p, m_way.crlf[0], static_cast<std::size_t>(end - p)));
            if (cr == nullptr || cr + 1 >= end) {
                copy(p, static_cast<std::size_t>(end - p));
                break;
            }
            const bool pair = cr[1] == m_way.crlf[1];
            copy(p, static_cast<std::size_t>(cr - p) + (pair ? 0 : 1));
            if (pair) {
                copy(m_way.lineBreak.data(), m_way.lineBreak.size());
            }
            p = cr + (pair ? 2 : 1);
        }
        m_out.resize(static_cast<std::size_t>(o - m_out.data()));
    }
    void RebreakUnits(std::string_view in, std::size_t limit) {
        const std::size_t unit = m_way.unit;
        m_out.clear();
        std::size_t from = 0;
        for (std::size_t at = in.find(m_way.crlf);
             at != std::string_view::npos && at + m_way.crlf.size() <= limit;
             at = in.find(m_way.crlf, at + 1)) {
            if (at % unit != 0 || at < from) {
                continue;
            }
            m_out.append(in.substr(from, at - from));
            m_out.append(m_way.lineBreak);
            from = at + m_way.crlf.size();
        }
        m_out.append(in.substr(from, limit - from));
    }

    const EncodedWay& m_way;
    const std::function<bool(std::string_view)>& m_put;
    Bytes m_held, m_in, m_out;
};

// One pass over the pieces' own bytes as one way gives the whole back: the mark once, each
// piece without its own, the joiner between them and the end after the last.
std::optional<RejoinFailure> BytePass(const RejoinPlan& plan, const EncodedWay& way,
                                      const std::function<bool(std::string_view)>& put) {
    const RejoinFailure refused{Kind::NotRestorable, Text(), 0, {}};
    if (plan.source.mark && !put(way.mark)) {
        return refused;
    }
    Rebreaker whole(way, put);
    std::optional<RejoinFailure> failure =
        ReadPieces(plan, [&](std::size_t i, std::string_view bytes, bool first) {
            if (first && i > 0 && !whole.Add(way.joiner)) {
                return false;
            }
            if (first && !way.mark.empty() && bytes.starts_with(way.mark)) {
                bytes.remove_prefix(way.mark.size());
            }
            return whole.Add(bytes);
        });
    if (failure) {
        return failure;
    }
    if (!whole.Add(way.end) || !whole.Finish()) {
        return refused;
    }
    return std::nullopt;
}

using Pass = std::function<std::optional<RejoinFailure>(
    const Lacking&, const std::function<bool(std::string_view)>&)>;

// Tries each way with the pass until one gives the whole back; the whole goes to out then.
std::optional<RejoinFailure> TryWays(const RejoinPlan& plan, AtomicWriter* out, const Pass& pass) {
    for (const Lacking& way : WaysToTry(plan)) {
        WholeCheck whole(plan);
        std::int64_t size = 0;
        std::optional<RejoinFailure> failure = pass(way, [&](std::string_view bytes) {
            whole.Add(bytes);
            size += static_cast<std::int64_t>(bytes.size());
            return size <= plan.size;
        });
        if (failure && failure->kind != Kind::NotRestorable) {
            return failure;  // a piece that cannot be read back gives no way
        }
        if (failure && !failure->why.empty()) {
            return failure;
        }
        if (failure || size != plan.size || !whole.Matches()) {
            continue;
        }
        if (!out) {
            return std::nullopt;
        }
        // The way is found: the whole goes out in one more pass.
        std::optional<RejoinFailure> notWritten;
        failure = pass(way, [&](std::string_view bytes) {
            if (!out->Write(bytes)) {
                notWritten = RejoinFailure{Kind::NotWritten, Text(), LastSystemError(), {}};
            }
            return !notWritten;
        });
        return notWritten ? notWritten : failure;
    }
    return RejoinFailure{Kind::NotRestorable, Text(), 0, {}};
}

// The pieces' own bytes first, which costs one read of them; decoded where those give no
// way (a piece whose decoder takes a mark otherwise, another encoding).
std::optional<RejoinFailure> RejoinText(const RejoinPlan& plan, AtomicWriter* out) {
    if (const std::size_t unit = UnitWidth(plan); unit != 0) {
        std::optional<RejoinFailure> failure =
            TryWays(plan, out, [&](const Lacking& way, const auto& put) {
                const std::optional<EncodedWay> encoded = EncodeWay(plan, way, unit);
                return encoded ? BytePass(plan, *encoded, put)
                               : RejoinFailure{Kind::NotRestorable, Text(), 0, {}};
            });
        if (!failure || failure->kind != Kind::NotRestorable) {
            return failure;
        }
    }
    return TryWays(plan, out,
                   [&](const Lacking& way, const auto& put) { return PassOver(plan, way, put); });
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
