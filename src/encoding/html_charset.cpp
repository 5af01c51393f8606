#include "encoding/html_charset.h"

#include <cstring>

#include "text/characters.h"

namespace qs {

namespace {

struct Span {
    std::size_t begin = 0;  // first byte of the segment
    std::size_t end = 0;    // one past the segment
    std::size_t after = 0;  // one past the end marker
};

// The searches ignore letter case by running on lower-cased copies (which keep every
// character boundary where it was). Both markers non-empty and already lower-cased.
bool FindBetween(std::string_view lower, std::string_view startMarker, std::string_view endMarker,
                 std::size_t from, Span& span) {
    if (from > lower.size()) {
        return false;
    }
    const std::size_t start = FindText(lower, startMarker, from);
    if (start == std::string_view::npos) {
        return false;
    }
    const std::size_t begin = start + startMarker.size();
    const std::size_t end = FindText(lower, endMarker, begin);
    if (end == std::string_view::npos) {
        return false;
    }
    span = {begin, end, end + endMarker.size()};
    return true;
}

std::size_t StartIndex(std::int64_t position) {
    return position > 1 ? static_cast<std::size_t>(position - 1) : 0;
}

// lower is AsciiLower(text) when the caller has it already (walks over one text), else empty.
Text BetweenMarkers(std::string_view text, std::string_view lower, std::string_view startMarker,
                    std::string_view endMarker, std::int64_t& position) {
    Text start = AsciiLower(startMarker);
    Text end = AsciiLower(endMarker);
    Text copy;
    if (start.empty() || end.empty()) {
        // The sentinels take the place of the missing markers on a copy of the text.
        if (start.empty()) {
            copy += U("#Qirn头#");
            start = AsciiLower(U("#Qirn头#"));
        }
        copy += text;
        if (end.empty()) {
            copy += U("#Qirn尾#");
            end = AsciiLower(U("#Qirn尾#"));
        }
        text = copy;
        lower = {};
    }
    Text lowered;
    if (lower.size() != text.size()) {
        lowered = AsciiLower(text);
        lower = lowered;
    }
    Span span;
    if (!FindBetween(lower, start, end, StartIndex(position), span)) {
        return {};
    }
    position = static_cast<std::int64_t>(span.after) + 1;
    return Text(text.substr(span.begin, span.end - span.begin));
}

Text ScanBetween(std::string_view text, std::string_view lower, std::string_view startMarker,
                 std::string_view endMarker, std::int64_t& position, bool keepQuotes) {
    const Text start = keepQuotes ? Text(startMarker) : ExpandQuotes(startMarker);
    const Text end = keepQuotes ? Text(endMarker) : ExpandQuotes(endMarker);
    Text found = BetweenMarkers(text, lower, start, end, position);
    if (!found.empty()) {
        return found;
    }
    const Text bareStart = ReplaceAll(start, "\"", "");
    const Text bareEnd = ReplaceAll(end, "\"", "");
    if (bareStart == start && bareEnd == end) {
        return found;  // the second attempt would search for the same markers
    }
    return BetweenMarkers(text, lower, bareStart, bareEnd, position);
}

}  // namespace

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::int64_t& position, bool expandQuotes) {
    if (expandQuotes) {
        return BetweenMarkers(text, {}, ExpandQuotes(startMarker), ExpandQuotes(endMarker),
                              position);
    }
    return BetweenMarkers(text, {}, startMarker, endMarker, position);
}

Text ScanTextBetween(std::string_view text, std::string_view startMarker,
                     std::string_view endMarker, std::int64_t& position, bool keepQuotes) {
    return ScanBetween(text, {}, startMarker, endMarker, position, keepQuotes);
}

Text ExpandQuotes(std::string_view text) {
    return ReplaceAll(text, "''", "\"");
}

bool ContainsAlternatives(std::string_view text, std::string_view list, bool any) {
    const Text lower = AsciiLower(text);
    for (const Text& alternative : SplitText(list, "[fg]")) {
        const bool occurs = FindText(lower, AsciiLower(alternative)) != std::string_view::npos;
        if (any && occurs) {
            return true;
        }
        if (!any && !occurs) {
            return false;
        }
    }
    return !any;
}

int DetectHtmlCharset(std::string_view text) {
    // Every marker starts with "<"; most plain files are done with here.
    if (text.empty() || std::memchr(text.data(), '<', text.size()) == nullptr) {
        return HtmlCharsetNone;
    }
    // One lower-cased copy serves the whole walk; its segments are only tested, never shown.
    const Text lower = AsciiLower(text);
    std::int64_t position = 0;
    const Text head = BetweenMarkers(lower, lower, "<head>", "</head>", position);
    const std::string_view searched = head.empty() ? std::string_view(lower) : head;

    static const Text lists[] = {
        ExpandQuotes("charset=UTF-8[fg]charset=''UTF-8''[fg]charset='UTF-8'"),
        ExpandQuotes("charset=Big5[fg]charset=''Big5''[fg]charset='Big5'"),
        ExpandQuotes("charset=Big5-HKSCS[fg]charset=''Big5-HKSCS''[fg]charset='Big5-HKSCS'"),
    };
    position = 0;
    for (;;) {
        const Text segment = ScanBetween(searched, searched, "<meta", ">", position, false);
        if (segment.empty()) {
            return HtmlCharsetNone;
        }
        for (int i = 0; i < 3; ++i) {
            if (ContainsAlternatives(segment, lists[i], true)) {
                return HtmlCharsetUtf8 + i;
            }
        }
    }
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
