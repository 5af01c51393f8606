#include "pattern/wildcard.h"

#include <gtest/gtest.h>

namespace qs {
namespace {

struct Row {
    const char* name;
    Text pattern;
    Text expression;
};

TEST(WildcardTest, WildcardToRegex) {
    const Row rows[] = {
        {"empty", "", ""},
        {"star dot", "*.txt", ".*\\.txt"},
        {"question mark", "a?c", "a.?c"},
        {"alternatives", "*.txt|*.htm", ".*\\.txt|.*\\.htm"},
        {"brackets and backslash", "[a]\\", "\\[a\\]\\\\"},
        {"every escaped character", "\\^$+.{}[]=()-\"",
         "\\\\\\^\\$\\+\\.\\{\\}\\[\\]\\=\\(\\)\\-\\\""},
        {"others pass", "ab 1_|~", "ab 1_|~"},
        // 誠 (D5 5C) and 牎 (A0 5B): the trail bytes are not a backslash or a bracket
        {"trail bytes left alone", "\xD5\x5C\xA0\x5B*", "\xD5\x5C\xA0\x5B.*"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(WildcardToRegex(row.pattern), row.expression) << row.name;
    }
}

}  // namespace
}  // namespace qs
