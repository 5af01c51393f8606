#include "job/json_path.h"

#include "job/job_report.h"
#include "platform/native_names.h"

namespace qs {
namespace {

// The name's own bytes in hex when its UTF-8 text is not them; empty when it is.
std::string BytesUnlessUtf8(const Text& path) {
    std::string native;
    if (!InternalToNative(path, native) || native == Utf8(path)) {
        return std::string();
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : native) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

}  // namespace

void PutPath(nlohmann::json& object, const std::string& key, const Text& path) {
    object[key] = Utf8(path);
    if (const std::string hex = BytesUnlessUtf8(path); !hex.empty()) {
        object[key + "Bytes"] = hex;
    }
}

nlohmann::json PathEntry(const Text& path) {
    if (BytesUnlessUtf8(path).empty()) {
        return Utf8(path);
    }
    nlohmann::json entry = nlohmann::json::object();
    PutPath(entry, "path", path);
    return entry;
}

}  // namespace qs
