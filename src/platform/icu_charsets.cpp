#include "platform/icu_charsets.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "platform/gb18030_utf8.h"

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

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The tables are built once; until this much was converted they are not worth it.
constexpr std::size_t kTableMinimum = 64 << 10;

// Whether the tables should convert now: once enough text went through, every later
// conversion takes them, also the many small ones of a job with many pieces.
bool TablesPayOff(std::size_t size) {
    static std::atomic<std::size_t> converted{0};
    return converted.fetch_add(size, std::memory_order_relaxed) + size >= kTableMinimum;
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
    // ucnv_convertEx pivots through a small UTF-16 buffer, so no whole-text UTF-16 copy is
    // made; the output goes through a cache-sized buffer into reserved (never zeroed) space.
    out.reserve(data.size() * 2 + 64);
    constexpr std::size_t kChunk = 256 << 10;
    // One buffer per thread: one of its own each time would be mapped afresh, a page fault a
    // page.
    thread_local const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
    const char* src = data.data();
    const char* const srcEnd = data.data() + data.size();
    UChar pivot[16384];
    UChar* pivotSource = pivot;
    UChar* pivotTarget = pivot;
    bool reset = true;
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        char* dest = chunk.get();
        ucnv_convertEx(target.get(), source.get(), &dest, chunk.get() + kChunk, &src, srcEnd, pivot,
                       &pivotSource, &pivotTarget, pivot + 16384, reset, true, &status);
        reset = false;
        out.append(chunk.get(), static_cast<std::size_t>(dest - chunk.get()));
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            continue;
        }
        if (U_FAILURE(status)) {
            return std::nullopt;
        }
        return out;
    }
}

// ICU's Big5 tables also take a lone 0x80 or 0xFF, mapping it to a control or private-use
// character; such a byte is no Big5 text, whatever a round trip says. Every byte from 0x80
// up must be the lead of a pair with a Big5 trail byte (user-defined pairs included).
bool IsBig5Name(std::string_view charset) {
    return SameName(charset, "BIG5") || SameName(charset, "BIG5-HKSCS");
}

bool HasBig5Structure(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            continue;
        }
        if (b == 0x80 || b == 0xFF || i + 1 == bytes.size()) {
            return false;
        }
        const auto t = static_cast<unsigned char>(bytes[++i]);
        if (!((t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IcuCharsets::Decodes(std::string_view data, std::string_view charset) {
    // Checking a GB18030 text against the tables writes nothing: the check of a whole source
    // costs a fraction of its conversion.
    if (SameName(charset, "GB18030") && TablesPayOff(data.size()) && TableReadsGb18030(data)) {
        return true;
    }
    return Convert(data, charset, "UTF-8").has_value();
}

std::optional<Bytes> IcuCharsets::Convert(std::string_view data, std::string_view fromCharset,
                                          std::string_view toCharset) {
    if (TablesPayOff(data.size())) {
        std::optional<Bytes> fast;
        if (SameName(fromCharset, "UTF-8") && SameName(toCharset, "GB18030")) {
            fast = TableUtf8ToGb18030(data);
        } else if (SameName(fromCharset, "GB18030") && SameName(toCharset, "UTF-8")) {
            fast = TableGb18030ToUtf8(data);
        } else if (SameName(fromCharset, "UTF-16LE") && SameName(toCharset, "GB18030")) {
            fast = TableUtf16LeToGb18030(data);
        } else if (SameName(fromCharset, "GB18030") && SameName(toCharset, "UTF-16LE")) {
            fast = TableGb18030ToUtf16Le(data);
        }
        if (fast) {
            return fast;
        }
    }
    if (IsBig5Name(fromCharset) && !HasBig5Structure(data)) {
        return std::nullopt;
    }
    std::optional<Bytes> out = ConvertOnce(data, fromCharset, toCharset);
    if (out && IsBig5Name(toCharset) && !HasBig5Structure(*out)) {
        return std::nullopt;
    }
    // ICU maps private-use characters into legacy charsets through one-way fallbacks even
    // with the stop callbacks (a GBK user-defined character becomes an unrelated Big5-HKSCS
    // character), and drop some unassigned ones without a word (U+FFF7 into Big5-HKSCS). Such
    // a conversion is not exact: it must fail like any other that is not.
    if (out && !HoldsEveryCodePoint(toCharset)) {
        const std::optional<Bytes> back = ConvertOnce(*out, toCharset, fromCharset);
        if (!back || *back != data) {
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace qs
