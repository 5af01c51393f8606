#include "platform/text.h"

#include <unicode/ucnv.h>

#include "platform/icu_charsets.h"

#include <memory>
#include <mutex>
#include <unordered_map>

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

// Looks up a literal without making a string of it: control names are looked up on every
// piece of a job.
struct LiteralHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

}  // namespace

const Text& U(std::string_view utf8) {
    static std::mutex mutex;
    static std::unordered_map<std::string, Text, LiteralHash, std::equal_to<>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = cache.find(utf8);
    if (found != cache.end()) {
        return found->second;
    }
    Text internal;
    if (!ConvertStrict("UTF-8", "GB18030", utf8, internal)) {
        internal.assign(utf8);  // a literal that is not valid UTF-8 is kept as it is
    }
    return cache.emplace(std::string(utf8), std::move(internal)).first->second;
}

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
