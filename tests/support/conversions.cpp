#include "support/conversions.h"

#include "encoding/text_decoder.h"
#include "platform/services.h"

namespace qs {

Bytes ConvertCharset(std::string_view data, std::string_view fromCharset,
                     std::string_view toCharset) {
    if (data.empty()) {
        return {};
    }
    return Conv().Convert(data, fromCharset, toCharset).value_or(Bytes());
}

bool IsUtf8Text(std::string_view bytes) {
    Utf8Scan scan;
    scan.Feed(bytes);
    return scan.Plausible();
}

}  // namespace qs
