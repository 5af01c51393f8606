#pragma once

#include <string_view>

#include "text/text.h"

namespace qs {

// Charset declarations read out of HTML and XML heads.

// The charset declared in a meta tag of the text's HTML head (the whole text when it has no
// plain "<head>...</head>" with something inside): the first meta tag that declares UTF-8,
// Big5 or Big5-HKSCS (bare, in double or in single quotes) decides. The walk over the meta
// tags stops at the first one with nothing inside.
enum HtmlCharset : int {
    HtmlCharsetNone = 0,
    HtmlCharsetUtf8 = 1,
    HtmlCharsetBig5 = 2,
    HtmlCharsetBig5Hkscs = 3,
};
int DetectHtmlCharset(std::string_view text);

// The encoding an XML declaration at the start of the text names (<?xml version="1.0"
// encoding="Big5"?>, after white space), in ASCII lower case; empty when there is none.
Text XmlDeclaredEncodingName(std::string_view text);

}  // namespace qs
