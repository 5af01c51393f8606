#include "encoding/text_decoder.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "encoding/charset_converter.h"
#include "encoding/encoding_guess.h"
#include "encoding/html_charset.h"
#include "encoding/text_slices.h"
#include "encoding/utf8_block_scan.h"
#include "platform/ascii_run.h"
#include "platform/services.h"

namespace qs {

namespace {

// The first position of byte c, or npos.
std::size_t FindByte(std::string_view text, char c) {
    const void* hit = text.empty() ? nullptr : std::memchr(text.data(), c, text.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
               : std::string_view::npos;
}

// What the HTML test sees: the text up to its first zero byte or 0x1A byte. This limit is
// for detection only; the decoded text keeps every byte. Without a "<" it has nothing to
// find, and gets nothing to look at.
std::string_view HtmlDetectionInput(std::string_view all) {
    // A page declares its charset in its head, far before this: a text that merely holds a
    // "<" is not searched, nor held, whole.
    std::string_view input = all.substr(
        0, std::min({FindByte(all, 0), all.size(), static_cast<std::size_t>(kDeclarationBytes)}));
    input = input.substr(0, std::min(FindByte(input, 0x1A), input.size()));
    return FindByte(input, '<') == std::string_view::npos ? std::string_view() : input;
}

// The whole text of a source, as the one reader decodes it.
DecodedText Drain(std::unique_ptr<ReadHandle> in, TextEncoding requested) {
    DecodedText decoded;
    TextSliceReader reader;
    if (!reader.Open(std::move(in), requested)) {
        return decoded;
    }
    std::string_view slice;
    bool read = true;
    while ((read = reader.Next(slice)) && !slice.empty()) {
        decoded.text += slice;
    }
    if (!read) {
        return {};
    }
    decoded.format = reader.Format();
    decoded.opened = true;
    decoded.exact = reader.Exact();
    decoded.damage = reader.Damage();
    decoded.tiedWith = reader.TiedWith();
    decoded.wreck = reader.Wreck();
    return decoded;
}

// Bytes in memory as a source.
class BytesSource : public ReadHandle {
public:
    explicit BytesSource(std::string_view bytes) : m_bytes(bytes) {}
    std::int64_t Length() override { return static_cast<std::int64_t>(m_bytes.size()); }
    bool Seek(std::int64_t position) override {
        m_at = std::min(static_cast<std::size_t>(position), m_bytes.size());
        return true;
    }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        const std::size_t n = std::min(static_cast<std::size_t>(size), m_bytes.size() - m_at);
        std::memcpy(buffer, m_bytes.data() + m_at, n);
        m_at += n;
        return static_cast<std::int64_t>(n);
    }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

}  // namespace

TextEncoding DeclaredEncoding(std::string_view all) {
    const std::string_view input = HtmlDetectionInput(all);
    switch (DetectHtmlCharset(input)) {
        case HtmlCharsetUtf8:
            return TextEncoding::Utf8;
        case HtmlCharsetBig5:
            return TextEncoding::Big5;
        case HtmlCharsetBig5Hkscs:
            return TextEncoding::Big5Hkscs;
        default:
            break;
    }
    const Text name = XmlDeclaredEncodingName(input);
    if (name == "utf-8") {
        return TextEncoding::Utf8;
    }
    if (name == "big5") {
        return TextEncoding::Big5;
    }
    if (name == "big5-hkscs") {
        return TextEncoding::Big5Hkscs;
    }
    if (name == "gb2312" || name == "gbk" || name == "gb18030") {
        return TextEncoding::Gb18030;
    }
    return TextEncoding::Undetected;
}

DecodedText DecodeTextHandle(std::unique_ptr<ReadHandle> in, TextEncoding requested) {
    return in ? Drain(std::move(in), requested) : DecodedText();
}

DecodedText DecodeTextFile(const Text& path, TextEncoding requested) {
    return path.empty() ? DecodedText() : Drain(Fs().OpenRead(path), requested);
}

DecodedText DecodeBytes(std::string_view bytes, TextEncoding requested) {
    return Drain(std::make_unique<BytesSource>(bytes), requested);
}

void Utf8Scan::Check(const unsigned char* s, std::size_t length) {
    const unsigned lead = s[0];
    const unsigned next = s[1];
    const bool exact =
        (length == 2 && lead >= 0xC2) ||
        (length == 3 && !(lead == 0xE0 && next < 0xA0) && !(lead == 0xED && next > 0x9F)) ||
        (length == 4 && !(lead == 0xF0 && next < 0x90) && !(lead == 0xF4 && next > 0x8F));
    m_exact = m_exact && exact;
}

void Utf8Scan::Feed(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    // First the rest of a sequence that the previous slice cut.
    while (m_plausible && m_have > 0 && m_have < sizeof m_pending && i < n) {
        m_pending[m_have++] = p[i];
        if ((p[i++] & 0xC0) != 0x80) {
            m_plausible = false;
        } else if (m_have == m_need) {
            Check(m_pending, m_need);
            m_have = 0;
        }
    }
    std::size_t wideFrom = i;  // where the block scan may look again
    while (m_plausible && i < n) {
        if (i >= wideFrom) {
            bool nonAscii = false;
            i += Utf8BlockPrefix(p + i, n - i, m_exact, nonAscii);
            m_sawNonAscii = m_sawNonAscii || nonAscii;
            // It stopped before a fault or the end: the bytes up to them go one by one.
            wideFrom = i + 67;
        }
        i = AsciiWordsEnd(p, i, n);
        while (i < n && p[i] < 0x80) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        const unsigned lead = p[i];
        // The common case of Chinese text, a run of whole three-byte sequences, in a tight loop.
        if ((lead & 0xF0) == 0xE0 && i + 3 <= n) {
            bool exact = true;
            do {
                const unsigned first = p[i];
                const unsigned next = p[i + 1];
                if ((next & 0xC0) != 0x80 || (p[i + 2] & 0xC0) != 0x80) {
                    m_plausible = false;
                    return;
                }
                exact &= !(first == 0xE0 && next < 0xA0) && !(first == 0xED && next > 0x9F);
                i += 3;
            } while (i + 3 <= n && (p[i] & 0xF0) == 0xE0);
            m_exact = m_exact && exact;
            m_sawNonAscii = true;
            continue;
        }
        std::size_t length;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
        } else {
            m_plausible = false;
            break;
        }
        m_sawNonAscii = true;
        const std::size_t present = std::min(length, n - i);
        for (std::size_t k = 1; k < present; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                m_plausible = false;
                return;
            }
        }
        if (present < length) {
            std::memcpy(m_pending, p + i, present);
            m_have = present;
            m_need = length;
            return;
        }
        Check(p + i, length);
        i += length;
    }
}

}  // namespace qs
