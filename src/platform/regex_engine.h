#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/code_page.h"

namespace qs {

struct RegexFlags {
    bool ignoreCase = true;
    bool multiLine = true;
};

// One match, as byte offsets into the internal text that was searched. A match never
// starts or ends inside a character.
struct RegexMatch {
    std::size_t start = 0;
    std::size_t length = 0;
};

class CompiledRegex {
public:
    virtual ~CompiledRegex() = default;
    // Every non-overlapping match, left to right; at most limit of them (0 = no limit).
    virtual std::vector<RegexMatch> FindAll(const Text& subject, std::size_t limit = 0) = 0;
};

class RegexEngine {
public:
    virtual ~RegexEngine() = default;
    // The pattern is an internal text; nullptr when it does not compile.
    virtual std::unique_ptr<CompiledRegex> Compile(const Text& pattern, RegexFlags flags) = 0;
};

}  // namespace qs
