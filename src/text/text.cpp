#include "text/text.h"

#include <mutex>
#include <string>
#include <unordered_map>

namespace qs {
namespace {

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
    if (!Utf8ToInternal(utf8, internal)) {
        internal.assign(utf8);  // a literal that is not valid UTF-8 is kept as it is
    }
    return cache.emplace(std::string(utf8), std::move(internal)).first->second;
}

}  // namespace qs
