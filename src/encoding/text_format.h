#pragma once

#include "encoding/output_text.h"
#include "encoding/text_decoder.h"

namespace qs {

// How a text is held in a file: its encoding and whether a byte-order mark comes first.
// Found once by the reader and carried to the writer and the report. EncodingUndetected
// means bytes copied as they are, never decoded.
struct TextFormat {
    TextEncoding encoding = EncodingUndetected;
    bool mark = false;
    bool book = false;  // an EPUB book: its texts are UTF-8 inside a zip container

    bool operator==(const TextFormat&) const = default;
};

// The format an asked-for output encoding writes (GBK counts as the internal GB18030).
TextFormat FormatOf(const OutputEncoding& encoding);

}  // namespace qs
