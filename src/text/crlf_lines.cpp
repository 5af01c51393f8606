#include "text/crlf_lines.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace qs {
namespace {

constexpr std::size_t kBlock = 64;

// The LFs and CRs of the kBlock bytes at p, one bit each.
void BreakMasks(const char* p, std::uint64_t& lf, std::uint64_t& cr) {
    lf = 0;
    cr = 0;
#if defined(__SSE2__)
    const __m128i vlf = _mm_set1_epi8('\n');
    const __m128i vcr = _mm_set1_epi8('\r');
    for (std::size_t i = 0; i < kBlock; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        lf |= static_cast<std::uint64_t>(
                  static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vlf))))
              << i;
        cr |= static_cast<std::uint64_t>(
                  static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vcr))))
              << i;
    }
#else
    for (std::size_t i = 0; i < kBlock; ++i) {
        lf |= static_cast<std::uint64_t>(p[i] == '\n') << i;
        cr |= static_cast<std::uint64_t>(p[i] == '\r') << i;
    }
#endif
}

std::uint64_t Below(int bit) {
    return bit >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bit) - 1;
}

int Count(std::uint64_t bits) {
    return __builtin_popcountll(bits);
}

#if defined(__SSE2__)

#define QS_WIDE __attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi2,popcnt")))

// The same masks in one compare each over the whole block.
QS_WIDE inline void BreakMasksWide(const char* p, std::uint64_t& lf, std::uint64_t& cr) {
    const __m512i v = _mm512_loadu_si512(p);
    lf = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n'));
    cr = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r'));
}

#endif

// Writes the kBlock bytes at p to out with a CR before each byte marked in lfs; returns how
// many it wrote. May write up to 2 * kBlock bytes.
std::size_t ExpandPlain(const char* p, std::uint64_t lfs, char* out) {
    char* o = out;
    for (std::size_t j = 0; j < kBlock; ++j) {
        *o = '\r';
        o += (lfs >> j) & 1;
        *o++ = p[j];
    }
    return static_cast<std::size_t>(o - out);
}

#if defined(__SSE2__)

// Each half of the block goes out in one expanding load: its bytes land where the output
// holds no inserted CR, a CR everywhere else.
QS_WIDE std::size_t ExpandWide(const char* p, std::uint64_t lfs, char* out) {
    const __m512i crs = _mm512_set1_epi8('\r');
    char* o = out;
    for (int half = 0; half < 2; ++half) {
        const std::uint64_t marked = (lfs >> (32 * half)) & 0xFFFFFFFFu;
        // Byte j takes two output places when marked (CR, byte), one otherwise: the CRs'
        // places are the even slots of the marked bytes among all slots that are taken.
        const std::uint64_t evens = _pdep_u64(marked, 0x5555555555555555ULL);
        const std::uint64_t inserted = _pext_u64(evens, evens | 0xAAAAAAAAAAAAAAAAULL);
        const int length = 32 + static_cast<int>(_mm_popcnt_u64(marked));
        const __m512i v =
            _mm512_mask_expandloadu_epi8(crs, ~inserted & Below(length), p + 32 * half);
        _mm512_storeu_si512(o, v);
        o += length;
    }
    return static_cast<std::size_t>(o - out);
}

#endif

using Masker = void (*)(const char*, std::uint64_t&, std::uint64_t&);
using Expander = std::size_t (*)(const char*, std::uint64_t, char*);

// Inlined into each caller, the steps take the caller's instructions (the counts of bits too).
template <Masker Masks, Expander Expand>
__attribute__((always_inline)) inline CrLfLines TakeLines(std::string_view bytes, std::int64_t most,
                                                          char* out) {
    CrLfLines taken;
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    char* o = out;
    bool afterCr = false;
    // Notes the lines up to the LF at bit end of the block at i, whose output begins at o.
    const auto take = [&](std::size_t i, int end, std::uint64_t inserted, std::int64_t lines) {
        taken.consumed = i + static_cast<std::size_t>(end) + 1;
        taken.written = static_cast<std::size_t>(o - out) + static_cast<std::size_t>(end) + 1 +
                        static_cast<std::size_t>(Count(inserted & Below(end + 1))) - 2;
        taken.lines += lines;
    };
    for (std::size_t i = 0; i + kBlock < n && taken.lines < most; i += kBlock) {
        std::uint64_t lf = 0;
        std::uint64_t cr = 0;
        Masks(p + i, lf, cr);
        if ((lf | cr) == 0) {
            // Most blocks of long lines hold no break: they go as they are.
            std::memcpy(o, p + i, kBlock);
            o += kBlock;
            afterCr = false;
            continue;
        }
        const std::uint64_t paired =
            cr & ((lf >> 1) | (std::uint64_t{p[i + kBlock] == '\n'} << 63));
        const std::uint64_t lone = cr & ~paired;
        // An LF after a CR, in this block or at the end of the one before, is a CR LF already.
        const std::uint64_t inserted = lf & ~((cr << 1) | std::uint64_t{afterCr});
        const std::uint64_t ends = lone != 0 ? lf & ((lone & (0 - lone)) - 1) : lf;
        const std::int64_t room = most - taken.lines;
        const std::size_t length =
            inserted == 0 ? (std::memcpy(o, p + i, kBlock), kBlock) : Expand(p + i, inserted, o);
        if (Count(ends) >= room) {
            std::uint64_t rest = ends;
            for (std::int64_t k = 1; k < room; ++k) {
                rest &= rest - 1;
            }
            take(i, __builtin_ctzll(rest), inserted, room);
            break;
        }
        if (ends != 0) {
            take(i, 63 - __builtin_clzll(ends), inserted, Count(ends));
        }
        if (lone != 0) {
            break;
        }
        o += length;
        afterCr = (cr >> 63) != 0;
    }
    return taken;
}

#if defined(__SSE2__)

__attribute__((noinline)) QS_WIDE CrLfLines TakeLinesWide(std::string_view bytes, std::int64_t most,
                                                          char* out) {
    return TakeLines<BreakMasksWide, ExpandWide>(bytes, most, out);
}

#undef QS_WIDE

#endif

}  // namespace

CrLfLines TakeLinesAsCrLf(std::string_view bytes, std::int64_t most, char* out) {
#if defined(__SSE2__)
    static const bool wide = __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512vbmi2") &&
                             __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    if (wide) {
        return TakeLinesWide(bytes, most, out);
    }
#endif
    return TakeLines<BreakMasks, ExpandPlain>(bytes, most, out);
}

CrLfLines TakeLinesAsCrLfBaseline(std::string_view bytes, std::int64_t most, char* out) {
    return TakeLines<BreakMasks, ExpandPlain>(bytes, most, out);
}

}  // namespace qs
