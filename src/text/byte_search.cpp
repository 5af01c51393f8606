#include "text/byte_search.h"

#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace qs {
namespace {

std::size_t FindAnyOfFrom(const char* p, std::size_t n, std::size_t i, char a, char b, char c) {
    for (; i < n; ++i) {
        if (p[i] == a || p[i] == b || p[i] == c) {
            return i;
        }
    }
    return n;
}

#if defined(__SSE2__)

std::size_t FindAnyOfNarrow(const char* p, std::size_t n, char a, char b, char c) {
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                                         _mm_cmpeq_epi8(v, vc));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(any)); mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
    return FindAnyOfFrom(p, n, i, a, b, c);
}

#define QS_WIDE __attribute__((target("avx512f,avx512bw")))

QS_WIDE inline std::uint64_t Hits(__m512i v, __m512i a, __m512i b, __m512i c) {
    return _mm512_cmpeq_epi8_mask(v, a) | _mm512_cmpeq_epi8_mask(v, b) |
           _mm512_cmpeq_epi8_mask(v, c);
}

// 64 bytes a step, each byte value one compare into a mask; the end by a masked load.
QS_WIDE std::size_t FindAnyOfWide(const char* p, std::size_t n, char a, char b, char c) {
    const __m512i va = _mm512_set1_epi8(a);
    const __m512i vb = _mm512_set1_epi8(b);
    const __m512i vc = _mm512_set1_epi8(c);
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        if (const std::uint64_t mask = Hits(_mm512_loadu_si512(p + i), va, vb, vc); mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctzll(mask));
        }
    }
    if (i < n) {
        const std::uint64_t rest = ~std::uint64_t{0} >> (64 - (n - i));
        const std::uint64_t mask = Hits(_mm512_maskz_loadu_epi8(rest, p + i), va, vb, vc) & rest;
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctzll(mask));
        }
    }
    return n;
}

#undef QS_WIDE

#endif

}  // namespace

std::size_t FindAnyOf(std::string_view bytes, char a, char b, char c) {
#if defined(__SSE2__)
    static const bool wide = __builtin_cpu_supports("avx512bw");
    return wide ? FindAnyOfWide(bytes.data(), bytes.size(), a, b, c)
                : FindAnyOfNarrow(bytes.data(), bytes.size(), a, b, c);
#else
    return FindAnyOfFrom(bytes.data(), bytes.size(), 0, a, b, c);
#endif
}

std::uint64_t MaskOfEither(std::string_view bytes, char a, char b) {
    const std::size_t n = bytes.size() < 64 ? bytes.size() : 64;
    const char* p = bytes.data();
#if defined(__SSE2__)
    if (n == 64) {
        const __m128i va = _mm_set1_epi8(a);
        const __m128i vb = _mm_set1_epi8(b);
        std::uint64_t mask = 0;
        for (std::size_t i = 0; i < 64; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const auto hits = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb))));
            mask |= static_cast<std::uint64_t>(hits) << i;
        }
        return mask;
    }
#endif
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == a || p[i] == b) {
            mask |= std::uint64_t{1} << i;
        }
    }
    return mask;
}

std::size_t FindAnyOfBaseline(std::string_view bytes, char a, char b, char c) {
#if defined(__SSE2__)
    return FindAnyOfNarrow(bytes.data(), bytes.size(), a, b, c);
#else
    return FindAnyOfFrom(bytes.data(), bytes.size(), 0, a, b, c);
#endif
}

std::size_t EitherFinder::NextFromBlock(std::size_t from) {
    const std::size_t n = m_bytes.size();
    while (from < n) {
        const std::size_t block = from & ~std::size_t{63};
        if (block != m_block) {
            m_block = block;
            m_mask = MaskOfEither(m_bytes.substr(block), m_a, m_b);
        }
        const std::uint64_t ahead = m_mask & (~std::uint64_t{0} << (from - block));
        if (ahead != 0) {
            return block + static_cast<std::size_t>(__builtin_ctzll(ahead));
        }
        if (block + 64 >= n) {
            return n;
        }
        // The next block, by its mask while lines are short; past a block without either,
        // by the wide search.
        from = m_mask != 0 ? block + 64
                           : block + 64 + FindAnyOf(m_bytes.substr(block + 64), m_a, m_b, m_b);
    }
    return n;
}

}  // namespace qs
