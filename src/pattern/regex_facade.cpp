#include "pattern/regex_facade.h"

#include "platform/services.h"

namespace qs {
namespace {

Text ReplaceMatches(const Text& text, const std::vector<RegexMatch>& matches,
                    const Text& replacement) {
    if (matches.empty()) {
        return text;
    }
    Text result;
    result.reserve(text.size() + matches.size() * replacement.size());
    std::size_t done = 0;
    for (const RegexMatch& m : matches) {
        result.append(text, done, m.start - done);
        result += replacement;
        done = m.start + m.length;
    }
    result.append(text, done, Text::npos);
    return result;
}

}  // namespace

bool RegexObject::Compile(const Text& pattern, bool ignoreCase, bool multiLine, bool global) {
    m_regex = Regex().Compile(pattern, RegexFlags{ignoreCase, multiLine});
    m_pattern = m_regex ? pattern : Text();
    m_global = global;
    m_subject.clear();
    m_matches.clear();
    return m_regex != nullptr;
}

std::int32_t RegexObject::Execute(const Text& text) {
    m_matches.clear();
    m_subject = text;
    if (!m_regex) {
        return 0;
    }
    m_matches = m_regex->FindAll(text, m_global ? 0 : 1);
    return static_cast<std::int32_t>(m_matches.size());
}

Text RegexObject::MatchValue(std::int32_t i) const {
    if (i < 1 || static_cast<std::size_t>(i) > m_matches.size()) {
        return Text();
    }
    const RegexMatch& m = m_matches[static_cast<std::size_t>(i) - 1];
    return m_subject.substr(m.start, m.length);
}

Text RegexObject::Replace(const Text& text, const Text& replacement) {
    if (!m_regex) {
        return Text();
    }
    return ReplaceMatches(text, m_regex->FindAll(text, m_global ? 0 : 1), replacement);
}

Text RegexObject::GetPattern() const {
    return m_pattern;
}

}  // namespace qs
