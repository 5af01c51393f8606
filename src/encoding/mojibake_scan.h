#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qs {

// Text that is itself the wreck of an earlier wrong conversion, where it first shows: a
// fact about the file, told to the user, who may not know that it was damaged before it
// reached us. Nothing is changed for it.
struct TextWreck {
    // "replacement-characters", "replacement-characters-as-gbk", "utf-8-as-gbk"; empty
    // when none was seen.
    std::string_view what;
    std::int64_t offset = -1;  // the source byte where it begins

    bool Any() const { return !what.empty(); }
};

// Looks for wrecked text in the stretches it is fed: U+FFFD (what a decoder put for bytes
// it could not read), 锟斤拷 (U+FFFD's UTF-8 bytes read as GBK), and a run of text whose
// bytes in the internal code page are UTF-8 Chinese (UTF-8 read as GBK, such as 鏂囦欢 for
// 文件). utf8: the stretches are UTF-8 bytes, else text in the internal code page.
class MojibakeScan {
public:
    explicit MojibakeScan(bool utf8) : m_utf8(utf8) {}

    // What the first wreck of this stretch is and where in bytes it begins, the first time
    // one is seen.
    struct Found {
        std::string_view what;
        std::size_t at = 0;
    };
    std::optional<Found> Feed(std::string_view bytes);
    bool Seen() const { return m_seen; }

private:
    bool m_utf8;
    bool m_seen = false;
};

}  // namespace qs
