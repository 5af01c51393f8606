#include "encoding/mojibake_scan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace qs {
namespace {

// So many Chinese characters of UTF-8 in a row in text of the internal code page are no
// chance pairing of its double-byte characters.
constexpr std::size_t kWreckedRun = 4;

using Lanes = unsigned char __attribute__((vector_size(16)));

Lanes LanesAt(const unsigned char* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

bool AnyLane(Lanes v) {
    std::uint64_t words[2];
    std::memcpy(words, &v, sizeof words);
    return (words[0] | words[1]) != 0;
}

bool Continuation(unsigned char b) {
    return b >= 0x80 && b <= 0xBF;
}

// A UTF-8 ideograph (U+4E00-U+9FFF) begins at p[i], with i + 2 < n.
bool IdeographAt(const unsigned char* p, std::size_t i) {
    const unsigned char b = p[i];
    return b >= 0xE4 && b <= 0xE9 && Continuation(p[i + 1]) && Continuation(p[i + 2]) &&
           (b != 0xE4 || p[i + 1] >= 0xB8);
}

// The start of the first run of kWreckedRun UTF-8 ideographs in bytes. Their lead bytes
// stand three apart, which sixteen places at a time rule out almost everywhere in text of
// the internal code page.
std::size_t Utf8IdeographRun(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    constexpr std::size_t kRunBytes = 3 * kWreckedRun;
    const auto runAt = [&](std::size_t i) {
        for (std::size_t k = 0; k < kWreckedRun; ++k) {
            if (!IdeographAt(p, i + 3 * k)) {
                return false;
            }
        }
        return true;
    };
    std::size_t i = 0;
    for (; i + kRunBytes + 16 <= n; i += 16) {
        Lanes leads = ~Lanes{};
        for (std::size_t k = 0; k < kWreckedRun; ++k) {
            const Lanes b = LanesAt(p + i + 3 * k);
            leads &= (b >= 0xE4) & (b <= 0xE9);
        }
        if (AnyLane(leads)) {
            for (std::size_t k = i; k < i + 16; ++k) {
                if (runAt(k)) {
                    return k;
                }
            }
        }
    }
    for (; i + kRunBytes <= n; ++i) {
        if (runAt(i)) {
            return i;
        }
    }
    return std::string_view::npos;
}

#if defined(__SSE2__)
#define QS_WIDE __attribute__((target("avx512f,avx512bw")))

// The places of p[0, 64) where pair (its two bytes) stands at offset from them.
QS_WIDE inline std::uint64_t PairAt(const unsigned char* p, std::size_t offset,
                                    const unsigned char* pair) {
    return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + offset), _mm512_set1_epi8(pair[0])) &
           _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + offset + 1), _mm512_set1_epi8(pair[1]));
}

QS_WIDE std::uint64_t EitherPairWide(const unsigned char* p, std::size_t offsetA,
                                     const unsigned char* pairA, std::size_t offsetB,
                                     const unsigned char* pairB) {
    return PairAt(p, offsetA, pairA) | PairAt(p, offsetB, pairB);
}

#undef QS_WIDE
#endif

// Where the first of two needles begins in bytes (the first one where both begin at one
// place), found by a pair of the bytes of each (at pairA and pairB) that Chinese text
// seldom holds side by side: each byte of the needles here is common on its own, so a
// search by one byte stops at most characters of the text. Sixty-four or sixteen places at
// a time, both needles in one reading.
MojibakeScan::Found FindByRarePairs(std::string_view bytes, MojibakeScan::Found a,
                                    std::string_view needleA, std::size_t pairA,
                                    MojibakeScan::Found b, std::string_view needleB,
                                    std::size_t pairB) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    const auto at = [&](MojibakeScan::Found found, std::string_view needle, std::size_t k) {
        return k + needle.size() <= n && std::memcmp(p + k, needle.data(), needle.size()) == 0
                   ? MojibakeScan::Found{found.what, k}
                   : MojibakeScan::Found{};
    };
    const auto firstAt = [&](std::size_t k) {
        MojibakeScan::Found found = at(a, needleA, k);
        return found.what.empty() ? at(b, needleB, k) : found;
    };
    const auto pair = [](std::string_view needle, std::size_t i) {
        return static_cast<unsigned char>(needle[i]);
    };
    const std::size_t reach = std::max(pairA, pairB) + 2;
    std::size_t k = 0;
#if defined(__SSE2__)
    static const bool wide = __builtin_cpu_supports("avx512bw");
    const auto* bytesA = reinterpret_cast<const unsigned char*>(needleA.data()) + pairA;
    const auto* bytesB = reinterpret_cast<const unsigned char*>(needleB.data()) + pairB;
    for (; wide && k + reach + 63 <= n; k += 64) {
        for (std::uint64_t hits = EitherPairWide(p + k, pairA, bytesA, pairB, bytesB); hits != 0;
             hits &= hits - 1) {
            const std::size_t j = k + static_cast<std::size_t>(__builtin_ctzll(hits));
            if (const MojibakeScan::Found found = firstAt(j); !found.what.empty()) {
                return found;
            }
        }
    }
#endif
    for (; k + reach + 15 <= n; k += 16) {
        const Lanes hits = ((LanesAt(p + k + pairA) == pair(needleA, pairA)) &
                            (LanesAt(p + k + pairA + 1) == pair(needleA, pairA + 1))) |
                           ((LanesAt(p + k + pairB) == pair(needleB, pairB)) &
                            (LanesAt(p + k + pairB + 1) == pair(needleB, pairB + 1)));
        if (AnyLane(hits)) {
            for (std::size_t j = k; j < k + 16; ++j) {
                if (const MojibakeScan::Found found = firstAt(j); !found.what.empty()) {
                    return found;
                }
            }
        }
    }
    for (; k < n; ++k) {
        if (const MojibakeScan::Found found = firstAt(k); !found.what.empty()) {
            return found;
        }
    }
    return {{}, std::string_view::npos};
}

}  // namespace

std::optional<MojibakeScan::Found> MojibakeScan::Feed(std::string_view bytes) {
    if (m_seen) {
        return std::nullopt;
    }
    // U+FFFD and 锟斤拷 as the bytes hold them.
    const std::string_view replacement = m_utf8 ? "\xEF\xBF\xBD" : "\x84\x31\xA4\x37";
    const std::string_view asGbk =
        m_utf8 ? "\xE9\x94\x9F\xE6\x96\xA4\xE6\x8B\xB7" : "\xEF\xBF\xBD\xEF\xBF\xBD";
    const std::array<Found, 2> found = {
        FindByRarePairs(bytes, {"replacement-characters"}, replacement, m_utf8 ? 1 : 0,
                        {"replacement-characters-as-gbk"}, asGbk, 1),
        Found{"utf-8-as-gbk", m_utf8 ? std::string_view::npos : Utf8IdeographRun(bytes)}};
    const Found first = *std::min_element(
        found.begin(), found.end(), [](const Found& a, const Found& b) { return a.at < b.at; });
    if (first.at == std::string_view::npos) {
        return std::nullopt;
    }
    m_seen = true;
    return first;
}

}  // namespace qs
