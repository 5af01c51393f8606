#pragma once

#include "text/text.h"

namespace qs {

// Turns a file-type wildcard (such as *.txt) into a regular expression: the expression
// characters are escaped, "*" becomes ".*" and "?" becomes ".?". The result is not
// anchored, and a "|" passes through as alternation.
Text WildcardToRegex(const Text& pattern);

}  // namespace qs
