// Title picking on arbitrary texts: the title is one fragment of the text, never spanning a
// line break, and a text with something in it always gives something.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "split/title_sentence.h"

using namespace qs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::int32_t minChars = static_cast<std::int32_t>(data[0] % 40) - 4;
    const Text text(reinterpret_cast<const char*>(data + 1), size - 1);

    const Text stripped = StripTags(text);
    QS_FUZZ_CHECK(stripped.size() <= text.size());

    const Text title = PickTitleSentence(text, minChars);
    QS_FUZZ_CHECK(title.size() <= text.size());
    for (std::size_t i = 0; i < title.size(); i += CharLength(title, i)) {
        QS_FUZZ_CHECK(title[i] != '\r' && title[i] != '\n');
    }
    if (!title.empty()) {
        QS_FUZZ_CHECK(title.front() != ' ');
    }
    return 0;
}
