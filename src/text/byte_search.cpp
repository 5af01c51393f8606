#include "text/byte_search.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qs {

std::size_t FindAnyOf(std::string_view bytes, char a, char b, char c) {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    auto hits = [&](std::size_t at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                                         _mm_cmpeq_epi8(v, vc));
        return static_cast<unsigned>(_mm_movemask_epi8(any));
    };
    for (; i + 32 <= n; i += 32) {
        const unsigned low = hits(i);
        const unsigned high = hits(i + 16);
        if ((low | high) != 0) {
            const unsigned both = low | (high << 16);
            return i + static_cast<std::size_t>(__builtin_ctz(both));
        }
    }
    for (; i + 16 <= n; i += 16) {
        if (const unsigned mask = hits(i); mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == a || p[i] == b || p[i] == c) {
            return i;
        }
    }
    return n;
}

}  // namespace qs
