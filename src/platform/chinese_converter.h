#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qs {

// 繁简 conversion of whole phrases: traditional to simplified, simplified to traditional,
// and both into the forms used in Taiwan.
enum class ZhConversion { None, T2S, S2T, T2TW, S2TW };

// "t2s", "s2t", "t2tw", "s2tw"; nullopt for any other name.
std::optional<ZhConversion> ParseZhConversion(std::string_view name);

class ChineseConverter {
public:
    virtual ~ChineseConverter() = default;
    // False when the program was built without a conversion library, or it cannot be loaded.
    virtual bool Available() const = 0;
    // Why it is not available, where there is more to say than that it was not built in.
    virtual std::string WhyUnavailable() const { return std::string(); }
    // The UTF-8 text converted; nullopt when the conversion cannot be made.
    virtual std::optional<std::string> ConvertUtf8(std::string_view utf8, ZhConversion how) = 0;
};

// The converter in use: the library's, or one that is not available.
ChineseConverter& Zh();

// Replaces the converter for the lifetime of the guard (tests).
class ZhOverride {
public:
    explicit ZhOverride(ChineseConverter& replacement);
    ~ZhOverride();
    ZhOverride(const ZhOverride&) = delete;
    ZhOverride& operator=(const ZhOverride&) = delete;

private:
    ChineseConverter* m_saved;
};

}  // namespace qs
