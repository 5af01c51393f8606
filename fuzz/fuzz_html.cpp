// The HTML charset helpers on arbitrary texts and markers: results stay in range, found
// segments really lie between the markers, and a walk along the text always moves forward.
#include <cstdint>
#include <string>

#include "encoding/html_charset.h"
#include "fuzz_input.h"

using namespace qs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto fields = fuzz::Fields(data, size, 3);
    const std::string& text = fields[0];

    const int charset = DetectHtmlCharset(text);
    QS_FUZZ_CHECK(charset >= HtmlCharsetNone && charset <= HtmlCharsetBig5Hkscs);

    const std::string& start = fields[1];
    const std::string& end = fields[2];
    std::int64_t position = 0;
    const Text plain = TextBetween(text, start, end, position);
    if (!plain.empty() && !start.empty() && !end.empty()) {
        QS_FUZZ_CHECK(position > 0 && position <= static_cast<std::int64_t>(text.size()) + 1);
    }

    // A walk: each call that finds something moves past what it found; the number of steps
    // is bounded by the length of the (sentinel-extended) text.
    position = 0;
    const std::int64_t bound = static_cast<std::int64_t>(text.size()) + 64;
    for (std::int64_t step = 0; step <= bound; ++step) {
        const std::int64_t before = position;
        const Text segment = ScanTextBetween(text, start, end, position);
        if (segment.empty() && position == before) {
            break;
        }
        QS_FUZZ_CHECK(position > before);
        QS_FUZZ_CHECK(step < bound);
    }

    (void)ContainsAlternatives(text, start, true);
    (void)ContainsAlternatives(text, start, false);
    const Text expanded = ExpandQuotes(text);
    QS_FUZZ_CHECK(expanded.size() <= text.size());
    return 0;
}
