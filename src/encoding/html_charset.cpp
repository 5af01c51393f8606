#include "encoding/html_charset.h"

#include "platform/characters.h"

namespace qs {

namespace {

struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;   // one past the segment
    std::size_t after = 0; // one past the end marker
};

// Both markers non-empty; from is a 0-based boundary. False when either marker is missing.
bool FindBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::size_t from, Span& span) {
    const std::size_t start = FindTextNoCase(text, startMarker, from);
    if (start == std::string_view::npos) {
        return false;
    }
    const std::size_t begin = start + startMarker.size();
    const std::size_t end = FindTextNoCase(text, endMarker, begin);
    if (end == std::string_view::npos) {
        return false;
    }
    span = {begin, end, end + endMarker.size()};
    return true;
}

Text BetweenMarkers(std::string_view text, std::string_view startMarker,
                    std::string_view endMarker, std::int64_t& position) {
    const std::size_t from = position > 1 ? static_cast<std::size_t>(position - 1) : 0;
    Span span;
    if (!startMarker.empty() && !endMarker.empty()) {
        if (from > text.size() || !FindBetween(text, startMarker, endMarker, from, span)) {
            return {};
        }
        position = static_cast<std::int64_t>(span.after) + 1;
        return Text(text.substr(span.begin, span.end - span.begin));
    }

    // The sentinels take the place of the missing markers on a copy of the text.
    Text copy;
    std::string_view start = startMarker;
    std::string_view end = endMarker;
    if (start.empty()) {
        start = U("#Qirn头#");
        copy += start;
    }
    copy += text;
    if (end.empty()) {
        end = U("#Qirn尾#");
        copy += end;
    }
    if (from > copy.size() || !FindBetween(copy, start, end, from, span)) {
        return {};
    }
    position = static_cast<std::int64_t>(span.after) + 1;
    return copy.substr(span.begin, span.end - span.begin);
}

Text WithoutDoubleQuotes(std::string_view text) {
    return ReplaceAll(text, "\"", "");
}

}  // namespace

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::int64_t& position, bool expandQuotes) {
    if (expandQuotes) {
        return BetweenMarkers(text, ExpandQuotes(startMarker), ExpandQuotes(endMarker), position);
    }
    return BetweenMarkers(text, startMarker, endMarker, position);
}

Text ScanTextBetween(std::string_view text, std::string_view startMarker,
                     std::string_view endMarker, std::int64_t& position, bool keepQuotes) {
    const Text start = keepQuotes ? Text(startMarker) : ExpandQuotes(startMarker);
    const Text end = keepQuotes ? Text(endMarker) : ExpandQuotes(endMarker);
    Text found = BetweenMarkers(text, start, end, position);
    if (!found.empty()) {
        return found;
    }
    const Text bareStart = WithoutDoubleQuotes(start);
    const Text bareEnd = WithoutDoubleQuotes(end);
    if (bareStart == start && bareEnd == end) {
        return found;  // the second attempt would search for the same markers
    }
    return BetweenMarkers(text, bareStart, bareEnd, position);
}

Text ExpandQuotes(std::string_view text) {
    return ReplaceAll(text, "''", "\"");
}

bool ContainsAlternatives(std::string_view text, std::string_view list, bool any) {
    for (const Text& alternative : SplitText(list, "[fg]")) {
        const bool occurs = FindTextNoCase(text, alternative) != std::string_view::npos;
        if (any && occurs) {
            return true;
        }
        if (!any && !occurs) {
            return false;
        }
    }
    return !any;
}

}  // namespace qs
