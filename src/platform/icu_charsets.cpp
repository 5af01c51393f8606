#include "platform/icu_charsets.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>
#include <string>

namespace qs {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenStrict(std::string_view name) {
    UErrorCode status = U_ZERO_ERROR;
    const std::string zeroTerminated(name);
    ConverterPtr converter(ucnv_open(zeroTerminated.c_str(), &status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    return U_SUCCESS(status) ? std::move(converter) : nullptr;
}

// Charsets that hold every code point exactly once: a conversion into them is exact when
// it succeeds.
bool HoldsEveryCodePoint(std::string_view charset) {
    for (const std::string_view full : {"UTF-8", "UTF-16LE", "UTF-16BE", "GB18030"}) {
        if (charset.size() == full.size() &&
            std::equal(charset.begin(), charset.end(), full.begin(), [](char a, char b) {
                return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
            })) {
            return true;
        }
    }
    return false;
}

std::optional<Bytes> ConvertOnce(std::string_view data, std::string_view fromCharset,
                                 std::string_view toCharset) {
    ConverterPtr source = OpenStrict(fromCharset);
    ConverterPtr target = OpenStrict(toCharset);
    if (!source || !target) {
        return std::nullopt;
    }
    Bytes out;
    if (data.empty()) {
        return out;
    }
    // ucnv_convertEx pivots through a small UTF-16 buffer, so no whole-text UTF-16 copy is made.
    out.resize(data.size() + data.size() / 2 + 64);
    const char* src = data.data();
    const char* const srcEnd = data.data() + data.size();
    char* dest = out.data();
    UChar pivot[16384];
    UChar* pivotSource = pivot;
    UChar* pivotTarget = pivot;
    bool reset = true;
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        char* const destEnd = out.data() + out.size();
        ucnv_convertEx(target.get(), source.get(), &dest, destEnd, &src, srcEnd, pivot,
                       &pivotSource, &pivotTarget, pivot + 16384, reset, true, &status);
        reset = false;
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            const auto written = static_cast<std::size_t>(dest - out.data());
            out.resize(out.size() * 2);
            dest = out.data() + written;
            continue;
        }
        if (U_FAILURE(status)) {
            return std::nullopt;
        }
        out.resize(static_cast<std::size_t>(dest - out.data()));
        return out;
    }
}

}  // namespace

std::optional<Bytes> IcuCharsets::Convert(std::string_view data, std::string_view fromCharset,
                                          std::string_view toCharset) {
    std::optional<Bytes> out = ConvertOnce(data, fromCharset, toCharset);
    // ICU maps private-use characters into legacy charsets through one-way fallbacks even
    // with the stop callbacks (a GBK user-defined character becomes an unrelated Big5-HKSCS
    // character). Such a conversion is not exact: it must fail like any other that is not.
    if (out && !out->empty() && !HoldsEveryCodePoint(toCharset)) {
        const std::optional<Bytes> back = ConvertOnce(*out, toCharset, fromCharset);
        if (!back || *back != data) {
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace qs
