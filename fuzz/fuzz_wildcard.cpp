// Wildcards against names: the name matcher agrees with a plain reference matcher over the
// character model, and the translated expression finds every name the matcher accepts.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fs/file_enumeration.h"
#include "fuzz_input.h"
#include "pattern/regex_facade.h"
#include "pattern/wildcard.h"
#include "platform/services.h"

using namespace qs;

namespace {

std::vector<std::string> Characters(std::string_view text) {
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = CharLength(text, i);
        chars.emplace_back(text.substr(i, n));
        i += n;
    }
    return chars;
}

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameChar(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a.size() == 1 ? Fold(a[i]) != Fold(b[i]) : a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

// Table of which prefixes match which prefixes; quadratic, fine for fuzz-sized inputs.
bool ReferenceMatch(const std::string& piece, const std::string& name) {
    if (piece == "*.*") {
        return true;
    }
    const auto p = Characters(piece);
    const auto n = Characters(name);
    std::vector<std::vector<char>> m(p.size() + 1, std::vector<char>(n.size() + 1, 0));
    m[0][0] = 1;
    for (std::size_t i = 1; i <= p.size(); ++i) {
        const bool star = p[i - 1] == "*";
        m[i][0] = star && m[i - 1][0];
        for (std::size_t j = 1; j <= n.size(); ++j) {
            if (star) {
                m[i][j] = m[i - 1][j] || m[i][j - 1];
            } else if (p[i - 1] == "?" || SameChar(p[i - 1], n[j - 1])) {
                m[i][j] = m[i - 1][j - 1];
            }
        }
    }
    return m[p.size()][n.size()] != 0;
}

bool PlainAscii(const std::string& s) {
    for (const char c : s) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 512) {
        return 0;
    }
    const auto fields = fuzz::Fields(data, size, 2);
    const std::string& pattern = fields[0];
    const std::string& name = fields[1];
    // Stars apart from each other still backtrack polynomially in the expression engine, the
    // more so when every position of a long name is tried: keep the single runs short.
    const auto stars = std::count(pattern.begin(), pattern.end(), '*');
    if (stars > 4) {
        return 0;
    }

    const bool matched = WildcardMatchesName(pattern, name);
    QS_FUZZ_CHECK(matched == ReferenceMatch(pattern, name));

    const Text expression = WildcardToRegex(pattern);
    RegexObject regex;
    const bool compiled = regex.Compile(expression);
    if (PlainAscii(pattern) && PlainAscii(name)) {
        // Every character that could start an expression construct is escaped.
        QS_FUZZ_CHECK(compiled);
        if (matched && pattern != "*.*" && pattern.find('|') == std::string::npos) {
            QS_FUZZ_CHECK(regex.Execute(name) > 0);
        }
    }
    // So do runs of question marks between literals (each a ".{0,k}"): the engine tries each
    // length of each run at each start, so only short names meet many of them.
    std::size_t runs = static_cast<std::size_t>(stars);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        runs += pattern[i] == '?' && (i == 0 || pattern[i - 1] != '?') ? 1 : 0;
    }
    if (compiled && (runs <= 2 || name.size() <= 64)) {
        // Matches are reported in byte offsets: each one starts and ends on a character
        // boundary of the name, in order, without overlapping.
        auto engine = Regex().Compile(expression, RegexFlags{});
        QS_FUZZ_CHECK(engine != nullptr);
        // An expression may tell the CR and the LF of a pair apart.
        const auto starts = fuzz::CharacterStarts(name, true);
        std::size_t previousEnd = 0;
        for (const RegexMatch& match : engine->FindAll(name)) {
            QS_FUZZ_CHECK(match.start >= previousEnd);
            QS_FUZZ_CHECK(match.start + match.length <= name.size());
            QS_FUZZ_CHECK(starts[match.start] && starts[match.start + match.length]);
            previousEnd = match.start + match.length;
        }
        QS_FUZZ_CHECK(regex.Execute(name) >= 0);
        (void)regex.Replace(name, pattern);
    }
    return 0;
}
