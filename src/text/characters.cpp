#include "text/characters.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace qs {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A match that starts at a boundary must also end at one, or it would cut a double-byte or
// four-byte character in half. Ending between the CR and the LF of a pair is fine: both are
// whole characters of their own.
bool MatchEndsCleanly(std::string_view text, std::size_t start, std::size_t length) {
    const std::size_t end = start + length;
    std::size_t i = start;
    while (i < end) {
        i += CharLength(text, i);
    }
    return i == end || (text[end - 1] == '\r' && text[end] == '\n');
}

// Equal without regard to ASCII case, folding only bytes that are characters of their own
// (the trail byte of a double-byte character is compared as it is).
bool SameNoCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    while (i < a.size()) {
        const std::size_t n = CharLength(a, i);
        if (n == 1 ? LowerAscii(a[i]) != LowerAscii(b[i]) : a.substr(i, n) != b.substr(i, n)) {
            return false;
        }
        i += n;
    }
    return true;
}

// A character boundary from boundary up to target, as close to target as is cheap to find:
// after two bytes below 0x80 in a row a character always begins (neither can be the first
// byte of a longer one, and the second is no later byte of one), unless the second is a CR
// that an LF joins. The walk from boundary need not cross the text before them.
std::size_t LastBoundaryBefore(std::string_view text, std::size_t boundary, std::size_t target) {
    constexpr std::size_t kNear = 64;
    constexpr std::size_t kLookBack = 4096;
    if (target - boundary <= kNear) {
        return boundary;
    }
    const std::size_t stop = target - boundary > kLookBack ? target - kLookBack : boundary;
    for (std::size_t k = target; k >= stop + 2; --k) {
        if (static_cast<unsigned char>(text[k - 1]) < 0x80 && text[k - 1] != '\r' &&
            static_cast<unsigned char>(text[k - 2]) < 0x80) {
            return k;
        }
    }
    return boundary;
}

}  // namespace

namespace {

constexpr std::uint64_t kLowBits = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool HasByte(std::uint64_t word, unsigned char byte) {
    const std::uint64_t x = word ^ (kLowBits * byte);
    return ((x - kLowBits) & ~x & kHighBits) != 0;
}

// The characters of the eight bytes at a character boundary when they are four pairs of
// bytes 81-FE (none can begin a four-byte sequence, whose second byte is a digit) or eight
// bytes below 80 without a CR; 0 otherwise.
int CharsInWord(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const std::uint64_t high = word & kHighBits;
    if (high == kHighBits && !HasByte(word, 0x80) && !HasByte(word, 0xFF)) {
        return 4;
    }
    return high == 0 && !HasByte(word, '\r') ? 8 : 0;
}

}  // namespace

std::int32_t CountChars(std::string_view text) {
    std::int64_t count = 0;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            if (const int chars = CharsInWord(text.data() + i)) {
                count += chars;
                i += 8;
                continue;
            }
        }
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x80) {  // the common case, without the call
            ++i;
        } else {
            i += CharLength(text, i);
        }
        ++count;
    }
    return count > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(count);
}

std::int64_t CountUtf8CodePoints(std::string_view utf8) {
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    std::int64_t continuations = 0;
    std::size_t i = 0;
    for (; i + 8 <= utf8.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, utf8.data() + i, sizeof word);
        // A continuation byte is 10xxxxxx: its top bit set and the next one clear. One bit a
        // byte at most, summed by a multiplication into the top byte (a call to count bits
        // where the processor is not known to have the instruction).
        const std::uint64_t marks = (word & ~(word << 1) & kHigh) >> 7;
        continuations += static_cast<std::int64_t>((marks * 0x0101010101010101ull) >> 56);
    }
    for (; i < utf8.size(); ++i) {
        continuations += (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80;
    }
    return static_cast<std::int64_t>(utf8.size()) - continuations;
}

std::size_t ByteLengthOfChars(std::string_view text, std::size_t n) {
    std::size_t i = 0;
    while (n > 0 && i < text.size()) {
        i += CharLength(text, i);
        --n;
    }
    return i;
}

Text LeftChars(std::string_view text, std::int32_t n) {
    if (n <= 0) {
        return Text();
    }
    return Text(text.substr(0, ByteLengthOfChars(text, static_cast<std::size_t>(n))));
}

std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) {
        return from <= text.size() ? from : std::string_view::npos;
    }
    std::size_t boundary = from;  // always a character boundary
    for (;;) {
        const std::size_t candidate = text.find(needle, boundary);
        if (candidate == std::string_view::npos) {
            return candidate;
        }
        boundary = LastBoundaryBefore(text, boundary, candidate);
        while (boundary < candidate) {
            boundary += CharLength(text, boundary);
        }
        if (boundary == candidate) {
            if (MatchEndsCleanly(text, candidate, needle.size())) {
                return candidate;
            }
            boundary += CharLength(text, boundary);
        }
        // The candidate starts or ends inside a character: go on from the next boundary.
    }
}

std::size_t FindChar(std::string_view text, char c, std::size_t from) {
    return FindText(text, std::string_view(&c, 1), from);
}

std::size_t FindLastChar(std::string_view text, char c) {
    std::size_t last = std::string_view::npos;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        // memchr jumps over runs without c; the boundary walk below keeps us honest.
        const void* hit = std::memchr(text.data() + i, c, n - i);
        if (hit == nullptr) {
            break;
        }
        const std::size_t at =
            static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        while (i < at) {
            i += CharLength(text, i);
        }
        if (i == at) {
            last = at;
            i += CharLength(text, i);
        }
    }
    return last;
}

Text ReplaceAll(std::string_view text, std::string_view needle, std::string_view replacement) {
    if (needle.empty()) {
        return Text(text);
    }
    Text out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = FindText(text, needle, pos);
        if (hit == std::string_view::npos) {
            break;
        }
        out.append(text.substr(pos, hit - pos));
        out.append(replacement);
        pos = hit + needle.size();
    }
    out.append(text.substr(pos));
    return out;
}

TextList SplitText(std::string_view text, std::string_view separator) {
    TextList parts;
    if (text.empty()) {
        return parts;
    }
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = FindText(text, separator, pos);
        if (hit == std::string_view::npos) {
            break;
        }
        parts.emplace_back(text.substr(pos, hit - pos));
        pos = hit + separator.size();
    }
    if (pos < text.size()) {
        parts.emplace_back(text.substr(pos));
    }
    return parts;
}

Text TrimSpaces(std::string_view text) {
    std::size_t first = text.size();
    std::size_t lastEnd = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = CharLength(text, i);
        const bool space = (len == 1 && text[i] == ' ') ||
                           (len == 2 && static_cast<unsigned char>(text[i]) == 0xA1 &&
                            static_cast<unsigned char>(text[i + 1]) == 0xA1);
        if (!space) {
            first = std::min(first, i);
            lastEnd = i + len;
        }
        i += len;
    }
    return first < lastEnd ? Text(text.substr(first, lastEnd - first)) : Text();
}

Text AsciiLower(std::string_view text) {
    Text out(text);
    std::size_t i = 0;
    while (i < out.size()) {
        const std::size_t len = CharLength(out, i);
        if (len == 1 && out[i] >= 'A' && out[i] <= 'Z') {
            out[i] = static_cast<char>(out[i] - 'A' + 'a');
        }
        i += len;
    }
    return out;
}

std::size_t FindTextNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) {
        return from <= text.size() ? from : std::string_view::npos;
    }
    const char first = LowerAscii(needle[0]);
    const bool letter = first >= 'a' && first <= 'z';
    const char firstUpper = letter ? static_cast<char>(first - 'a' + 'A') : first;
    const bool oneForm = !letter && static_cast<unsigned char>(first) < 0x80;
    std::size_t i = from;
    while (i + needle.size() <= text.size()) {
        if (oneForm) {
            // A character of its own in one form only: the boundary search jumps to it.
            i = FindChar(text, first, i);
            if (i == std::string_view::npos || i + needle.size() > text.size()) {
                return std::string_view::npos;
            }
        }
        const char c = text[i];
        if ((c == first || c == firstUpper) && SameNoCase(text.substr(i, needle.size()), needle) &&
            MatchEndsCleanly(text, i, needle.size())) {
            return i;
        }
        i += CharLength(text, i);
    }
    return std::string_view::npos;
}

}  // namespace qs
