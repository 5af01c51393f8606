#include "platform/gb18030_utf8.h"

#include <unicode/ucnv.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/ascii_run.h"

namespace qs {
namespace {

constexpr std::size_t kTwoByteCodes = 126 * 191;           // lead 81-FE, trail 40-FE
constexpr std::size_t kFourByteCodes = 4 * 10 * 126 * 10;  // 81308130 .. 8439FE39
constexpr std::size_t kChunk = 256 << 10;

struct Tables {
    bool ok = false;
    std::vector<std::uint32_t> bytes;        // code point -> GB18030 bytes, first byte lowest
    std::vector<std::uint8_t> length;        // 0: not in the table
    std::vector<std::uint16_t> twoByte;      // (lead, trail) -> code point, 0: not in the table
    std::vector<std::uint32_t> twoByteUtf8;  // (lead, trail) -> UTF-8 bytes, length on top
    std::vector<std::uint16_t> fourByte;     // four-byte index -> code point
    // One bit for each pair of bytes (first byte high) that is a two-byte character of the
    // tables: 8 KB, which a check of a whole text keeps at hand.
    std::vector<std::uint64_t> twoByteKnown;
};

std::size_t FourByteIndex(unsigned b0, unsigned b1, unsigned b2, unsigned b3) {
    return (((b0 - 0x81) * 10 + (b1 - 0x30)) * 126 + (b2 - 0x81)) * 10 + (b3 - 0x30);
}

// The UTF-8 bytes of basic-plane code point c into d; the count written.
std::size_t PutUtf8(std::uint32_t c, char* d) {
    if (c < 0x80) {
        d[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        d[0] = static_cast<char>(0xC0 | (c >> 6));
        d[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    d[0] = static_cast<char>(0xE0 | (c >> 12));
    d[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    d[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
}

Tables BuildTables() {
    Tables t;
    std::u16string all;
    for (std::uint32_t c = 0; c <= 0xFFFF; ++c) {
        if (c < 0xD800 || c > 0xDFFF) {
            all.push_back(static_cast<char16_t>(c));
        }
    }
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open("GB18030", &status);
    if (U_FAILURE(status)) {
        return t;
    }
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::string encoded(all.size() * 4, '\0');
    const int32_t n =
        ucnv_fromUChars(converter, encoded.data(), static_cast<int32_t>(encoded.size()), all.data(),
                        static_cast<int32_t>(all.size()), &status);
    std::u16string back(all.size() + 16, u'\0');
    int32_t m = 0;
    if (U_SUCCESS(status)) {
        m = ucnv_toUChars(converter, back.data(), static_cast<int32_t>(back.size()), encoded.data(),
                          n, &status);
    }
    ucnv_close(converter);
    // ICU must read its own output back as the same characters.
    if (U_FAILURE(status) || m != static_cast<int32_t>(all.size()) ||
        back.compare(0, all.size(), all) != 0) {
        return t;
    }
    encoded.resize(static_cast<std::size_t>(n));

    t.bytes.assign(0x10000, 0);
    t.length.assign(0x10000, 0);
    t.twoByte.assign(kTwoByteCodes, 0);
    t.fourByte.assign(kFourByteCodes, 0);
    std::size_t at = 0;
    for (char16_t c : all) {
        const auto* p = reinterpret_cast<const unsigned char*>(encoded.data()) + at;
        std::size_t len = 1;
        if (p[0] >= 0x80) {
            len = (at + 1 < encoded.size() && p[1] >= 0x30 && p[1] <= 0x39) ? 4 : 2;
        }
        if (at + len > encoded.size() || (len == 1 && p[0] != c)) {
            return Tables{};
        }
        std::uint32_t packed = 0;
        for (std::size_t k = 0; k < len; ++k) {
            packed |= static_cast<std::uint32_t>(p[k]) << (8 * k);
        }
        t.bytes[c] = packed;
        t.length[c] = static_cast<std::uint8_t>(len);
        if (len == 2 && p[0] >= 0x81 && p[0] <= 0xFE && p[1] >= 0x40 && p[1] <= 0xFE) {
            t.twoByte[(p[0] - 0x81) * 191 + (p[1] - 0x40)] = c;
        } else if (len == 4 && p[0] >= 0x81 && p[0] <= 0x84 && p[2] >= 0x81 && p[2] <= 0xFE &&
                   p[3] >= 0x30 && p[3] <= 0x39) {
            t.fourByte[FourByteIndex(p[0], p[1], p[2], p[3])] = c;
        }
        at += len;
    }
    t.twoByteUtf8.assign(kTwoByteCodes, 0);
    t.twoByteKnown.assign(0x10000 / 64, 0);
    for (std::size_t k = 0; k < kTwoByteCodes; ++k) {
        if (t.twoByte[k] != 0) {
            const std::size_t pair = ((0x81 + k / 191) << 8) | (0x40 + k % 191);
            t.twoByteKnown[pair / 64] |= std::uint64_t{1} << (pair % 64);
            char utf8[4] = {};
            const std::size_t len = PutUtf8(t.twoByte[k], utf8);
            std::uint32_t packed = static_cast<std::uint32_t>(len) << 24;
            for (std::size_t b = 0; b < len; ++b) {
                packed |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[b]))
                          << (8 * b);
            }
            t.twoByteUtf8[k] = packed;
        }
    }
    t.ok = at == encoded.size();
    return t;
}

const Tables& TheTables() {
    static const Tables tables = BuildTables();
    return tables;
}

// Collects output through a cache-sized buffer into reserved, never zero-filled space.
class Output {
public:
    explicit Output(std::size_t reserve) : m_chunk(Chunk()) {
        m_out.reserve(reserve);
        m_at = m_chunk;
    }
    // Room for at least 4 more bytes.
    char* Room() {
        if (m_at + 4 > m_chunk + kChunk) {
            Flush();
        }
        return m_at;
    }
    void Advance(std::size_t n) { m_at += n; }
    // Bytes that fit after Room() before the next flush.
    std::size_t Free() const { return static_cast<std::size_t>(m_chunk + kChunk - m_at); }
    Bytes Take() {
        Flush();
        return std::move(m_out);
    }

    void Flush() {
        m_out.append(m_chunk, static_cast<std::size_t>(m_at - m_chunk));
        m_at = m_chunk;
    }

private:
    // One buffer per thread for every conversion: one of its own each time would be mapped
    // afresh, at the cost of a page fault per page.
    static char* Chunk() {
        thread_local const std::unique_ptr<char[]> chunk =
            std::make_unique_for_overwrite<char[]>(kChunk);
        return chunk.get();
    }

    char* m_chunk;
    char* m_at;
    Bytes m_out;
};

// One GB18030 character of the tables at p[i] into c, advancing i; false when the bytes
// there are not one of them.
bool NextGb18030(const Tables& t, const unsigned char* p, std::size_t n, std::size_t& i,
                 std::uint32_t& c) {
    const unsigned b = p[i];
    if (b < 0x80) {
        ++i;
        c = b;
        return true;
    }
    if (b < 0x81 || b > 0xFE || i + 1 >= n) {
        return false;
    }
    const unsigned b1 = p[i + 1];
    if (b1 >= 0x40 && b1 <= 0xFE) {
        c = t.twoByte[(b - 0x81) * 191 + (b1 - 0x40)];
        i += 2;
        return c != 0;
    }
    if (b1 >= 0x30 && b1 <= 0x39 && b <= 0x84 && i + 3 < n && p[i + 2] >= 0x81 &&
        p[i + 2] <= 0xFE && p[i + 3] >= 0x30 && p[i + 3] <= 0x39) {
        c = t.fourByte[FourByteIndex(b, b1, p[i + 2], p[i + 3])];
        i += 4;
        return c != 0;
    }
    return false;
}

// The GB18030 bytes of code point c into d; the count written, 0 when not in the tables.
std::size_t PutGb18030(const Tables& t, std::uint32_t c, char* d) {
    const std::size_t len = t.length[c];
    const std::uint32_t packed = t.bytes[c];
    std::memcpy(d, &packed, 4);  // little-endian: the first byte goes first
    return len;
}

// One UTF-8 character of the basic plane at p[i] into c, advancing i; false when the bytes
// there are not one (overlong forms and surrogates are not).
bool NextUtf8(const unsigned char* p, std::size_t n, std::size_t& i, std::uint32_t& c) {
    const unsigned b = p[i];
    if (b < 0x80) {
        c = b;
        ++i;
        return true;
    }
    if ((b & 0xE0) == 0xC0) {
        if (i + 1 >= n || (p[i + 1] & 0xC0) != 0x80) {
            return false;
        }
        c = ((b & 0x1F) << 6) | (p[i + 1] & 0x3F);
        i += 2;
        return c >= 0x80;
    }
    if ((b & 0xF0) == 0xE0) {
        if (i + 2 >= n || (p[i + 1] & 0xC0) != 0x80 || (p[i + 2] & 0xC0) != 0x80) {
            return false;
        }
        c = ((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F);
        i += 3;
        return c >= 0x800 && (c < 0xD800 || c > 0xDFFF);
    }
    return false;
}

// The loop every table conversion shares: the tables and the output. `run` converts the common
// characters from p[i] on in a tight loop, up to end and while 4 more bytes fit before d + room,
// advancing i, and returns how many it wrote; `step` converts whatever stands at p[i] into at most
// 4 bytes at d, advancing i, and returns how many it wrote, 0 to give up (templates, so that both
// are inlined).
template <typename Run, typename Step>
std::optional<Bytes> ConvertByTables(std::string_view data, std::size_t reserve, Run run,
                                     Step step) {
    const Tables& t = TheTables();
    if (!t.ok) {
        return std::nullopt;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t n = data.size();
    Output out(reserve);
    std::size_t i = 0;
    while (i < n) {
        char* d = out.Room();
        std::size_t written = run(t, p, n, i, d, out.Free());
        if (written == 0) {
            written = step(t, p, n, i, d);
            if (written == 0) {
                return std::nullopt;
            }
        }
        out.Advance(written);
    }
    return out.Take();
}

// For the conversions that go character by character.
inline std::size_t NoRun(const Tables&, const unsigned char*, std::size_t, std::size_t&, char*,
                         std::size_t) {
    return 0;
}

// Runs of ASCII bytes, copied eight at a time; the count copied.
inline std::size_t CopyAscii(const unsigned char* p, std::size_t end, std::size_t& i, char* d,
                             std::size_t room) {
    std::size_t k = 0;
    while (i + 8 <= end && k + 8 <= room) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ULL) {
            break;
        }
        std::memcpy(d + k, &word, 8);
        i += 8;
        k += 8;
    }
    return k;
}

}  // namespace

std::optional<Bytes> TableUtf8ToGb18030(std::string_view data) {
    return ConvertByTables(
        data, data.size() + data.size() / 2 + 16,
        [](const Tables& t, const unsigned char* p, std::size_t end, std::size_t& i, char* d,
           std::size_t room) -> std::size_t {
            std::size_t k = CopyAscii(p, end, i, d, room);
            // Three-byte characters, the bulk of Chinese text, and single ASCII bytes.
            while (i < end && k + 4 <= room) {
                const unsigned b = p[i];
                if (b < 0x80) {
                    d[k++] = static_cast<char>(b);
                    ++i;
                    continue;
                }
                if ((b & 0xF0) != 0xE0 || i + 2 >= end || (p[i + 1] & 0xC0) != 0x80 ||
                    (p[i + 2] & 0xC0) != 0x80) {
                    break;
                }
                const std::uint32_t c =
                    ((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F);
                const std::uint32_t packed = t.bytes[c];
                // Overlong forms are not characters; surrogates are not in the tables.
                if (c < 0x800 || packed == 0) {
                    break;
                }
                std::memcpy(d + k, &packed, 4);
                // Past U+07FF a character is two bytes or four, and a third byte shows four.
                k += (packed >> 16) != 0 ? 4 : 2;
                i += 3;
            }
            return k;
        },
        [](const Tables& t, const unsigned char* p, std::size_t n, std::size_t& i,
           char* d) -> std::size_t {
            std::uint32_t c;
            return NextUtf8(p, n, i, c) ? PutGb18030(t, c, d) : 0;
        });
}

std::optional<Bytes> TableGb18030ToUtf8(std::string_view data) {
    return ConvertByTables(
        data, data.size() + data.size() / 2 + 16,
        [](const Tables& t, const unsigned char* p, std::size_t end, std::size_t& i, char* d,
           std::size_t room) -> std::size_t {
            std::size_t k = CopyAscii(p, end, i, d, room);
            // Double-byte characters, the bulk of the text, and single ASCII bytes.
            while (i < end && k + 4 <= room) {
                const unsigned b = p[i];
                if (b < 0x80) {
                    d[k++] = static_cast<char>(b);
                    ++i;
                    continue;
                }
                if (b < 0x81 || b > 0xFE || i + 1 >= end || p[i + 1] < 0x40 || p[i + 1] > 0xFE) {
                    break;
                }
                const std::uint32_t packed = t.twoByteUtf8[(b - 0x81) * 191 + (p[i + 1] - 0x40)];
                if (packed == 0) {
                    break;
                }
                std::memcpy(d + k, &packed, 4);
                k += packed >> 24;
                i += 2;
            }
            return k;
        },
        [](const Tables& t, const unsigned char* p, std::size_t n, std::size_t& i,
           char* d) -> std::size_t {
            std::uint32_t c;
            return NextGb18030(t, p, n, i, c) ? PutUtf8(c, d) : 0;
        });
}

bool TableReadsGb18030(std::string_view data) {
    const Tables& t = TheTables();
    if (!t.ok) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t n = data.size();
    std::size_t i = 0;
    while (i < n) {
        i = AsciiWordsEnd(p, i, n);
        // Double-byte characters, the bulk of the text, and single ASCII bytes.
        while (i < n) {
            const unsigned b = p[i];
            if (b < 0x80) {
                ++i;
                continue;
            }
            const std::size_t pair = (b << 8) | (i + 1 < n ? p[i + 1] : 0);
            if ((t.twoByteKnown[pair / 64] >> (pair % 64) & 1) == 0) {
                break;
            }
            i += 2;
        }
        std::uint32_t c;
        if (i < n && !NextGb18030(t, p, n, i, c)) {
            return false;
        }
    }
    return true;
}

std::optional<Bytes> TableUtf16LeToGb18030(std::string_view data) {
    if (data.size() % 2 != 0) {
        return std::nullopt;
    }
    return ConvertByTables(data, data.size() + 16, NoRun,
                           [](const Tables& t, const unsigned char* p, std::size_t, std::size_t& i,
                              char* d) -> std::size_t {
                               const std::uint32_t c =
                                   p[i] | (static_cast<std::uint32_t>(p[i + 1]) << 8);
                               i += 2;
                               return c >= 0xD800 && c <= 0xDFFF ? 0 : PutGb18030(t, c, d);
                           });
}

std::optional<Bytes> TableGb18030ToUtf16Le(std::string_view data) {
    return ConvertByTables(data, 2 * data.size() + 16, NoRun,
                           [](const Tables& t, const unsigned char* p, std::size_t n,
                              std::size_t& i, char* d) -> std::size_t {
                               std::uint32_t c;
                               if (!NextGb18030(t, p, n, i, c)) {
                                   return 0;
                               }
                               d[0] = static_cast<char>(c & 0xFF);
                               d[1] = static_cast<char>(c >> 8);
                               return 2;
                           });
}

}  // namespace qs
