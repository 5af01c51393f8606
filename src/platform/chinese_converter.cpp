#include "platform/chinese_converter.h"

#include <map>
#include <mutex>

#if QS_HAVE_OPENCC
#include <opencc.h>

#include "platform/loaded_library.h"
#endif

namespace qs {
namespace {

#if QS_HAVE_OPENCC
struct OpenCcApi {
    QS_FUNCTION(opencc_open);
    QS_FUNCTION(opencc_close);
    QS_FUNCTION(opencc_convert_utf8);
    QS_FUNCTION(opencc_convert_utf8_free);
};

bool BindOpenCc(LoadedLibrary& library, OpenCcApi& api) {
    return QS_BIND(library, api, opencc_open) && QS_BIND(library, api, opencc_close) &&
           QS_BIND(library, api, opencc_convert_utf8) &&
           QS_BIND(library, api, opencc_convert_utf8_free);
}

const OpenCcApi* OpenCc(std::string& why) {
    static LoadedApi<OpenCcApi> api(QS_LIBOPENCC_SONAME, BindOpenCc);
    return api.Get(why);
}

class OpenCcConverter : public ChineseConverter {
public:
    ~OpenCcConverter() override {
        for (const auto& [how, handle] : m_open) {
            if (handle != Invalid()) {
                Api()->opencc_close(handle);
            }
        }
    }
    // The library is loaded when first asked about.
    bool Available() const override { return Api() != nullptr; }
    std::string WhyUnavailable() const override {
        std::string why;
        OpenCc(why);
        return why;
    }
    std::optional<std::string> ConvertUtf8(std::string_view utf8, ZhConversion how) override {
        if (how == ZhConversion::None) {
            return std::string(utf8);
        }
        const OpenCcApi* api = Api();
        if (api == nullptr) {
            return std::nullopt;
        }
        const opencc_t handle = Open(*api, how);
        if (handle == Invalid()) {
            return std::nullopt;
        }
        // The library reads zero-terminated texts: a zero byte is kept and the parts
        // between are converted one by one.
        std::string out;
        out.reserve(utf8.size() + utf8.size() / 8);
        std::size_t pos = 0;
        while (pos <= utf8.size()) {
            std::size_t zero = utf8.find('\0', pos);
            const std::size_t end = zero == std::string_view::npos ? utf8.size() : zero;
            if (end > pos) {
                char* converted = api->opencc_convert_utf8(handle, utf8.data() + pos, end - pos);
                if (converted == nullptr) {
                    return std::nullopt;
                }
                out += converted;
                api->opencc_convert_utf8_free(converted);
            }
            if (zero == std::string_view::npos) {
                break;
            }
            out += '\0';
            pos = zero + 1;
        }
        return out;
    }

private:
    static opencc_t Invalid() { return reinterpret_cast<opencc_t>(-1); }

    // Loading the dictionaries takes a while: each conversion is opened once, for jobs on
    // every thread.
    opencc_t Open(const OpenCcApi& api, ZhConversion how) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_open.find(how);
        if (found != m_open.end()) {
            return found->second;
        }
        const char* config = how == ZhConversion::T2S    ? "t2s.json"
                             : how == ZhConversion::S2T  ? "s2t.json"
                             : how == ZhConversion::T2TW ? "t2tw.json"
                                                         : "s2tw.json";
        const opencc_t handle = api.opencc_open(config);
        m_open.emplace(how, handle);
        return handle;
    }

    static const OpenCcApi* Api() {
        std::string why;
        return OpenCc(why);
    }

    std::mutex m_mutex;
    std::map<ZhConversion, opencc_t> m_open;
};
using BuiltInConverter = OpenCcConverter;
#else
class UnavailableConverter : public ChineseConverter {
public:
    bool Available() const override { return false; }
    std::optional<std::string> ConvertUtf8(std::string_view utf8, ZhConversion how) override {
        if (how == ZhConversion::None) {
            return std::string(utf8);
        }
        return std::nullopt;
    }
};
using BuiltInConverter = UnavailableConverter;
#endif

ChineseConverter*& Current() {
    static BuiltInConverter builtIn;
    static ChineseConverter* current = &builtIn;
    return current;
}

}  // namespace

std::optional<ZhConversion> ParseZhConversion(std::string_view name) {
    const std::pair<std::string_view, ZhConversion> names[] = {
        {"t2s", ZhConversion::T2S},
        {"s2t", ZhConversion::S2T},
        {"t2tw", ZhConversion::T2TW},
        {"s2tw", ZhConversion::S2TW},
    };
    for (const auto& [text, how] : names) {
        if (name == text) {
            return how;
        }
    }
    return std::nullopt;
}

ChineseConverter& Zh() {
    return *Current();
}

ZhOverride::ZhOverride(ChineseConverter& replacement) : m_saved(Current()) {
    Current() = &replacement;
}

ZhOverride::~ZhOverride() {
    Current() = m_saved;
}

}  // namespace qs
