#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qs {

// What the charset-detection libraries make of some bytes: ICU's matches, best first, with
// their confidence (0-100), and uchardet's single answer (empty when it has none). The
// names are the libraries' own.
struct CharsetMatch {
    std::string name;
    int confidence = 0;
};
struct CharsetVotes {
    std::vector<CharsetMatch> icu;
    std::string uchardet;
};
CharsetVotes DetectCharsets(std::string_view sample);

// Whether the user's locale (LC_ALL, else LC_CTYPE, else LANG) is Taiwan's or Hong Kong's,
// where an undecided Chinese text is Big5 rather than GB18030.
bool TraditionalChineseLocale();

}  // namespace qs
