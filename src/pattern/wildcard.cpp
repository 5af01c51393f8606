#include "pattern/wildcard.h"

#include <string_view>

#include "platform/characters.h"

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
    // A run of stars means what one star means; as ".*.*.*" it would make the expression
    // engine backtrack in polynomial time on every long name.
    while (FindText(result, "**") != Text::npos) {
        result = ReplaceAll(result, "**", "*");
    }
    result = ReplaceAll(result, "*", ".*");
    return ReplaceAll(result, "?", ".?");
}

}  // namespace qs
