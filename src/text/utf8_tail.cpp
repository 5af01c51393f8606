#include "text/utf8_tail.h"

#include <algorithm>

namespace qs {

std::size_t WholeUtf8Prefix(std::string_view bytes) {
    const std::size_t n = bytes.size();
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, n); ++back) {
        const auto b = static_cast<unsigned char>(bytes[n - back]);
        if (b >= 0xC0) {
            const std::size_t length = b >= 0xF0 ? 4 : (b >= 0xE0 ? 3 : 2);
            return length > back ? n - back : n;
        }
        if (b < 0x80) {
            return n;
        }
    }
    return n;
}

}  // namespace qs
