#include "pattern/regex_facade.h"

#include "platform/services.h"
#include "text/characters.h"

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

bool LineRegex::Compile(const Text& pattern, bool ignoreCase, bool multiLine, bool replaceAll) {
    m_regex = Regex().Compile(pattern, RegexFlags{ignoreCase, multiLine});
    m_replaceAll = replaceAll;
    return m_regex != nullptr;
}

Text LineRegex::Replace(const Text& text, const Text& replacement,
                        std::optional<std::int32_t> count) {
    if (!m_regex) {
        return text;
    }
    std::size_t limit = m_replaceAll ? 0 : 1;
    if (count) {
        if (*count <= 0) {
            return text;
        }
        limit = static_cast<std::size_t>(*count);
    }
    return ReplaceMatches(text, m_regex->FindAll(text, limit), replacement);
}

Text NormalizeLineBreaks(const Text& text) {
    const std::size_t n = text.size();
    Text result;
    result.reserve(n + n / 16 + 16);
    std::size_t done = 0;
    std::size_t i = 0;
    // The window gets to dispatch its events every few megabytes of a large text.
    constexpr std::size_t kStride = std::size_t{4} << 20;
    std::size_t nextBreath = kStride;
    while (i < n) {
        if (i >= nextBreath) {
            // The copy goes along too, so that no long stretch is left for the end.
            result.append(text, done, i - done);
            done = i;
            Ui().ProcessPendingEvents();
            nextBreath = i + kStride;
        }
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            // A line-end byte after a lead byte belongs to that character.
            i += CharLength(text, i);
            continue;
        }
        bool lone = false;
        if (c == '\r') {
            if (i + 1 < n && text[i + 1] == '\n') {
                i += 2;
                continue;
            }
            lone = true;
        } else if (c == '\n') {
            lone = i == 0 || text[i - 1] != '\r';
        }
        if (lone) {
            result.append(text, done, i - done);
            result += "\r\n";
            done = i + 1;
        }
        ++i;
    }
    result.append(text, done, n - done);
    return result;
}

}  // namespace qs
