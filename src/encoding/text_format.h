#pragma once

#include <cstdint>
#include <string_view>

namespace qs {

// The encoding of a text in a file, kept by the jobs and handed back when writing.
// The numbers stay fixed: diagnostics print them.
enum class TextEncoding : std::int32_t {
    Undetected = 0,  // as a request: detect
    Gb18030 = 1,     // the internal code page: the bytes as they are
    Utf8 = 2,
    Utf16Le = 3,
    Utf16Be = 4,
    Big5 = 5,
    Big5Hkscs = 6,
    // Only written, when asked for: the internal code page held to the characters of GBK.
    Gbk = 7,
};

// "UTF-8", "UTF-16LE", "UTF-16BE", "BIG5", "BIG5-HKSCS", "GBK" for codes 2..7; empty for the
// codes that are never converted.
std::string_view CharsetName(TextEncoding encoding);

// The two double-byte families a short Chinese text may be read in alike.
inline bool IsGbFamily(TextEncoding e) {
    return e == TextEncoding::Gb18030 || e == TextEncoding::Gbk;
}
inline bool IsBig5Family(TextEncoding e) {
    return e == TextEncoding::Big5 || e == TextEncoding::Big5Hkscs;
}

// How a text is held in a file: its encoding and whether a byte-order mark comes first.
// Found once by the reader and carried to the writer and the report. TextEncoding::Undetected
// means bytes copied as they are, never decoded.
struct TextFormat {
    TextEncoding encoding = TextEncoding::Undetected;
    bool mark = false;
    bool book = false;  // an EPUB book: its texts are UTF-8 inside a zip container

    bool operator==(const TextFormat&) const = default;
};

// The format a written text is reported as: GBK is a part of the internal GB18030.
TextFormat FormatOf(const TextFormat& written);

}  // namespace qs
