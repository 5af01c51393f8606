#include "split/utf8_cutting.h"

#include <algorithm>
#include <cstring>

#include "platform/random.h"
#include "split/text_piece.h"

namespace qs {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t kLowBits = 0x0101010101010101ULL;

// Whether byte i begins a character, given the byte before it.
bool Begins(unsigned char byte, char previous) {
    return (byte & 0xC0) != 0x80 && !(byte == '\n' && previous == '\r');
}

// Eight bytes without a CR: every byte that is no continuation byte begins a character.
bool CountsPlainly(std::uint64_t word) {
    const std::uint64_t cr = word ^ (kLowBits * '\r');
    return ((cr - kLowBits) & ~cr & kHighBits) == 0;
}

int BeginningsIn(std::uint64_t word) {
    // One bit per continuation byte, summed into the top byte by the multiplication.
    const std::uint64_t continuation = (word & ~(word << 1) & kHighBits) >> 7;
    return 8 - static_cast<int>((continuation * kLowBits) >> 56);
}

using Lanes = unsigned char __attribute__((vector_size(16)));
constexpr std::size_t kBlock = 64;

// The characters that begin in the kBlock bytes at p, which hold no CR; -1 when they hold one.
int BeginningsInBlock(const char* p) {
    Lanes lanes[kBlock / sizeof(Lanes)];
    std::memcpy(lanes, p, sizeof lanes);
    Lanes crs{};
    Lanes continuations{};  // at most four in a lane
    for (const Lanes& v : lanes) {
        crs |= reinterpret_cast<Lanes>(v == '\r');
        continuations -= reinterpret_cast<Lanes>((v & 0xC0) == 0x80);
    }
    std::uint64_t cr[2];
    std::uint64_t halves[2];
    std::memcpy(cr, &crs, sizeof cr);
    std::memcpy(halves, &continuations, sizeof halves);
    if ((cr[0] | cr[1]) != 0) {
        return -1;
    }
    return static_cast<int>(kBlock) - static_cast<int>(((halves[0] + halves[1]) * kLowBits) >> 56);
}

}  // namespace

bool CutInOwnUtf8(SplitContext& ctx, TextSliceReader& reader) {
    if (!ctx.cutUtf8Bodies || !reader.BodyIsUtf8()) {
        return false;
    }
    reader.HandOutBodyBytes();
    ctx.state.piecesInUtf8 = true;
    return true;
}

std::size_t Utf8CharCounter::Pass(std::string_view text, std::size_t from, std::int64_t& wanted) {
    std::size_t i = from;
    const std::size_t n = text.size();
    while (i < n) {
        // Whole blocks, then words, while the character that ends the stretch lies beyond.
        if (wanted > static_cast<std::int64_t>(kBlock) && i + kBlock <= n && m_previous != '\r') {
            const int begun = BeginningsInBlock(text.data() + i);
            if (begun >= 0) {
                wanted -= begun;
                m_previous = text[i + kBlock - 1];
                i += kBlock;
                continue;
            }
        }
        if (wanted > 8 && i + 8 <= n && m_previous != '\r') {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, sizeof word);
            if (CountsPlainly(word)) {
                wanted -= BeginningsIn(word);
                m_previous = text[i + 7];
                i += 8;
                continue;
            }
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        if (Begins(byte, m_previous)) {
            if (wanted == 0) {
                return i;
            }
            --wanted;
        }
        m_previous = static_cast<char>(byte);
        ++i;
    }
    return n;
}

std::int32_t PieceCharCounts::Next(SplitContext& ctx) {
    if (const auto* chars = std::get_if<SplitByCharsParams>(&ctx.Options().mode)) {
        m_min = chars->min;
        m_max = chars->max;
    }
    return std::max(RandomInRange(m_min, m_max), std::int32_t{1});
}

bool SplitUtf8ByCharCount(SplitContext& ctx, const Text& path, TextSliceReader& reader) {
    std::string_view slice;
    if (!reader.Next(slice)) {
        return false;
    }
    if (slice.empty()) {
        return true;
    }
    ReseedRandom();
    ctx.state.pieceNumber = 0;
    TextPiece piece(ctx, path);
    Utf8CharCounter counter;
    PieceCharCounts counts;
    std::size_t pos = 0;
    do {
        std::int64_t wanted = counts.Next(ctx);
        ++ctx.state.pieceNumber;
        for (;;) {
            const std::size_t end = counter.Pass(slice, pos, wanted);
            piece.Append(slice.substr(pos, end - pos));
            pos = end;
            if (pos < slice.size()) {
                break;
            }
            if (!reader.Next(slice)) {
                return false;
            }
            pos = 0;
            if (slice.empty()) {
                break;
            }
        }
        piece.Finish();
        ctx.events.Pump();
    } while (!ctx.Stopped() && pos < slice.size());
    return true;
}

}  // namespace qs
