#include "encoding/output_text.h"

#include <string>

#include "encoding/charset_converter.h"
#include "platform/services.h"
#include "text/characters.h"

namespace qs {

namespace {

constexpr std::pair<std::string_view, TextFormat> kEncodingNames[] = {
    {"utf-8", {TextEncoding::Utf8, false}},      {"utf-8-mark", {TextEncoding::Utf8, true}},
    {"gb18030", {TextEncoding::Gb18030, false}}, {"gbk", {TextEncoding::Gbk, false}},
    {"big5", {TextEncoding::Big5, false}},       {"big5-hkscs", {TextEncoding::Big5Hkscs, false}},
    {"utf-16le", {TextEncoding::Utf16Le, true}}, {"utf-16be", {TextEncoding::Utf16Be, true}},
};

}  // namespace

std::optional<TextFormat> ParseOutputEncoding(std::string_view name) {
    for (const auto& [text, format] : kEncodingNames) {
        if (name == text) {
            return format;
        }
    }
    return std::nullopt;
}

std::string_view OutputEncodingNames() {
    static const std::string names = [] {
        std::string joined;
        for (const auto& [text, format] : kEncodingNames) {
            joined += (joined.empty() ? "" : "|") + std::string(text);
        }
        return joined;
    }();
    return names;
}

std::optional<Bytes> EncodeOutputText(std::string_view text, const TextFormat& source,
                                      const OutputRequest& request) {
    const std::optional<Text> converted = ConvertChinese(text, request.zh);
    if (!converted) {
        return std::nullopt;
    }
    if (request.encoding) {
        return EncodeText(*converted, *request.encoding);
    }
    if (!CharsetName(source.encoding).empty()) {
        // A 繁简 conversion can make characters the source's encoding has no room for.
        return EncodeText(*converted, source);
    }
    return *converted;
}

Text FirstRefusedCharacter(std::string_view text, const TextFormat& source,
                           const OutputRequest& request) {
    OutputRequest unmarked = request;
    if (unmarked.encoding) {
        unmarked.encoding->mark = false;
    }
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        const std::string_view one = text.substr(i, CharLength(text, i));
        const std::optional<Bytes> bytes =
            EncodeOutputText(one, {source.encoding, false}, unmarked);
        if (!bytes || bytes->empty()) {
            return Text(one);
        }
    }
    return Text();
}

}  // namespace qs
