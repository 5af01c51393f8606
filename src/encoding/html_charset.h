#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace qs {

// Small text helpers for reading charset declarations out of HTML heads.
//
// Positions are 1-based byte positions at character boundaries (as the positions the helpers
// hand back are); 0 or below means the beginning of the text. Marker searches ignore ASCII
// letter case and only match at character boundaries. An empty start marker stands for the
// beginning of the text and an empty end marker for its end: the helpers then work on a copy
// with the sentinel "#Qirn头#" in front (or "#Qirn尾#" behind) and use the sentinel as the
// marker, so positions count within that copy.

// The text strictly between the first start marker at or after position and the first end
// marker after it; empty when either is missing (position is then left alone). On success
// position becomes the first byte after the end marker. With expandQuotes, both markers go
// through ExpandQuotes first.
Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::int64_t& position, bool expandQuotes = false);

// As TextBetween, but the markers go through ExpandQuotes unless keepQuotes is set, and when
// nothing is found a second attempt is made from the same position with every double quote
// removed from both markers. Called again with the returned position it walks along the
// text, one segment per call.
Text ScanTextBetween(std::string_view text, std::string_view startMarker,
                     std::string_view endMarker, std::int64_t& position, bool keepQuotes = false);

// Two single quotes ('') stand for one double quote in our literals; this turns every such
// pair, left to right and without overlap, into the real character.
Text ExpandQuotes(std::string_view text);

// The list holds alternatives separated by "[fg]" (an empty rest after the last separator is
// dropped). With any set: whether at least one alternative occurs in text; otherwise whether
// all of them do. Occurrences ignore ASCII letter case.
bool ContainsAlternatives(std::string_view text, std::string_view list, bool any);

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
