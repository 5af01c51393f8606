#include "encoding/html_charset.h"

#include <cstring>

#include "text/characters.h"

namespace qs {
namespace {

// The text strictly between the first start marker at or after from and the first end marker
// after it, in any case; at is then the first byte after the end marker. Both markers in lower
// case.
bool FindBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::size_t from, std::string_view& between, std::size_t& at) {
    if (from > text.size()) {
        return false;
    }
    const std::size_t start = FindTextNoCase(text, startMarker, from);
    if (start == std::string_view::npos) {
        return false;
    }
    const std::size_t begin = start + startMarker.size();
    const std::size_t end = FindTextNoCase(text, endMarker, begin);
    if (end == std::string_view::npos) {
        return false;
    }
    between = text.substr(begin, end - begin);
    at = end + endMarker.size();
    return true;
}

}  // namespace

int DetectHtmlCharset(std::string_view text) {
    // Every marker starts with "<"; most plain files are done with here.
    if (text.empty() || std::memchr(text.data(), '<', text.size()) == nullptr) {
        return HtmlCharsetNone;
    }
    // Searched in place, without regard to case: a lower-cased copy of a whole book costs more
    // than the rest of its detection.
    std::string_view searched = text;
    std::string_view head;
    std::size_t at = 0;
    if (FindBetween(text, "<head>", "</head>", 0, head, at) && !head.empty()) {
        searched = head;
    }
    static constexpr std::string_view kDeclarations[][3] = {
        {"charset=utf-8", "charset=\"utf-8\"", "charset='utf-8'"},
        {"charset=big5", "charset=\"big5\"", "charset='big5'"},
        {"charset=big5-hkscs", "charset=\"big5-hkscs\"", "charset='big5-hkscs'"},
    };
    // The first meta tag that declares one of them decides; one with nothing inside ends the
    // walk.
    std::string_view segment;
    for (at = 0; FindBetween(searched, "<meta", ">", at, segment, at) && !segment.empty();) {
        for (int i = 0; i < 3; ++i) {
            for (const std::string_view declaration : kDeclarations[i]) {
                if (FindTextNoCase(segment, declaration) != std::string_view::npos) {
                    return HtmlCharsetUtf8 + i;
                }
            }
        }
    }
    return HtmlCharsetNone;
}
Text XmlDeclaredEncodingName(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || !text.substr(start).starts_with("<?xml")) {
        return {};
    }
    const std::string_view declaration = text.substr(start, text.find("?>", start) - start);
    const Text lower = AsciiLower(declaration);
    std::size_t at = lower.find("encoding");
    if (at == Text::npos) {
        return {};
    }
    at = lower.find_first_not_of(" \t\r\n", at + 8);
    if (at == Text::npos || lower[at] != '=') {
        return {};
    }
    at = lower.find_first_not_of(" \t\r\n", at + 1);
    if (at == Text::npos || (lower[at] != '"' && lower[at] != '\'')) {
        return {};
    }
    const std::size_t end = lower.find(lower[at], at + 1);
    return end == Text::npos ? Text() : lower.substr(at + 1, end - at - 1);
}

}  // namespace qs
