#include "platform/code_page.h"

#include <unicode/ucnv.h>

#include <memory>

#include "platform/icu_charsets.h"

namespace qs {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Literals and boundary conversions use the same strict converter as the rest of the program,
// but never a replaced one: a test's fake charsets must not change the program's own texts.
bool ConvertStrict(const char* from, const char* to, std::string_view in, std::string& out) {
    static IcuCharsets charsets;
    std::optional<Bytes> converted = charsets.Convert(in, from, to);
    if (!converted) {
        out.clear();
        return false;
    }
    out = std::move(*converted);
    return true;
}

}  // namespace

bool InternalToUtf8(std::string_view internal, std::string& utf8) {
    return ConvertStrict("GB18030", "UTF-8", internal, utf8);
}

bool Utf8ToInternal(std::string_view utf8, Text& internal) {
    return ConvertStrict("UTF-8", "GB18030", utf8, internal);
}

std::string ToUtf8Lossy(std::string_view internal) {
    std::string utf8;
    if (InternalToUtf8(internal, utf8)) {
        return utf8;
    }
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr source(ucnv_open("GB18030", &status));
    ConverterPtr target(ucnv_open("UTF-8", &status));
    if (U_FAILURE(status)) {
        return std::string(internal);
    }
    utf8.resize(internal.size() * 4 + 16);
    char* dest = utf8.data();
    const char* src = internal.data();
    ucnv_convertEx(target.get(), source.get(), &dest, utf8.data() + utf8.size(), &src,
                   internal.data() + internal.size(), nullptr, nullptr, nullptr, nullptr, true,
                   true, &status);
    utf8.resize(U_SUCCESS(status) ? static_cast<std::size_t>(dest - utf8.data()) : 0);
    return utf8;
}

}  // namespace qs
