#pragma once

#include <optional>
#include <string_view>

#include "encoding/text_decoder.h"
#include "text/text.h"

namespace qs {

// The charset under which the program hands its own texts to the converter.
constexpr std::string_view InternalCharset() {
    return "GB18030";
}

// The byte-order mark written in front of text in the encoding: EF BB BF for UTF-8, FF FE
// for UTF-16LE, FE FF for UTF-16BE; empty for every other code.
std::string_view ByteOrderMark(TextEncoding encoding);

// The data re-encoded from one charset into another, exactly: bytes invalid in the source
// charset or characters the target cannot represent make it fail. Empty on failure or for
// empty data. No byte-order mark is added or removed.
Bytes ConvertCharset(std::string_view data, std::string_view fromCharset,
                     std::string_view toCharset);

// The bytes that WriteTextFileEncoded writes: for codes 2..6 the text converted into the
// encoding's charset with its byte-order mark in front; when that conversion fails, and for
// every other code, the internal bytes as they are, without a mark. An empty text gives no
// bytes at all.
Bytes EncodeText(std::string_view text, TextEncoding encoding, bool withMark = true);
// EncodeText without the fallback: nothing when the encoding cannot hold the text.
std::optional<Bytes> EncodeTextExactly(std::string_view text, TextEncoding encoding,
                                       bool withMark = true);

// Writes EncodeText(text, encoding) to path atomically, creating or replacing the file.
// written (when given) receives those bytes, also when nothing was written. False when the
// path is empty or the file could not be written.
// withMark false leaves the byte-order mark out (the source had none).
bool WriteTextFileEncoded(const Text& path, std::string_view text, TextEncoding encoding,
                          Bytes* written = nullptr, bool withMark = true);

}  // namespace qs
