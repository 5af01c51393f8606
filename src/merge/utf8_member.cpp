#include "merge/utf8_member.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "encoding/text_decoder.h"
#include "text/text.h"

namespace qs {

bool PassableUtf8Body(ReadHandle& in, bool hadMark, std::size_t blockBytes, Utf8Body& body) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    if (!in.Seek(0)) {
        return false;
    }
    Bytes block(blockBytes < 16 ? 16 : blockBytes, '\0');
    Utf8Scan utf8;
    std::int64_t total = 0;
    bool first = true;
    body = Utf8Body();
    for (;;) {
        std::int64_t got = 0;
        // The first block holds at least the mark and the character after it.
        do {
            const std::int64_t n =
                in.Read(block.data() + got, static_cast<std::int64_t>(block.size()) - got);
            if (n < 0) {
                return false;
            }
            if (n == 0) {
                break;
            }
            got += n;
        } while (first && got < 6);
        if (got == 0) {
            break;
        }
        std::string_view bytes(block.data(), static_cast<std::size_t>(got));
        if (first) {
            if (bytes.starts_with(kMark) != hadMark) {
                return false;
            }
            if (hadMark) {
                bytes.remove_prefix(kMark.size());
                body.start = static_cast<std::int64_t>(kMark.size());
            }
            if (bytes.starts_with(kMark)) {
                return false;
            }
            first = false;
        }
        utf8.Feed(bytes);
        body.markup = body.markup || std::memchr(bytes.data(), '<', bytes.size()) != nullptr;
        total += got;
    }
    body.length = total - body.start;
    return utf8.Exact() &&
           PassableUtf8Body({body.start, body.length, body.markup, false, utf8.Plausible()},
                            hadMark);
}

AtomicWriter::CopyResult CopyUtf8Body(ReadHandle& in, const Utf8Body& body, bool hadMark,
                                      std::size_t blockBytes, AtomicWriter& out) {
    using Result = AtomicWriter::CopyResult;
    if (!in.Seek(body.start)) {
        return Result::ReadFailed;
    }
    Bytes block(blockBytes < 16 ? 16 : blockBytes, '\0');
    Utf8Scan utf8;
    bool markup = false;
    std::int64_t left = body.length;
    while (left > 0) {
        const std::int64_t n = in.Read(
            block.data(), std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        if (n <= 0) {
            return Result::ReadFailed;
        }
        const std::string_view bytes(block.data(), static_cast<std::size_t>(n));
        utf8.Feed(bytes);
        markup = markup || std::memchr(bytes.data(), '<', bytes.size()) != nullptr;
        if (!utf8.ExactSoFar() || (markup && !body.markup)) {
            return Result::ReadFailed;
        }
        if (!out.Write(bytes)) {
            return Result::WriteFailed;
        }
        left -= n;
    }
    // One that grew would go in cut short, its new text unread.
    const bool whole =
        utf8.Exact() && (hadMark || utf8.Plausible()) && in.Length() == body.start + body.length;
    return whole ? Result::Copied : Result::ReadFailed;
}

std::optional<Utf8Body> PassableUtf8Body(const TextSliceReader::ScannedUtf8& scanned,
                                         bool hadMark) {
    // Unmarked, markup might declare another charset that the text would be read in.
    if (scanned.length <= 0 || scanned.startsWithMark ||
        !(hadMark || (scanned.plausible && !scanned.markup))) {
        return std::nullopt;
    }
    return Utf8Body{scanned.start, scanned.length, scanned.markup};
}

}  // namespace qs
