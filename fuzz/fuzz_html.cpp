// The HTML and XML charset declarations read from arbitrary texts: results stay in range.
#include <cstdint>
#include <string>

#include "encoding/html_charset.h"
#include "fuzz_input.h"

using namespace qs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto fields = fuzz::Fields(data, size, 1);
    const std::string& text = fields[0];

    const int charset = DetectHtmlCharset(text);
    QS_FUZZ_CHECK(charset >= HtmlCharsetNone && charset <= HtmlCharsetBig5Hkscs);
    QS_FUZZ_CHECK(XmlDeclaredEncodingName(text).size() <= text.size());

    return 0;
}
