#include "encoding/mojibake_scan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace qs {
namespace {

// So many Chinese characters of UTF-8 in a row in text of the internal code page are no
// chance pairing of its double-byte characters.
constexpr std::size_t kWreckedRun = 4;

bool Continuation(unsigned char b) {
    return b >= 0x80 && b <= 0xBF;
}

// The start of the first run of kWreckedRun UTF-8 ideographs (U+4E00-U+9FFF) in bytes.
std::size_t Utf8IdeographRun(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t runStart = 0;
    std::size_t run = 0;
    for (std::size_t i = 0; i + 2 < n;) {
        const unsigned char b = p[i];
        const bool ideograph = b >= 0xE4 && b <= 0xE9 && Continuation(p[i + 1]) &&
                               Continuation(p[i + 2]) && (b != 0xE4 || p[i + 1] >= 0xB8);
        if (!ideograph) {
            run = 0;
            ++i;
            continue;
        }
        if (run == 0) {
            runStart = i;
        }
        if (++run == kWreckedRun) {
            return runStart;
        }
        i += 3;
    }
    return std::string_view::npos;
}

// The first place of needle in bytes, found by a pair of its bytes (at pair) that Chinese
// text seldom holds side by side: each byte of the needles here is common on its own, so a
// search by one byte stops at most characters of the text. Sixteen places at a time.
std::size_t FindByRarePair(std::string_view bytes, std::string_view needle, std::size_t pair) {
    using Lanes = unsigned char __attribute__((vector_size(16)));
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    const std::size_t m = needle.size();
    if (n < m) {
        return std::string_view::npos;
    }
    const auto first = static_cast<unsigned char>(needle[pair]);
    const auto second = static_cast<unsigned char>(needle[pair + 1]);
    const auto matchesAt = [&](std::size_t at) {  // at: where the pair stands
        return p[at] == first && p[at + 1] == second && at >= pair && at - pair + m <= n &&
               std::memcmp(p + at - pair, needle.data(), m) == 0;
    };
    std::size_t at = pair;
    for (; at + 17 <= n; at += 16) {
        Lanes a;
        Lanes b;
        std::memcpy(&a, p + at, 16);
        std::memcpy(&b, p + at + 1, 16);
        const Lanes hits = (a == first) & (b == second);
        std::uint64_t words[2];
        std::memcpy(words, &hits, 16);
        if ((words[0] | words[1]) != 0) {
            for (std::size_t k = at; k < at + 16; ++k) {
                if (matchesAt(k)) {
                    return k - pair;
                }
            }
        }
    }
    for (; at + 1 < n; ++at) {
        if (matchesAt(at)) {
            return at - pair;
        }
    }
    return std::string_view::npos;
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
    const std::array<Found, 3> found = {
        Found{"replacement-characters", FindByRarePair(bytes, replacement, m_utf8 ? 1 : 0)},
        Found{"replacement-characters-as-gbk", FindByRarePair(bytes, asGbk, 1)},
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
