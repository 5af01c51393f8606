#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace qs {

// The characters at which a text is cut into title fragments (a period counts only when a
// space follows it, and any line break counts).
const Text& TitleDelimiters();

// Removes every "<...>" that holds no other "<" or ">", in one pass; pump (when given) is
// called after each tag.
Text StripTags(std::string_view text, const std::function<void()>& pump = {});

// Draws every number of a range once, in random order, then starts over.
class RandomPool {
public:
    std::int32_t Draw(std::int32_t lo, std::int32_t hi);

private:
    std::vector<std::int32_t> m_numbers;
    bool m_seeded = false;
};

// A randomly chosen fragment of the text with at least minChars characters (spaces trimmed),
// or, when none qualifies, any fragment as it is; empty for a text without fragments.
Text PickTitleSentence(std::string_view text, std::int32_t minChars,
                       const std::function<void()>& pump = {});

}  // namespace qs
