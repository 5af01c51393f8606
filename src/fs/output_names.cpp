#include "fs/output_names.h"

#include <string>

#include "platform/native_names.h"
#include "text/characters.h"

namespace qs {

Text FitFileName(const Text& stem, const Text& suffix, const Text& dotExtension,
                 std::size_t maxChars) {
    const Text tail = suffix + dotExtension;
    const std::size_t suffixChars = static_cast<std::size_t>(CountChars(suffix));
    std::string native;
    // Nothing before the extension would be no name at all.
    if ((stem.empty() && suffix.empty()) || suffixChars > maxChars ||
        !InternalToNative(tail, native) || native.size() > kMaxFileNameBytes) {
        return Text();
    }
    const std::size_t maxStemChars = maxChars - suffixChars;
    std::size_t bytes = native.size();
    // UTF-8 never takes more than twice the bytes of the internal form.
    if (2 * stem.size() + bytes <= kMaxFileNameBytes && stem.size() <= maxStemChars) {
        return InternalToNative(stem, native) ? stem + tail : Text();
    }
    std::size_t i = 0;
    for (std::size_t chars = 0; i < stem.size() && chars < maxStemChars; ++chars) {
        const std::size_t len = CharLength(stem, i);
        if (!InternalToNative(std::string_view(stem).substr(i, len), native)) {
            return Text();
        }
        if (bytes + native.size() > kMaxFileNameBytes) {
            break;
        }
        bytes += native.size();
        i += len;
    }
    return i == 0 && !stem.empty() ? Text() : stem.substr(0, i) + tail;
}

Text VariantSuffix(int k) {
    return " (" + std::to_string(k) + ")";
}

}  // namespace qs
