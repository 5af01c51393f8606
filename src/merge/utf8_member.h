#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "encoding/text_slices.h"
#include "platform/file_system.h"

namespace qs {

// The body of a member examined as UTF-8, to go into a UTF-8 output as its own bytes instead
// of being decoded and encoded again.
struct Utf8Body {
    std::int64_t start = 0;
    std::int64_t length = 0;
    bool markup = false;  // a "<" in it
};

// Reads the member through once and tells whether it still reads as the UTF-8 text it was
// examined as (its mark as then, a body that is well-formed UTF-8 of which a byte is not
// ASCII), with nothing in it that could make its text read otherwise: no declaration of
// another charset, no U+FEFF right after its mark. False: it takes the general path, which
// reads it again and judges it.
bool PassableUtf8Body(ReadHandle& in, bool hadMark, std::size_t blockBytes, Utf8Body& body);

// The same verdict on what the member's examination saw of it, without reading it again.
std::optional<Utf8Body> PassableUtf8Body(const TextSliceReader::ScannedUtf8& scanned, bool hadMark);

// Appends the body to out, checking every block as it goes through: the member may have been
// rewritten since its examination, and only bytes that are still the UTF-8 text it was passed
// as may reach the output. ReadFailed when they are not, or when the member is no longer of
// the examined length.
AtomicWriter::CopyResult CopyUtf8Body(ReadHandle& in, const Utf8Body& body, bool hadMark,
                                      std::size_t blockBytes, AtomicWriter& out);

}  // namespace qs
