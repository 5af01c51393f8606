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

#define QS_WIDE __attribute__((target("avx512bw")))

QS_WIDE inline std::uint64_t BelowWide(__m512i v, int limit) {
    return _mm512_cmplt_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(limit)));
}

QS_WIDE inline std::uint64_t EqualWide(__m512i v, int value) {
    return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(value)));
}

// A block in one register, each class one compare that gives its 64 bits at once.
QS_WIDE BlockMasks ClassifyWide(const unsigned char* p, bool strict, bool) {
    const __m512i v = _mm512_loadu_si512(p);
    BlockMasks m;
    m.nonAscii = static_cast<std::uint64_t>(_mm512_movepi8_mask(v));
    m.cont = BelowWide(v, 0xC0);
    m.belowE0 = BelowWide(v, 0xE0);
    m.belowF0 = BelowWide(v, 0xF0);
    m.belowF5 = BelowWide(v, 0xF5);
    if (strict) {
        m.belowC2 = BelowWide(v, 0xC2);
        m.belowA0 = BelowWide(v, 0xA0);
        m.below90 = BelowWide(v, 0x90);
        m.isE0 = EqualWide(v, 0xE0);
        m.isED = EqualWide(v, 0xED);
        m.isF0 = EqualWide(v, 0xF0);
        m.isF4 = EqualWide(v, 0xF4);
    }
    return m;
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
    return wide ? BlockPrefix<ClassifyWide>(p, n, strict, sawNonAscii)
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
