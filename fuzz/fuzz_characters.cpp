// The character model on arbitrary bytes: cuts, searches and counts land on character
// boundaries, and cutting a text at a separator and joining the parts gives it back.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "pattern/regex_facade.h"

using namespace qs;

namespace {

std::string Join(const TextList& parts, std::string_view separator) {
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            joined += separator;
        }
        joined += parts[i];
    }
    return joined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto fields = fuzz::Fields(data, size, 2);
    const std::string& text = fields[0];
    const std::string& separator = fields[1];
    const auto starts = fuzz::CharacterStarts(text);
    const auto cuts = fuzz::CharacterStarts(text, true);

    std::int32_t characters = 0;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        ++characters;
    }
    QS_FUZZ_CHECK(CountChars(text) == characters);
    const std::int32_t half = characters / 2;
    const Text left = LeftChars(text, half);
    QS_FUZZ_CHECK(text.starts_with(left) && starts[left.size()]);
    QS_FUZZ_CHECK(CountChars(left) == half);
    QS_FUZZ_CHECK(ByteLengthOfChars(text, static_cast<std::size_t>(half)) == left.size());
    QS_FUZZ_CHECK(LeftChars(text, characters + 1) == text);
    QS_FUZZ_CHECK(LeftChars(text, -1).empty());

    const TextList parts = SplitText(text, separator);
    if (text.empty()) {
        QS_FUZZ_CHECK(parts.empty());
    } else if (separator.empty()) {
        QS_FUZZ_CHECK(parts.size() == 1 && parts[0] == text);
    } else {
        // The empty rest after a final separator is dropped, so that separator comes back
        // only by adding it.
        const std::string joined = Join(parts, separator);
        QS_FUZZ_CHECK(joined == text || joined + separator == text);
        std::size_t offset = 0;
        for (const Text& part : parts) {
            QS_FUZZ_CHECK(cuts[offset] && cuts[offset + part.size()]);
            QS_FUZZ_CHECK(FindText(part, separator) == std::string::npos);
            offset += part.size() + separator.size();
        }
    }

    // Searches: every hit is a real occurrence at a boundary, and they come in order.
    std::size_t found = 0;
    std::size_t occurrences = 0;
    for (std::size_t at = FindText(text, separator); at != std::string::npos && !separator.empty();
         at = FindText(text, separator, found)) {
        QS_FUZZ_CHECK(cuts[at] && text.compare(at, separator.size(), separator) == 0);
        found = at + separator.size();
        QS_FUZZ_CHECK(cuts[found]);
        ++occurrences;
    }
    const std::size_t noCase = FindTextNoCase(text, separator);
    if (noCase != std::string::npos) {
        QS_FUZZ_CHECK(starts[noCase]);
        QS_FUZZ_CHECK(AsciiLower(std::string_view(text).substr(noCase, separator.size())) ==
                      AsciiLower(separator));
    }
    if (FindText(text, separator) != std::string::npos) {
        QS_FUZZ_CHECK(noCase != std::string::npos && noCase <= FindText(text, separator));
    }
    if (!separator.empty()) {
        const Text replaced = ReplaceAll(text, separator, "");
        QS_FUZZ_CHECK(replaced.size() == text.size() - occurrences * separator.size());
        QS_FUZZ_CHECK(ReplaceAll(text, separator, separator) == text);
    }
    for (const char c : {'\r', '\n', '.', '\\', '|'}) {
        const std::size_t first = FindChar(text, c);
        const std::size_t last = FindLastChar(text, c);
        QS_FUZZ_CHECK((first == std::string::npos) == (last == std::string::npos));
        if (first != std::string::npos) {
            QS_FUZZ_CHECK(starts[first] && starts[last] && first <= last);
            QS_FUZZ_CHECK(text[first] == c && text[last] == c);
        }
    }

    return 0;
}
