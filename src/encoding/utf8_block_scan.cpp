#include "encoding/utf8_block_scan.h"

#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace qs {

#if defined(__SSE2__)
namespace {

// One bit per byte of a 64-byte block for each class of byte the test tells apart.
struct BlockMasks {
    std::uint64_t nonAscii = 0;  // 80-FF
    std::uint64_t cont = 0;      // 80-BF
    std::uint64_t belowE0 = 0;   // 80-DF
    std::uint64_t belowF0 = 0;   // 80-EF
    std::uint64_t belowF5 = 0;   // 80-F4
    std::uint64_t belowC2 = 0;   // 80-C1
    std::uint64_t belowA0 = 0;   // 80-9F
    std::uint64_t below90 = 0;   // 80-8F
    std::uint64_t isE0 = 0;
    std::uint64_t isED = 0;
    std::uint64_t isF0 = 0;
    std::uint64_t isF4 = 0;
};

// Bytes compare as signed: 80-FF are -128..-1, below every ASCII byte.
inline std::uint64_t Below(__m128i v, int limit, int part) {
    const auto bits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(limit)))));
    return static_cast<std::uint64_t>(bits) << (16 * part);
}

inline __m128i Is(__m128i v, int value) {
    return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(value)));
}

inline std::uint64_t Equal(__m128i v, int value, int part) {
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(Is(v, value))))
           << (16 * part);
}

// The classes a block of Chinese text needs; false when it holds a rarer byte (C0, C1, E0,
// ED, F0-FF), for which Classify tells the rest.
bool ClassifyCommon(const unsigned char* p, BlockMasks& m) {
    __m128i rare = _mm_setzero_si128();
    for (int part = 0; part < 4; ++part) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
        m.nonAscii |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(v)))
                      << (16 * part);
        m.cont |= Below(v, 0xC0, part);
        m.belowE0 |= Below(v, 0xE0, part);
        const __m128i high =
            _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(0xF0))), v);
        rare = _mm_or_si128(
            rare, _mm_or_si128(_mm_or_si128(high, Is(v, 0xE0)),
                               _mm_or_si128(Is(v, 0xED), _mm_or_si128(Is(v, 0xC0), Is(v, 0xC1)))));
    }
    m.belowF0 = m.nonAscii;
    m.belowF5 = m.nonAscii;
    return _mm_movemask_epi8(rare) == 0;
}

// full: the strict checks must look at this block's first byte.
BlockMasks Classify(const unsigned char* p, bool strict, bool full) {
    BlockMasks m;
    if (!full && ClassifyCommon(p, m)) {
        return m;
    }
    m = BlockMasks();
    for (int part = 0; part < 4; ++part) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
        m.nonAscii |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(v)))
                      << (16 * part);
        m.cont |= Below(v, 0xC0, part);
        m.belowE0 |= Below(v, 0xE0, part);
        m.belowF0 |= Below(v, 0xF0, part);
        m.belowF5 |= Below(v, 0xF5, part);
        if (strict) {
            m.belowC2 |= Below(v, 0xC2, part);
            m.belowA0 |= Below(v, 0xA0, part);
            m.below90 |= Below(v, 0x90, part);
            m.isE0 |= Equal(v, 0xE0, part);
            m.isED |= Equal(v, 0xED, part);
            m.isF0 |= Equal(v, 0xF0, part);
            m.isF4 |= Equal(v, 0xF4, part);
        }
    }
    return m;
}

#define QS_WIDE __attribute__((target("avx512f,avx512bw")))

// Faults of a pair of bytes (the byte before, the byte), one bit per kind; a pair is at
// fault where the tables of the byte before's high and low nibble and of the byte's high
// nibble all hold the same bit.
constexpr std::uint8_t kTooShort = 1 << 0;   // a lead not followed by a continuation byte
constexpr std::uint8_t kTooLong = 1 << 1;    // ASCII followed by a continuation byte
constexpr std::uint8_t kOverlong3 = 1 << 2;  // E0 80-9F
constexpr std::uint8_t kTooLarge = 1 << 3;   // F4 90-BF, F5-FF 90-BF
constexpr std::uint8_t kSurrogate = 1 << 4;  // ED A0-BF
constexpr std::uint8_t kOverlong2 = 1 << 5;  // C0-C1 80-BF
constexpr std::uint8_t kBelow90 = 1 << 6;    // F0 80-8F (strict), F5-FF 80-8F
constexpr std::uint8_t kTwoConts = 1 << 7;   // continuation after continuation
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

struct PairTables {
    std::uint8_t before[16];     // by the high nibble of the byte before
    std::uint8_t beforeLow[16];  // by its low nibble
    std::uint8_t after[16];      // by the high nibble of the byte
};

constexpr std::uint8_t kLarge = kCarry | kTooLarge | kBelow90;
constexpr std::uint8_t kCont8 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kBelow90;
constexpr std::uint8_t kCont9 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge;
constexpr std::uint8_t kContAB = kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge;

constexpr PairTables kStrictPairs = {
    {kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts,
     kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
     kTooShort | kOverlong3 | kSurrogate, kTooShort | kTooLarge | kBelow90},
    {kCarry | kOverlong3 | kOverlong2 | kBelow90, kCarry | kOverlong2, kCarry, kCarry,
     kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
     kLarge | kSurrogate, kLarge, kLarge},
    {kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kCont8,
     kCont9, kContAB, kContAB, kTooShort, kTooShort, kTooShort, kTooShort},
};

// Only leads F5-FF and the lengths of the sequences count.
constexpr PairTables kPlausiblePairs = {
    {kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts,
     kTwoConts, kTwoConts, kTwoConts, kTooShort, kTooShort, kTooShort,
     kTooShort | kTooLarge | kBelow90},
    {kCarry, kCarry, kCarry, kCarry, kCarry, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
     kLarge, kLarge, kLarge, kLarge},
    {kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kCont8,
     kCont9, kContAB, kContAB, kTooShort, kTooShort, kTooShort, kTooShort},
};

QS_WIDE inline __m512i Table(const std::uint8_t (&table)[16]) {
    return _mm512_maskz_broadcast_i32x4(0xFFFF,
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(table)));
}

// The block moved on by n bytes, the last n bytes of the block before in front.
template <int n>
QS_WIDE inline __m512i Before(__m512i block, __m512i previous) {
    const __m512i lanes =
        _mm512_permutex2var_epi64(previous, _mm512_set_epi64(13, 12, 11, 10, 9, 8, 7, 6), block);
    return _mm512_alignr_epi8(block, lanes, 16 - n);
}

// BlockPrefix's judgement by pairs of bytes looked up in tables, 64 at a time: a handful of
// instructions per block where the masks take dozens.
QS_WIDE std::size_t WidePrefix(const unsigned char* p, std::size_t n, bool strict,
                               bool& sawNonAscii) {
    const PairTables& pairs = strict ? kStrictPairs : kPlausiblePairs;
    const __m512i before = Table(pairs.before);
    const __m512i beforeLow = Table(pairs.beforeLow);
    const __m512i after = Table(pairs.after);
    const __m512i nibble = _mm512_set1_epi8(0x0F);
    __m512i previous = _mm512_setzero_si512();
    std::uint64_t nonAscii = 0;
    std::uint64_t lastNonAscii = 0;
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i block = _mm512_loadu_si512(p + i);
        const std::uint64_t high = _mm512_movepi8_mask(block);
        const __m512i prev1 = Before<1>(block, previous);
        const __m512i pair = _mm512_and_si512(
            _mm512_and_si512(
                _mm512_shuffle_epi8(before, _mm512_and_si512(_mm512_srli_epi16(prev1, 4), nibble)),
                _mm512_shuffle_epi8(beforeLow, _mm512_and_si512(prev1, nibble))),
            _mm512_shuffle_epi8(after, _mm512_and_si512(_mm512_srli_epi16(block, 4), nibble)));
        // Third and fourth bytes of a sequence must be continuation bytes.
        const __m512i third = _mm512_subs_epu8(Before<2>(block, previous), _mm512_set1_epi8(0x60));
        const __m512i fourth = _mm512_subs_epu8(Before<3>(block, previous), _mm512_set1_epi8(0x70));
        const __m512i owed = _mm512_and_si512(_mm512_or_si512(third, fourth),
                                              _mm512_set1_epi8(static_cast<char>(0x80)));
        const __m512i fault = _mm512_xor_si512(owed, pair);
        if (_mm512_test_epi8_mask(fault, fault) != 0) {
            break;
        }
        previous = block;
        nonAscii |= lastNonAscii;
        lastNonAscii = high;
    }
    if (i > 0) {
        // The last sequence accepted may run on into what was not: back to its lead byte.
        for (std::size_t back = 1; back <= 3; ++back) {
            const unsigned char b = p[i - back];
            if ((b & 0xC0) != 0x80) {
                const std::size_t length = b >= 0xF0 ? 4 : (b >= 0xE0 ? 3 : (b >= 0xC0 ? 2 : 1));
                if (length > back) {
                    i -= back;
                    lastNonAscii &= ~std::uint64_t{0} >> back;
                }
                break;
            }
        }
    }
    sawNonAscii = (nonAscii | lastNonAscii) != 0;
    return i;
}

#undef QS_WIDE

using Wide = unsigned __int128;

template <BlockMasks (*ClassifyBlock)(const unsigned char*, bool, bool)>
std::size_t BlockPrefix(const unsigned char* p, std::size_t n, bool strict, bool& sawNonAscii) {
    sawNonAscii = false;
    std::size_t i = 0;
    // Continuation bytes the sequences of the blocks before still owe this one.
    std::uint64_t owed = 0;
    // The strict checks look at the byte after a lead: the last block's leads, one bit each.
    std::uint64_t lastE0 = 0, lastED = 0, lastF0 = 0, lastF4 = 0;
    std::uint64_t nonAscii = 0;  // of the blocks before the last one accepted
    std::uint64_t lastNonAscii = 0;
    for (; i + 64 <= n; i += 64) {
        const BlockMasks m = ClassifyBlock(p + i, strict, (lastE0 | lastED | lastF0 | lastF4) != 0);
        const std::uint64_t lead2 = m.belowE0 & ~m.cont;
        const std::uint64_t lead3 = m.belowF0 & ~m.belowE0;
        const std::uint64_t lead4 = m.belowF5 & ~m.belowF0;
        const Wide expected = (Wide{lead2} << 1) | (Wide{lead3} << 1) | (Wide{lead3} << 2) |
                              (Wide{lead4} << 1) | (Wide{lead4} << 2) | (Wide{lead4} << 3);
        bool fault = (static_cast<std::uint64_t>(expected) | owed) != m.cont ||
                     (m.nonAscii & ~m.belowF5) != 0;
        if (strict) {
            const std::uint64_t afterE0 = (m.isE0 << 1) | lastE0;
            const std::uint64_t afterED = (m.isED << 1) | lastED;
            const std::uint64_t afterF0 = (m.isF0 << 1) | lastF0;
            const std::uint64_t afterF4 = (m.isF4 << 1) | lastF4;
            fault = fault || (m.belowC2 & ~m.cont) != 0 || (afterE0 & m.belowA0) != 0 ||
                    (afterED & m.cont & ~m.belowA0) != 0 || (afterF0 & m.below90) != 0 ||
                    (afterF4 & m.cont & ~m.below90) != 0;
            lastE0 = m.isE0 >> 63;
            lastED = m.isED >> 63;
            lastF0 = m.isF0 >> 63;
            lastF4 = m.isF4 >> 63;
        }
        if (fault) {
            break;
        }
        owed = static_cast<std::uint64_t>(expected >> 64);
        nonAscii |= lastNonAscii;
        lastNonAscii = m.nonAscii;
    }
    if (owed != 0) {
        // The last sequence accepted runs on into what was not: back to its lead byte, which
        // is among the last three of the last block.
        std::size_t back = 1;
        while ((p[i - back] & 0xC0) == 0x80) {
            ++back;
        }
        i -= back;
        lastNonAscii &= ~std::uint64_t{0} >> back;
    }
    sawNonAscii = (nonAscii | lastNonAscii) != 0;
    return i;
}

}  // namespace

std::size_t Utf8BlockPrefix(const unsigned char* p, std::size_t n, bool strict, bool& sawNonAscii) {
    static const bool wide = __builtin_cpu_supports("avx512bw");
    return wide ? WidePrefix(p, n, strict, sawNonAscii)
                : BlockPrefix<Classify>(p, n, strict, sawNonAscii);
}

std::size_t Utf8BlockPrefixBaseline(const unsigned char* p, std::size_t n, bool strict,
                                    bool& sawNonAscii) {
    return BlockPrefix<Classify>(p, n, strict, sawNonAscii);
}

#else

std::size_t Utf8BlockPrefix(const unsigned char*, std::size_t, bool, bool& sawNonAscii) {
    sawNonAscii = false;
    return 0;
}

std::size_t Utf8BlockPrefixBaseline(const unsigned char*, std::size_t, bool, bool& sawNonAscii) {
    sawNonAscii = false;
    return 0;
}

#endif

}  // namespace qs
