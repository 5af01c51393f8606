#include "platform/native_names.h"

#include <algorithm>

#include "platform/code_page.h"

namespace qs {
namespace {

constexpr unsigned char kEscapeLead = 0x8F;
constexpr unsigned char kEscapeSecond = 0x39;

// The length of the well-formed UTF-8 sequence at i (no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char b = at(0);
    if (b < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        low = b == 0xE0 ? 0xA0 : 0x80;
        high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > s.size() || at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (at(k) < 0x80 || at(k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

// The byte an escape at i stands for, or -1.
int EscapedByte(std::string_view t, std::size_t i) {
    if (i + 4 > t.size() || static_cast<unsigned char>(t[i]) != kEscapeLead ||
        static_cast<unsigned char>(t[i + 1]) != kEscapeSecond) {
        return -1;
    }
    const int tens = static_cast<unsigned char>(t[i + 2]) - 0x81;
    const int ones = static_cast<unsigned char>(t[i + 3]) - 0x30;
    const int k = tens * 10 + ones;
    return tens >= 0 && ones >= 0 && ones <= 9 && k < 0x80 ? 0x80 + k : -1;
}

// Calls run(text) for each stretch without escapes and byte(b) for each escape, in order.
template <typename Run, typename Byte>
bool ForEachPart(std::string_view t, Run run, Byte byte) {
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < t.size()) {
        const int escaped = EscapedByte(t, i);
        if (escaped < 0) {
            i += SequenceLength(t, i);
            continue;
        }
        if (!run(t.substr(start, i - start))) {
            return false;
        }
        byte(static_cast<unsigned char>(escaped));
        i += 4;
        start = i;
    }
    return run(t.substr(start));
}

// ASCII is the same bytes in every form a name takes, and most paths are ASCII up to the
// last few components.
bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

Text NativeToInternal(std::string_view native) {
    if (IsAscii(native)) {
        return Text(native);
    }
    Text internal;
    std::size_t start = 0;
    std::size_t i = 0;
    auto flush = [&](std::size_t end) {
        Text part;
        if (end > start && Utf8ToInternal(native.substr(start, end - start), part)) {
            internal += part;
        }
    };
    while (i < native.size()) {
        const std::size_t length = Utf8SequenceLength(native, i);
        if (length > 0) {
            i += length;
            continue;
        }
        flush(i);
        const int k = static_cast<unsigned char>(native[i]) - 0x80;
        internal += static_cast<char>(kEscapeLead);
        internal += static_cast<char>(kEscapeSecond);
        internal += static_cast<char>(0x81 + k / 10);
        internal += static_cast<char>(0x30 + k % 10);
        start = ++i;
    }
    flush(i);
    return internal;
}

bool InternalToNative(std::string_view internal, std::string& native) {
    if (IsAscii(internal)) {
        native.assign(internal);
        return true;
    }
    native.clear();
    return ForEachPart(
        internal,
        [&](std::string_view part) {
            std::string utf8;
            if (!part.empty() && !InternalToUtf8(part, utf8)) {
                return false;
            }
            native += utf8;
            return true;
        },
        [&](unsigned char b) { native += static_cast<char>(b); });
}

Text DisplayText(std::string_view internal) {
    Text shown;
    Bytes pending;
    auto flushBytes = [&] {
        std::string probe;
        if (InternalToUtf8(pending, probe)) {
            shown += pending;
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            for (unsigned char b : pending) {
                shown += "\\x";
                shown += kHex[b >> 4];
                shown += kHex[b & 0xF];
            }
        }
        pending.clear();
    };
    ForEachPart(
        internal,
        [&](std::string_view part) {
            if (!part.empty()) {
                if (!pending.empty()) {
                    flushBytes();
                }
                shown += part;
            }
            return true;
        },
        [&](unsigned char b) { pending += static_cast<char>(b); });
    if (!pending.empty()) {
        flushBytes();
    }
    return shown;
}

}  // namespace qs
