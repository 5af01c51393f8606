#include "pattern/wildcard.h"

#include <string>
#include <string_view>

#include "text/characters.h"

namespace qs {

Text WildcardToRegex(const Text& pattern) {
    // Backslash first, so the backslashes put in by the later steps are not escaped again.
    static constexpr std::string_view kEscaped = "\\^$+.{}[]=()-\"";
    Text result = pattern;
    for (const char c : kEscaped) {
        const char single[1] = {c};
        const char escaped[2] = {'\\', c};
        result = ReplaceAll(result, std::string_view(single, 1), std::string_view(escaped, 2));
    }
    // A run of stars means what one star means, and a run of k question marks what
    // ".{0,k}" means; spelt out as ".*.*" or ".?.?.?" they would make the expression engine
    // backtrack in polynomial or exponential time on long names.
    Text out;
    out.reserve(result.size() + result.size() / 2);
    std::size_t i = 0;
    while (i < result.size()) {
        const std::size_t n = CharLength(result, i);
        const char c = result[i];
        if (n != 1 || (c != '*' && c != '?')) {
            out.append(result, i, n);
            i += n;
            continue;
        }
        std::size_t run = 0;
        while (i < result.size() && result[i] == c) {
            ++run;
            ++i;
        }
        if (c == '*') {
            out += ".*";
        } else if (run == 1) {
            out += ".?";
        } else {
            out += ".{0," + std::to_string(run) + "}";
        }
    }
    return out;
}

}  // namespace qs
