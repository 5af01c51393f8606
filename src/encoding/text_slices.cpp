#include "encoding/text_slices.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "encoding/charset_converter.h"
#include "encoding/encoding_guess.h"
#include "platform/services.h"
#include "text/byte_search.h"
#include "text/utf8_tail.h"

namespace qs {
namespace {

bool IsHighSurrogate(unsigned char lead) {
    return lead >= 0xD8 && lead <= 0xDB;
}

bool IsLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

bool IsDigit(unsigned char b) {
    return b >= 0x30 && b <= 0x39;
}

// A position near the end of p[0..n) where a character begins whatever came before, so that
// the walk over the characters may start there instead of at 0. A sequence is at most four
// bytes (GB18030: a lead and a digit begin one), two in Big5: a byte that is no lead, with
// no lead-and-digit pair able to reach over it, ends whatever came before. 0 when the last
// bytes hold no such place.
std::size_t SureStartNearEnd(const unsigned char* p, std::size_t n, bool fourByte) {
    constexpr std::size_t kLookBack = 4096;
    const std::size_t stop = n > kLookBack ? n - kLookBack : 1;
    for (std::size_t j = n; j >= stop && j >= 1; --j) {
        const unsigned char before = p[j - 1];
        if (IsLead(before)) {
            continue;
        }
        if (!fourByte || (!IsDigit(before) && (j < 2 || !IsDigit(p[j - 2])))) {
            return j;
        }
    }
    return 0;
}

}  // namespace

TextSliceReader::TextSliceReader(std::size_t sliceBytes)
    : m_sliceBytes(std::max<std::size_t>(sliceBytes, 1)) {}

bool TextSliceReader::Open(const Text& path, TextEncoding requested) {
    return Open(path.empty() ? nullptr : Fs().OpenRead(path), requested);
}

bool TextSliceReader::Open(std::unique_ptr<ReadHandle> in, TextEncoding requested) {
    m_in = std::move(in);
    m_unsettled = false;
    m_bodyBytes = false;
    if (!m_in || !Detect(requested)) {
        m_in.reset();
        return false;
    }
    return Choose();
}

bool TextSliceReader::OpenUnsettled(const Text& path) {
    return OpenUnsettled(path.empty() ? nullptr : Fs().OpenRead(path));
}

bool TextSliceReader::OpenUnsettled(std::unique_ptr<ReadHandle> in) {
    m_unsettled = false;
    m_in = std::move(in);
    bool forced = false;
    if (!m_in || !ReadMark(TextEncoding::Undetected, forced) || forced ||
        (m_scan.marked && m_encoding != TextEncoding::Utf8)) {
        m_in.reset();
        return false;
    }
    m_hadMark = m_scan.marked;
    m_unsettled = true;
    m_bodyBytes = true;
    return true;
}

bool TextSliceReader::Settle() {
    if (!m_unsettled || !m_in) {
        return m_in != nullptr;
    }
    m_unsettled = false;
    // Next scanned all it handed out.
    const std::int64_t resume = m_scan.position;
    while (!m_atEnd) {
        if (!Fill()) {
            return false;
        }
        ScanBody(m_buffer);
        Drain();
        Pause();
    }
    if (!Decide() || !Choose()) {
        return false;
    }
    return m_markOnly || m_in->Seek(resume);
}

bool TextSliceReader::Choose() {
    if (m_guessed) {
        // No mark: the first encoding that decodes the whole body exactly is taken; where
        // none does, the first that decodes all but a few bytes.
        m_exact = false;
        m_damage = TextDamage();
        m_wreck = TextWreck();
        std::optional<std::size_t> damagedAt;
        TextDamage firstDamage;
        TextWreck damagedWreck;
        for (std::size_t i = 0; i < m_tries.size() && !m_exact; ++i) {
            const TextEncoding candidate = m_tries[i];
            if ((candidate == TextEncoding::Utf8 && !m_forced && m_utf8Exact) ||
                (candidate == TextEncoding::Gb18030 && m_plainAscii)) {
                m_exact = true;
                m_wreck = candidate == TextEncoding::Utf8 ? m_utf8Wreck : TextWreck();
            } else {
                TextDamage damage;
                TextWreck wreck;
                if (!ConvertsExactly(candidate, i >= m_firstGuess, m_exact, &damage, &wreck)) {
                    m_in.reset();
                    return false;
                }
                if (m_exact) {
                    m_wreck = wreck;
                } else if (damage.Any() && !damagedAt) {
                    damagedAt = i;
                    firstDamage = damage;
                    damagedWreck = wreck;
                }
            }
            m_encoding = m_exact ? candidate : TextEncoding::Gb18030;
            if (m_exact && i >= m_firstGuess && !m_forced && !FindTie(i)) {
                m_in.reset();
                return false;
            }
        }
        if (!m_exact && damagedAt) {
            m_encoding = m_tries[*damagedAt];
            m_damage = firstDamage;
            m_wreck = damagedWreck;
        }
        if (!m_exact && !damagedAt) {
            m_wreck = TextWreck();
        }
        m_charset = m_exact || m_damage.Any() ? CharsetName(m_encoding) : std::string_view();
    } else if (m_encoding == TextEncoding::Utf8) {
        m_wreck = m_utf8Wreck;
    }
    if (m_markOnly) {
        // A mark alone (what an editor saves for an empty text) is an empty text.
        m_hadMark = true;
        m_atEnd = true;
        m_buffer.clear();
        return true;
    }
    if (m_charset.empty()) {
        m_encoding = TextEncoding::Gb18030;
        m_hadMark = false;
        m_bodyStart = 0;
    } else {
        m_hadMark = m_bodyStart > 0;
    }
    m_buffer.clear();
    m_atEnd = false;
    return m_in->Seek(m_bodyStart);
}

bool TextSliceReader::Rewind() {
    if (!m_in) {
        return false;
    }
    if (m_markOnly) {
        return true;
    }
    m_buffer.clear();
    m_atEnd = false;
    return m_in->Seek(m_bodyStart);
}

bool TextSliceReader::Fill() {
    const std::size_t had = m_buffer.size();
    if (had == 0) {
        // The storage of a slice drained before: growing into its bytes clears none of them.
        m_buffer.swap(m_spare);
    }
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

bool TextSliceReader::ReadMark(TextEncoding requested, bool& forced) {
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
    m_encoding = TextEncoding::Undetected;
    m_bodyStart = 0;
    m_markOnly = false;
    m_utf8Exact = false;
    m_plainAscii = false;
    m_bodyEmpty = false;
    m_scannedUtf8 = false;
    m_utf8Plausible = false;
    m_scanned = ScannedUtf8();
    m_exact = true;
    m_damage = TextDamage();
    m_wreck = TextWreck();
    m_utf8Wreck = TextWreck();
    m_utf8WreckScan = MojibakeScan(true);
    m_tries.clear();
    m_firstGuess = 0;
    m_tiedWith = TextEncoding::Undetected;
    m_guessed = false;
    m_forced = false;
    m_scan = BodyScan();
    forced = requested != TextEncoding::Undetected;
    if (forced) {
        // What the user says the sources are in, after its own mark if it has one.
        const std::string_view mark = ByteOrderMark(requested);
        m_bodyStart =
            !mark.empty() && start.starts_with(mark) ? static_cast<std::int64_t>(mark.size()) : 0;
        m_markOnly = m_bodyStart > 0 && m_in->Length() == m_bodyStart;
        m_tries = {requested};
        m_firstGuess = 1;
        m_guessed = true;
        m_forced = true;
        return true;
    }
    for (const TextEncoding marked :
         {TextEncoding::Utf8, TextEncoding::Utf16Le, TextEncoding::Utf16Be}) {
        if (start.starts_with(ByteOrderMark(marked))) {
            m_encoding = marked;
            m_bodyStart = static_cast<std::int64_t>(ByteOrderMark(marked).size());
            break;
        }
    }
    m_scan.marked = m_encoding != TextEncoding::Undetected;
    m_scan.position = m_bodyStart;
    m_charset = CharsetName(m_encoding);
    m_buffer.assign(start.substr(static_cast<std::size_t>(m_bodyStart)));
    m_atEnd = false;
    return true;
}

void TextSliceReader::ScanBody(std::string_view bytes) {
    BodyScan& s = m_scan;
    if (const auto found = m_utf8WreckScan.Feed(bytes)) {
        m_utf8Wreck = {found->what, s.position + static_cast<std::int64_t>(found->at)};
    }
    // UTF-8 read as GBK shows only in the text; its start is looked at for it.
    if (s.position - m_bodyStart < static_cast<std::int64_t>(kGuessSampleBytes)) {
        const std::string_view whole =
            bytes.substr(0, WholeCharacterBytes(TextEncoding::Utf8, bytes));
        if (const std::optional<Bytes> text = Conv().Convert(whole, "UTF-8", InternalCharset())) {
            MojibakeScan scan(false);
            TextWreck found;
            NoteWreck(scan, *text, s.position, TextEncoding::Utf8, found);
            if (found.Any() && (!m_utf8Wreck.Any() || found.offset < m_utf8Wreck.offset)) {
                m_utf8Wreck = found;
            }
        }
    }
    if (s.position == m_bodyStart) {
        m_scanned.startsWithMark = bytes.starts_with(ByteOrderMark(TextEncoding::Utf8));
    }
    s.utf8.Feed(bytes);
    const bool html = !s.marked && s.htmlEnd < 0;
    // A text holds none of these bytes as a rule, which one pass tells.
    if (html && !s.sawTag && FindAnyOf(bytes, '\0', '\x1A', '<') == bytes.size()) {
        s.position += static_cast<std::int64_t>(bytes.size());
        return;
    }
    const char* data = bytes.data();
    std::size_t zero = bytes.size();
    if (!s.sawZero) {
        if (const void* hit = std::memchr(data, 0, bytes.size())) {
            zero = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
            s.sawZero = true;
        }
    }
    std::size_t stop = 0;  // the HTML test looked for "<" before this
    // Without a mark a zero seen before has ended the HTML test already.
    if (html) {
        stop = zero;
        if (const void* hit = std::memchr(data, '\x1A', stop)) {
            stop = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        }
        if (stop < bytes.size()) {
            s.htmlEnd = s.position + static_cast<std::int64_t>(stop);
        }
        s.sawTag = s.sawTag || std::memchr(data, '<', stop) != nullptr;
    }
    if (!m_scanned.markup && stop < bytes.size()) {
        m_scanned.markup = std::memchr(data + stop, '<', bytes.size() - stop) != nullptr;
    }
    s.position += static_cast<std::int64_t>(bytes.size());
}

// One pass over the file: the mark at its start, the extent of what the HTML test looks at,
// the UTF-8 test; a body in a charset named by its mark is also converted on trial.
bool TextSliceReader::Detect(TextEncoding requested) {
    bool forced = false;
    if (!ReadMark(requested, forced)) {
        return false;
    }
    if (forced) {
        return true;
    }
    const bool trial = m_scan.marked && m_encoding != TextEncoding::Utf8;
    bool readable = true;  // exact, or damaged no more than a marked text may be
    const std::int64_t allowed = DamageAllowed(false);
    MojibakeScan wrecks(false);
    while (!m_atEnd) {
        if (!Fill()) {
            return false;
        }
        if (trial) {
            const std::size_t whole = m_atEnd ? m_buffer.size() : WholeCharacters();
            const std::string_view part = std::string_view(m_buffer).substr(0, whole);
            std::optional<Bytes> converted;
            if (readable && whole > 0) {
                converted = Conv().Convert(part, m_charset, InternalCharset());
                if (!converted) {
                    converted = DecodeKeepingDamage(part, m_encoding, m_scan.position, m_damage,
                                                    false, allowed);
                    readable = converted.has_value();
                }
            }
            if (converted) {
                NoteWreck(wrecks, *converted, m_scan.position, m_encoding, m_wreck);
            }
            m_scan.position += static_cast<std::int64_t>(whole);
            m_buffer.erase(0, whole);
        } else {
            ScanBody(m_buffer);
            Drain();
        }
        Pause();
    }
    if (trial) {
        m_markOnly = m_scan.position == m_bodyStart;
        if (!readable || m_damage.Any()) {
            m_exact = false;
        }
        if (!readable) {
            m_charset = {};
            m_damage = TextDamage();
            m_wreck = TextWreck();
        }
        return true;
    }
    return Decide();
}

bool TextSliceReader::Decide() {
    const BodyScan& s = m_scan;
    const std::int64_t position = s.position;
    if (!s.marked && s.sawTag) {
        // Markup: the declaration is looked for in the text before the first zero or 0x1A
        // byte, as far as a page's head may reach: one "<" in a large text must not have the
        // whole of it held.
        const std::int64_t length =
            std::min(s.htmlEnd < 0 ? position : s.htmlEnd, kDeclarationBytes);
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
    }
    m_utf8Exact = s.utf8.Exact();
    m_utf8Plausible = s.utf8.Plausible();
    m_scannedUtf8 = true;
    m_scanned.start = m_bodyStart;
    m_scanned.length = position - m_bodyStart;
    m_scanned.markup = m_scanned.markup || s.sawTag;
    if (s.marked) {
        // UTF-8 after its mark.
        m_markOnly = position == m_bodyStart;
        if (!m_utf8Exact) {
            // Read as UTF-8 all the same where only a few bytes do not decode.
            m_guessed = true;
            m_tries = {TextEncoding::Utf8};
            m_firstGuess = 1;
        }
        return true;
    }
    if (position == m_bodyStart) {
        // An empty file is an empty text of its own bytes.
        m_bodyEmpty = true;
        m_encoding = TextEncoding::Gb18030;
        m_charset = {};
        return true;
    }
    // A declaration is trusted only where it decodes the body; then the UTF-8 pattern,
    // plain ASCII, or the guess.
    m_guessed = true;
    if (m_encoding != TextEncoding::Undetected) {
        m_tries.push_back(m_encoding);
    }
    m_plainAscii = s.utf8.AllAscii() && !s.sawZero;
    if (s.utf8.Plausible() || s.utf8.PlausibleButCutAtEnd()) {
        // Its cut last character, if so, is the damage the reading in UTF-8 records.
        m_tries.push_back(TextEncoding::Utf8);
    } else if (m_plainAscii) {
        m_tries.push_back(TextEncoding::Gb18030);
    } else {
        m_firstGuess = m_tries.size();
        // The guess looks at the start of the body only, read again here: most files never
        // come this far.
        Bytes sample(static_cast<std::size_t>(std::min<std::int64_t>(
                         position - m_bodyStart, static_cast<std::int64_t>(kGuessSampleBytes))),
                     '\0');
        if (!m_in->Seek(m_bodyStart)) {
            return false;
        }
        for (std::size_t got = 0; got < sample.size();) {
            const std::int64_t n =
                m_in->Read(sample.data() + got, static_cast<std::int64_t>(sample.size() - got));
            if (n <= 0) {
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        const std::vector<TextEncoding> guesses = GuessEncodings(
            sample, position - m_bodyStart <= static_cast<std::int64_t>(sample.size()));
        m_tries.insert(m_tries.end(), guesses.begin(), guesses.end());
    }
    return true;
}

std::optional<TextSliceReader::ScannedUtf8> TextSliceReader::ScannedUtf8Body() const {
    if (!m_scannedUtf8 || m_forced || !BodyIsUtf8() || m_markOnly) {
        return std::nullopt;
    }
    ScannedUtf8 scanned = m_scanned;
    scanned.plausible = m_utf8Plausible;
    return scanned;
}

bool TextSliceReader::FindTie(std::size_t taken) {
    const TextEncoding chosen = m_tries[taken];
    const bool chosenGb = IsGbFamily(chosen);
    // The guess offers both families only when the detector could not tell them apart.
    for (std::size_t k = m_firstGuess; k < m_tries.size(); ++k) {
        const TextEncoding other = m_tries[k];
        if (other == TextEncoding::Utf16Le || other == TextEncoding::Utf16Be ||
            IsGbFamily(other) == chosenGb) {
            continue;
        }
        bool exact = false;
        if (k < taken) {
            break;  // the other family came first and did not decode: no tie
        }
        if (!ConvertsExactly(other, true, exact)) {
            return false;
        }
        m_encoding = chosen;
        if (exact) {
            m_tiedWith = other;
            break;
        }
    }
    return true;
}

// One pass over the body in the encoding: exact when every slice converts (into plain text,
// for a guess); damage, where it is asked for, notes the bytes that do not, as long as they
// are few enough for the body to be read in the encoding (else it is left empty).
// False on a read failure.
bool TextSliceReader::ConvertsExactly(TextEncoding encoding, bool guessed, bool& exact,
                                      TextDamage* damage, TextWreck* wreck) {
    exact = true;
    if (!m_in->Seek(m_bodyStart)) {
        return false;
    }
    m_encoding = encoding;
    m_buffer.clear();
    m_atEnd = false;
    const std::int64_t allowed = DamageAllowed(guessed);
    bool readable = true;
    std::int64_t at = m_bodyStart;
    MojibakeScan wrecks(false);
    while (!m_atEnd && readable) {
        if (!Fill()) {
            return false;
        }
        const std::size_t whole = m_atEnd ? m_buffer.size() : WholeCharacters();
        const std::string_view slice = std::string_view(m_buffer).substr(0, whole);
        bool converts = true;
        std::optional<Bytes> converted;
        if (encoding == TextEncoding::Gb18030) {
            converts = (!guessed || IsPlainText(slice, encoding)) &&
                       (slice.empty() || Conv().Decodes(slice, InternalCharset()));
        } else if (!slice.empty()) {
            converted = Conv().Convert(slice, CharsetName(encoding), InternalCharset());
            converts = converted && (!guessed || IsPlainText(*converted, encoding));
        }
        if (!converts) {
            exact = false;
            converted = damage != nullptr
                            ? DecodeKeepingDamage(slice, encoding, at, *damage, guessed, allowed)
                            : std::nullopt;
            readable = converted.has_value();
        }
        if (wreck && readable) {
            NoteWreck(wrecks, converted ? std::string_view(*converted) : slice, at, encoding,
                      *wreck);
        }
        at += static_cast<std::int64_t>(whole);
        m_buffer.erase(0, whole);
        Pause();
    }
    if (damage && !readable) {
        *damage = TextDamage();
    }
    return true;
}

void TextSliceReader::NoteWreck(MojibakeScan& scan, std::string_view text, std::int64_t base,
                                TextEncoding encoding, TextWreck& wreck) const {
    const std::optional<MojibakeScan::Found> found = scan.Feed(text);
    if (!found) {
        return;
    }
    // The text before it, written back, is as long as the source bytes before it.
    std::int64_t before = static_cast<std::int64_t>(found->at);
    if (encoding != TextEncoding::Gb18030) {
        const std::optional<Bytes> bytes =
            EncodeTextKeepingBytes(text.substr(0, found->at), TextFormat{encoding, false});
        before = bytes ? static_cast<std::int64_t>(bytes->size()) : 0;
    }
    wreck = {found->what, base + before};
}

std::int64_t TextSliceReader::DamageAllowed(bool guessed) const {
    return qs::DamageAllowed(m_in->Length() - m_bodyStart, guessed);
}

std::size_t TextSliceReader::WholeCharacters() const {
    return WholeCharacterBytes(m_encoding, m_buffer);
}

std::size_t WholeCharacterBytes(TextEncoding encoding, std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    switch (encoding) {
        case TextEncoding::Utf8:
            return WholeUtf8Prefix(bytes);
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be: {
            std::size_t even = n & ~std::size_t{1};
            const std::size_t highByte = encoding == TextEncoding::Utf16Le ? 1 : 0;
            if (even >= 2 && IsHighSurrogate(p[even - 2 + highByte])) {
                even -= 2;
            }
            return even;
        }
        case TextEncoding::Gb18030: {
            // GB18030: a lead byte takes one more byte, or three more after a digit.
            std::size_t i = SureStartNearEnd(p, n, true);
            while (i < n) {
                std::size_t length = 1;
                if (IsLead(p[i])) {
                    length = i + 1 < n && IsDigit(p[i + 1]) ? 4 : 2;
                }
                if (i + length > n) {
                    break;
                }
                i += length;
            }
            return i;
        }
        case TextEncoding::Big5:
        case TextEncoding::Big5Hkscs: {
            std::size_t i = SureStartNearEnd(p, n, false);
            while (i < n) {
                // 0x80 and 0xFF stand alone, as the converter reads them.
                const std::size_t length = IsLead(p[i]) ? 2 : 1;
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
    if (m_unsettled) {
        if (!m_atEnd && !Fill()) {
            return false;
        }
        ScanBody(m_buffer);
        m_slice.swap(m_buffer);
        Drain();
        slice = m_slice;
        return true;
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
            Drain();
            slice = m_slice;
            return true;
        }
        const std::size_t whole = m_atEnd ? m_buffer.size() : WholeCharacters();
        if (whole == 0) {
            continue;
        }
        const std::string_view part = std::string_view(m_buffer).substr(0, whole);
        std::optional<Bytes> converted = Conv().Convert(part, m_charset, InternalCharset());
        if (!converted && m_damage.Any()) {
            TextDamage again;
            converted = DecodeKeepingDamage(part, m_encoding, 0, again, false,
                                            std::numeric_limits<std::int64_t>::max());
        }
        // The body converted on trial; one that no longer does has changed under us.
        if (!converted) {
            return false;
        }
        m_buffer.erase(0, whole);
        m_slice = std::move(*converted);
        slice = m_slice;
        Pause();
        return true;
    }
    return true;
}

}  // namespace qs
