#include "encoding/text_slices.h"

#include <algorithm>
#include <cstring>

#include "encoding/charset_converter.h"
#include "platform/services.h"

namespace qs {
namespace {

bool IsHighSurrogate(unsigned char lead) {
    return lead >= 0xD8 && lead <= 0xDB;
}

}  // namespace

TextSliceReader::TextSliceReader(std::size_t sliceBytes)
    : m_sliceBytes(std::max<std::size_t>(sliceBytes, 1)) {}

bool TextSliceReader::Open(const Text& path) {
    return Open(path.empty() ? nullptr : Fs().OpenRead(path));
}

bool TextSliceReader::Open(std::unique_ptr<ReadHandle> in) {
    m_in = std::move(in);
    if (!m_in || !Detect()) {
        m_in.reset();
        return false;
    }
    if (!m_charset.empty() && !ConvertsExactly()) {
        m_charset = {};
        m_exact = false;
        if (m_declared && m_utf8Exact) {
            // A page saved in UTF-8 under an older declaration.
            m_encoding = EncodingUtf8;
            m_charset = CharsetName(m_encoding);
            m_exact = true;
        }
    }
    if (m_markOnly) {
        // A mark alone (what an editor saves for an empty text) is an empty text.
        m_hadMark = true;
        m_atEnd = true;
        m_buffer.clear();
        return true;
    }
    if (m_charset.empty()) {
        m_encoding = EncodingRaw;
        m_hadMark = false;
        m_bodyStart = 0;
    } else {
        m_hadMark = m_bodyStart > 0;
    }
    m_buffer.clear();
    m_atEnd = false;
    return m_in->Seek(m_bodyStart);
}

bool TextSliceReader::Fill() {
    const std::size_t had = m_buffer.size();
    m_buffer.resize(had + m_sliceBytes);
    std::size_t got = 0;
    while (got < m_sliceBytes) {
        const std::int64_t n =
            m_in->Read(m_buffer.data() + had + got, static_cast<std::int64_t>(m_sliceBytes - got));
        if (n < 0) {
            m_buffer.resize(had);
            return false;
        }
        if (n == 0) {
            m_atEnd = true;
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    m_buffer.resize(had + got);
    return true;
}

// One pass over the file: the mark at its start, the extent of what the HTML test looks at,
// the UTF-8 test; a body in a charset named by its mark is also converted on trial.
bool TextSliceReader::Detect() {
    char head[3];
    std::int64_t headLength = 0;
    while (headLength < 3) {
        const std::int64_t n = m_in->Read(head + headLength, 3 - headLength);
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        headLength += n;
    }
    const std::string_view start(head, static_cast<std::size_t>(headLength));
    m_encoding = EncodingUndetected;
    m_bodyStart = 0;
    m_declared = false;
    m_markOnly = false;
    m_utf8Exact = false;
    m_exact = true;
    for (const TextEncoding marked : {EncodingUtf8, EncodingUtf16Le, EncodingUtf16Be}) {
        if (start.starts_with(ByteOrderMark(marked))) {
            m_encoding = marked;
            m_bodyStart = static_cast<std::int64_t>(ByteOrderMark(marked).size());
            break;
        }
    }
    const bool marked = m_encoding != EncodingUndetected;
    const bool trial = marked && m_encoding != EncodingUtf8;
    m_charset = CharsetName(m_encoding);

    Utf8Scan utf8;
    std::int64_t htmlEnd = -1;  // the first zero or 0x1A byte
    bool sawTag = false;
    std::int64_t position = m_bodyStart;
    m_buffer.assign(start.substr(static_cast<std::size_t>(m_bodyStart)));
    m_atEnd = false;
    bool exact = true;
    while (!m_atEnd) {
        if (!Fill()) {
            return false;
        }
        if (trial) {
            const std::size_t whole = m_atEnd ? m_buffer.size() : WholeCharacters();
            position += static_cast<std::int64_t>(whole);
            if (exact && whole > 0) {
                const std::optional<Bytes> converted = Conv().Convert(
                    std::string_view(m_buffer).substr(0, whole), m_charset, InternalCharset());
                exact = converted.has_value();
            }
            m_buffer.erase(0, whole);
        } else {
            utf8.Feed(m_buffer);
            if (!marked && htmlEnd < 0) {
                const char* data = m_buffer.data();
                std::size_t stop = m_buffer.size();
                for (const char c : {'\0', '\x1A'}) {
                    if (const void* hit = std::memchr(data, c, stop)) {
                        stop = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
                        htmlEnd = position + static_cast<std::int64_t>(stop);
                    }
                }
                sawTag = sawTag || std::memchr(data, '<', stop) != nullptr;
            }
            position += static_cast<std::int64_t>(m_buffer.size());
            m_buffer.clear();
        }
        Ui().ProcessPendingEvents();
    }
    if (trial) {
        m_markOnly = position == m_bodyStart;
        if (!exact) {
            m_charset = {};
            m_exact = false;
        }
        return true;
    }
    if (!marked && sawTag) {
        // Markup: the declaration is looked for in the text before the first zero or 0x1A
        // byte, which is read whole for it.
        const std::int64_t length = htmlEnd < 0 ? position : htmlEnd;
        Bytes input(static_cast<std::size_t>(length), '\0');
        std::int64_t got = 0;
        if (!m_in->Seek(0)) {
            return false;
        }
        while (got < length) {
            const std::int64_t n = m_in->Read(input.data() + got, length - got);
            if (n <= 0) {
                return false;
            }
            got += n;
        }
        m_encoding = DeclaredEncoding(input);
        m_declared = m_encoding != EncodingUndetected;
    }
    m_utf8Exact = utf8.Plausible() && utf8.Exact();
    if (m_encoding == EncodingUndetected && utf8.Plausible()) {
        m_encoding = EncodingUtf8;
    }
    m_charset = CharsetName(m_encoding);
    if (m_encoding == EncodingUtf8 && !utf8.Exact()) {
        m_charset = {};
        m_exact = position == m_bodyStart;
    }
    if (position == m_bodyStart) {
        // An empty file is an empty text of its own bytes; a mark alone an empty text.
        m_markOnly = marked;
        m_charset = marked ? m_charset : std::string_view();
    }
    return true;
}

// A declared Big5 body is converted on trial before any of it is handed out.
bool TextSliceReader::ConvertsExactly() {
    if (m_encoding != EncodingBig5 && m_encoding != EncodingBig5Hkscs) {
        return true;
    }
    if (!m_in->Seek(m_bodyStart)) {
        return false;
    }
    m_buffer.clear();
    m_atEnd = false;
    while (!m_atEnd) {
        if (!Fill()) {
            return false;
        }
        const std::size_t whole = m_atEnd ? m_buffer.size() : WholeCharacters();
        if (whole > 0 && !Conv().Convert(std::string_view(m_buffer).substr(0, whole), m_charset,
                                         InternalCharset())) {
            return false;
        }
        m_buffer.erase(0, whole);
        Ui().ProcessPendingEvents();
    }
    return true;
}

std::size_t TextSliceReader::WholeCharacters() const {
    const auto* p = reinterpret_cast<const unsigned char*>(m_buffer.data());
    const std::size_t n = m_buffer.size();
    switch (m_encoding) {
        case EncodingUtf8: {
            // A lead byte among the last three whose sequence goes on past the end.
            for (std::size_t back = 1; back <= std::min<std::size_t>(3, n); ++back) {
                const unsigned b = p[n - back];
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
        case EncodingUtf16Le:
        case EncodingUtf16Be: {
            std::size_t even = n & ~std::size_t{1};
            const std::size_t highByte = m_encoding == EncodingUtf16Le ? 1 : 0;
            if (even >= 2 && IsHighSurrogate(p[even - 2 + highByte])) {
                even -= 2;
            }
            return even;
        }
        case EncodingBig5:
        case EncodingBig5Hkscs: {
            std::size_t i = 0;
            while (i < n) {
                // 0x80 and 0xFF stand alone, as the converter reads them.
                const std::size_t length = p[i] >= 0x81 && p[i] <= 0xFE ? 2 : 1;
                if (i + length > n) {
                    break;
                }
                i += length;
            }
            return i;
        }
        default:
            return n;
    }
}

bool TextSliceReader::Next(std::string_view& slice) {
    slice = {};
    if (!m_in) {
        return false;
    }
    if (m_markOnly) {
        return true;
    }
    while (!m_atEnd || !m_buffer.empty()) {
        if (!m_atEnd && !Fill()) {
            return false;
        }
        if (m_charset.empty() || m_bodyBytes) {
            m_slice.swap(m_buffer);
            m_buffer.clear();
            slice = m_slice;
            return true;
        }
        const std::size_t whole = m_atEnd ? m_buffer.size() : WholeCharacters();
        if (whole == 0) {
            continue;
        }
        std::optional<Bytes> converted = Conv().Convert(std::string_view(m_buffer).substr(0, whole),
                                                        m_charset, InternalCharset());
        // The body converted on trial; one that no longer does has changed under us.
        if (!converted) {
            return false;
        }
        m_buffer.erase(0, whole);
        m_slice = std::move(*converted);
        slice = m_slice;
        Ui().ProcessPendingEvents();
        return true;
    }
    return true;
}

}  // namespace qs
