#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/characters.h"

// A failed invariant: libFuzzer keeps the input that led here.
#define QS_FUZZ_CHECK(condition)                                                               \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

namespace qs::fuzz {

// Cuts a fuzzed input into fields at every 0xFF 0x00 pair, so one input carries several
// texts; the pair is rare enough in the fields themselves.
inline std::vector<std::string> Fields(const std::uint8_t* data, std::size_t size,
                                       std::size_t wanted) {
    std::vector<std::string> fields;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (fields.size() + 1 < wanted) {
        const std::size_t at = all.find(std::string_view("\xFF\x00", 2), start);
        if (at == std::string_view::npos) {
            break;
        }
        fields.emplace_back(all.substr(start, at - start));
        start = at + 2;
    }
    fields.emplace_back(all.substr(start));
    fields.resize(wanted);
    return fields;
}

// The byte positions at which the character model starts a character, plus the end. With
// crLfMiddle, also the place between the CR and the LF of a pair: a cut there splits no
// character that has a meaning of its own.
inline std::vector<bool> CharacterStarts(std::string_view text, bool crLfMiddle = false) {
    std::vector<bool> starts(text.size() + 1, false);
    std::size_t i = 0;
    while (i < text.size()) {
        starts[i] = true;
        const std::size_t n = CharLength(text, i);
        if (crLfMiddle && n == 2 && text[i] == '\r') {
            starts[i + 1] = true;
        }
        i += n;
    }
    starts[text.size()] = true;
    return starts;
}

}  // namespace qs::fuzz
