#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/regex_engine.h"
#include "text/text.h"

namespace qs {

// A compiled expression with the last search's matches, for name filters and title
// picking. A pattern that does not compile leaves the object empty: Execute returns 0 and
// Replace and GetPattern return empty texts.
class RegexObject {
public:
    bool Compile(const Text& pattern, bool ignoreCase = true, bool multiLine = true,
                 bool global = true);
    // Searches text and keeps the matches; returns their count (only the first with global
    // off).
    std::int32_t Execute(const Text& text);
    // The i-th match (1-based) of the last Execute; empty when there is no such match.
    Text MatchValue(std::int32_t i) const;
    // Every match (only the first with global off) replaced by the plain replacement text.
    Text Replace(const Text& text, const Text& replacement);
    Text GetPattern() const;

private:
    std::unique_ptr<CompiledRegex> m_regex;
    Text m_pattern;
    bool m_global = true;
    Text m_subject;
    std::vector<RegexMatch> m_matches;
};

// The expression used for reworking whole texts (line breaks).
class LineRegex {
public:
    bool Compile(const Text& pattern, bool ignoreCase = true, bool multiLine = true,
                 bool replaceAll = true);
    // Replaces the first count matches; without count every match when replace-all is set,
    // else only the first. A count of 0 or less, or a pattern that did not compile,
    // leaves the text as it is.
    Text Replace(const Text& text, const Text& replacement,
                 std::optional<std::int32_t> count = std::nullopt);

private:
    std::unique_ptr<CompiledRegex> m_regex;
    bool m_replaceAll = true;
};

// Every lone CR and every lone LF becomes CR LF; CR LF pairs stay as they are, and so does
// a line-end byte that the character model takes as the trail of a lead byte. Gives the
// same result as replacing "\r(?!\n)|(?<!\r)\n" by CR LF, in one pass over the bytes.
Text NormalizeLineBreaks(const Text& text);

}  // namespace qs
