#include "merge/encoded_merge.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "encoding/charset_converter.h"
#include "job/told_files.h"
#include "merge/utf8_member.h"
#include "platform/services.h"
#include "platform/system_error.h"
#include "text/characters.h"

namespace qs {
namespace {

using Part = EncodedMerge::Part;
using Pump = EncodedMerge::Pump;

// How many members stay open between their examination and their reading: enough for every
// ordinary merge, few enough for any limit on open files.
constexpr std::size_t kHeldMembers = 256;

// The job's pump between two slices of a member, as between two raw reads.
void KeepWindowAlive(TextSliceReader& reader, const Pump& pump) {
    reader.BetweenSlices(pump);
}

// A member's handle lent to a reader for one pass, with a position of its own: two passes
// may read the same member at once.
class Lent : public ReadHandle {
public:
    explicit Lent(ReadHandle& inner) : m_inner(inner) {}
    std::int64_t Length() override { return m_inner.Length(); }
    bool Seek(std::int64_t position) override {
        m_position = position;
        return true;
    }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        if (!m_inner.Seek(m_position)) {
            return -1;
        }
        const std::int64_t n = m_inner.Read(buffer, size);
        m_position += n > 0 ? n : 0;
        return n;
    }

private:
    ReadHandle& m_inner;
    std::int64_t m_position = 0;
};

// The member from its start: the handle it was examined with, or a new one.
std::unique_ptr<ReadHandle> Reopen(const Part& part) {
    if (!part.held) {
        return Fs().OpenRead(part.data);
    }
    return std::make_unique<Lent>(*part.held);
}

// A member handed over whole: its body goes out as it is.
struct PassedMember {
    ReadHandle* in = nullptr;
    Utf8Body body;
    bool hadMark = false;
};

// The merged text, slice by slice, read again from the members.
class MergedText {
public:
    // passUtf8: the output is UTF-8, and members that are UTF-8 go out as their own bytes.
    MergedText(const std::vector<Part>& parts, std::size_t sliceBytes, const Pump& pump,
               bool passUtf8 = false)
        : m_parts(parts),
          m_sliceBytes(std::max<std::size_t>(sliceBytes, 1)),
          m_pump(pump),
          m_passUtf8(passUtf8) {}

    // The next slice; empty at the end, or with Passed() set. False when a member cannot be
    // read as it was read before.
    bool Next(std::string_view& slice) {
        slice = {};
        m_passed = {};
        while (m_index < m_parts.size()) {
            const Part& part = m_parts[m_index];
            if (m_reader) {
                if (!m_reader->Next(slice)) {
                    return Fail(part);
                }
                if (!slice.empty()) {
                    return true;
                }
                m_reader.reset();
                ++m_index;
            } else if (part.kind == Part::Bytes) {
                ++m_index;
                if (!part.data.empty()) {
                    slice = part.data;
                    return true;
                }
            } else if (m_passUtf8 && part.format.encoding == TextEncoding::Utf8 &&
                       AfterWholeText() && Pass(part)) {
                ++m_index;
                return true;
            } else {
                m_reader = std::make_unique<TextSliceReader>(m_sliceBytes);
                KeepWindowAlive(*m_reader, m_pump);
                // A member that now decodes otherwise than when it was examined has changed.
                const TextEncoding settled =
                    part.tiedWith != TextEncoding::Undetected || part.forced
                        ? part.format.encoding
                        : TextEncoding::Undetected;
                if (!m_reader->Open(Reopen(part), settled) || m_reader->Format() != part.format ||
                    !m_reader->Exact() || m_reader->MarkOnly()) {
                    return Fail(part);
                }
            }
        }
        return true;
    }
    const Text& FailedPath() const { return m_failedPath; }
    // Why that member could not be read, as the system said as the reading failed.
    int SystemError() const { return m_systemError; }
    // The member the last Next handed over whole; null when it gave a slice.
    const PassedMember* Passed() const { return m_passed.in != nullptr ? &m_passed : nullptr; }
    // Notes that the member handed over whole could not be read.
    bool FailPassed() { return Fail(m_parts[m_index - 1]); }

private:
    // Whether the text before the current member ends with a whole character: bytes given
    // as a separator may end with the first byte of a character that the member completes.
    bool AfterWholeText() const {
        Bytes text;
        for (std::size_t k = m_index; k > 0 && m_parts[k - 1].kind != Part::Decoded; --k) {
            text.insert(0, m_parts[k - 1].data);
        }
        // GB18030: a lead byte takes one more byte, or three more after a digit.
        std::size_t i = 0;
        while (i < text.size()) {
            const auto b = static_cast<unsigned char>(text[i]);
            const bool digit = i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9';
            i += b >= 0x81 && b <= 0xFE ? (digit ? 4 : 2) : 1;
        }
        return i == text.size();
    }

    bool Pass(const Part& part) {
        m_passedHandle = part.held ? nullptr : Fs().OpenRead(part.data);
        ReadHandle* in = part.held ? part.held.get() : m_passedHandle.get();
        if (in == nullptr) {
            return false;
        }
        // Scanned as UTF-8 when it was examined: looked at again only as it is copied, which
        // fails for a body that has changed since.
        if (part.passable) {
            m_passed.body = *part.passable;
        } else if (!PassableUtf8Body(*in, part.format.mark, m_sliceBytes, m_passed.body)) {
            return false;
        }
        m_passed.in = in;
        m_passed.hadMark = part.format.mark;
        return true;
    }

    bool Fail(const Part& part) {
        m_failedPath = part.data;
        m_systemError = LastSystemError();
        m_reader.reset();
        return false;
    }

    const std::vector<Part>& m_parts;
    std::size_t m_sliceBytes;
    std::size_t m_index = 0;
    std::unique_ptr<TextSliceReader> m_reader;
    Text m_failedPath;
    int m_systemError = 0;
    const Pump& m_pump;
    bool m_passUtf8;
    PassedMember m_passed;
    std::unique_ptr<ReadHandle> m_passedHandle;
};

// How the text becomes the output's bytes: 繁简-converted when asked, then encoded in a
// charset (none: the internal bytes), with a mark in front of a text that is not empty.
struct Encoding {
    ZhConversion zh = ZhConversion::None;
    TextFormat format;  // no charset: the internal bytes
    std::string_view Charset() const { return CharsetName(format.encoding); }
    std::string_view Mark() const {
        return format.mark ? ByteOrderMark(format.encoding) : std::string_view();
    }
    // A text that is not empty and gives no bytes has failed (as for the source's own
    // encoding); an asked-for encoding may drop a character without a form of its own.
    bool mustGiveBytes = false;
};

// Converts the text in pieces that end with whole characters (a conversion of Chinese after
// a line break, where no phrase goes on), which gives the bytes of converting it whole.
class Encoder {
public:
    explicit Encoder(const Encoding& encoding) : m_encoding(encoding) {}

    // Appends to out what of the text so far can be encoded; false when a character has no
    // form in the charset.
    bool Push(std::string_view text, Bytes& out) {
        if (m_encoding.zh == ZhConversion::None && m_encoding.Charset().empty()) {
            out.append(text);
            return true;
        }
        m_carry.append(text);
        std::size_t cut = m_carry.rfind('\n');
        cut = cut == Bytes::npos ? 0 : cut + 1;
        if (cut == 0 && m_encoding.zh == ZhConversion::None) {
            // No line break: whole characters, whatever is left of the last three bytes kept.
            while (cut + 3 < m_carry.size()) {
                cut += CharLength(m_carry, cut);
            }
        }
        if (cut == 0) {
            return true;
        }
        const bool ok = Convert(std::string_view(m_carry).substr(0, cut), out);
        m_carry.erase(0, cut);
        return ok;
    }
    // Appends to out what is held, converted, and the mark where nothing went before: bytes
    // in the output's encoding follow.
    bool Flush(Bytes& out) {
        const bool ok = Convert(m_carry, out);
        m_carry.clear();
        if (!m_started) {
            out += m_encoding.Mark();
            m_started = true;
        }
        m_gaveBytes = true;
        return ok;
    }
    bool Finish(Bytes& out) {
        const bool ok = Convert(m_carry, out);
        m_carry.clear();
        if (!m_gaveBytes) {
            return ok && !(m_encoding.mustGiveBytes && m_started);
        }
        // A character the charset drops without a word fails the conversion of any text
        // that gives bytes besides.
        return ok && !m_gaveNothing;
    }

    // The first character that has no form in the charset, once a conversion failed on it;
    // empty when no one character can be told.
    const Text& Refused() const { return m_refused; }

private:
    std::optional<Bytes> Converted(std::string_view text) const {
        const TextFormat unmarked{m_encoding.format.encoding, false};
        return EncodeOutputText(text, unmarked, {unmarked, m_encoding.zh});
    }
    bool Convert(std::string_view text, Bytes& out) {
        if (text.empty()) {
            return true;
        }
        const std::optional<Bytes> converted = Converted(text);
        if (!converted) {
            // Looked for only now: a failure is rare.
            if (m_refused.empty()) {
                m_refused = FirstRefusedCharacter(text, m_encoding.format,
                                                  {m_encoding.format, m_encoding.zh});
            }
            return false;
        }
        if (converted->empty() && m_refused.empty()) {
            m_refused = Text(text.substr(0, CharLength(text, 0)));  // dropped without a word
        }
        if (!m_started) {
            out += m_encoding.Mark();
            m_started = true;
        }
        out += *converted;
        m_gaveBytes = m_gaveBytes || !converted->empty();
        m_gaveNothing = m_gaveNothing || converted->empty();
        return true;
    }

    Encoding m_encoding;
    Bytes m_carry;
    bool m_started = false;
    bool m_gaveBytes = false;
    bool m_gaveNothing = false;
    Text m_refused;
};

// What the read-back of an output depends on, gathered from its text on the way out.
struct TextFacts {
    bool any = false;
    bool tag = false;  // a "<": markup, whose declaration may name another charset
    Bytes head;        // the first four bytes
    bool scanUtf8 = false;
    Utf8Scan utf8;

    TextFacts& Reset(bool scan) {
        *this = TextFacts();
        scanUtf8 = scan;
        return *this;
    }
    // A member passed whole: no U+FEFF begins it (see PassableUtf8Body), so the output's
    // first characters are no mark either.
    void SeePassed(const Utf8Body& body) {
        any = true;
        tag = tag || body.markup;
        head.resize(std::max<std::size_t>(head.size(), 4), ' ');
    }
    void See(std::string_view text) {
        any = any || !text.empty();
        tag = tag || text.find('<') != std::string_view::npos;
        if (head.size() < 4) {
            head.append(text.substr(0, 4 - head.size()));
        }
        if (scanUtf8) {
            utf8.Feed(text);
        }
    }
};

enum class Pass { Done, ReadFailed, Unconvertible, WriteFailed };

// One pass over the merged text: encoded, handed to sink; members passed whole go to copy.
Pass Encode(MergedText& text, const Encoding& encoding,
            const std::function<bool(std::string_view)>& sink, TextFacts* facts, Text& refused,
            const std::function<AtomicWriter::CopyResult(const PassedMember&)>& copy = {}) {
    Encoder encoder(encoding);
    Bytes out;
    for (;;) {
        std::string_view slice;
        if (!text.Next(slice)) {
            return Pass::ReadFailed;
        }
        if (const PassedMember* passed = text.Passed()) {
            if (facts != nullptr) {
                facts->SeePassed(passed->body);
            }
            out.clear();
            if (!encoder.Flush(out)) {
                refused = encoder.Refused();
                return Pass::Unconvertible;
            }
            if (!out.empty() && !sink(out)) {
                return Pass::WriteFailed;
            }
            const AtomicWriter::CopyResult copied = copy(*passed);
            if (copied == AtomicWriter::CopyResult::ReadFailed) {
                text.FailPassed();
                return Pass::ReadFailed;
            }
            if (copied == AtomicWriter::CopyResult::WriteFailed) {
                return Pass::WriteFailed;
            }
            continue;
        }
        if (facts != nullptr) {
            facts->See(slice);
        }
        out.clear();
        const bool ok = slice.empty() ? encoder.Finish(out) : encoder.Push(slice, out);
        if (!ok) {
            refused = encoder.Refused();
            return Pass::Unconvertible;
        }
        if (!out.empty() && !sink(out)) {
            return Pass::WriteFailed;
        }
        if (slice.empty()) {
            return Pass::Done;
        }
    }
}

// The output's bytes made again on demand, to be read as a file would be.
class OutputBytes : public ReadHandle {
public:
    OutputBytes(const std::vector<Part>& parts, std::size_t sliceBytes, const Pump& pump,
                const Encoding& encoding)
        : m_parts(parts), m_sliceBytes(sliceBytes), m_pump(pump), m_encoding(encoding) {
        Restart();
    }
    std::int64_t Length() override { return -1; }
    bool Seek(std::int64_t position) override {
        Restart();
        std::vector<char> skip(m_sliceBytes);
        while (position > 0) {
            const std::int64_t n =
                Read(skip.data(),
                     std::min<std::int64_t>(position, static_cast<std::int64_t>(skip.size())));
            if (n <= 0) {
                return false;
            }
            position -= n;
        }
        return true;
    }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        while (m_pending.size() - m_at < static_cast<std::size_t>(size) && !m_atEnd) {
            m_pending.erase(0, m_at);
            m_at = 0;
            std::string_view slice;
            if (!m_text->Next(slice)) {
                return -1;
            }
            const bool ok =
                slice.empty() ? m_encoder->Finish(m_pending) : m_encoder->Push(slice, m_pending);
            if (!ok) {
                return -1;
            }
            m_atEnd = slice.empty();
        }
        const std::size_t n = std::min(m_pending.size() - m_at, static_cast<std::size_t>(size));
        std::memcpy(buffer, m_pending.data() + m_at, n);
        m_at += n;
        return static_cast<std::int64_t>(n);
    }

private:
    void Restart() {
        m_text = std::make_unique<MergedText>(m_parts, m_sliceBytes, m_pump);
        m_encoder = std::make_unique<Encoder>(m_encoding);
        m_pending.clear();
        m_at = 0;
        m_atEnd = false;
    }

    const std::vector<Part>& m_parts;
    std::size_t m_sliceBytes;
    const Pump& m_pump;
    Encoding m_encoding;
    std::unique_ptr<MergedText> m_text;
    std::unique_ptr<Encoder> m_encoder;
    Bytes m_pending;
    std::size_t m_at = 0;
    bool m_atEnd = false;
};

// Whether the facts alone show that the output reads back as its text: a marked UTF-8 or
// UTF-16 output always does; without markup nothing but a leading mark, U+FEFF or the UTF-8
// test can make it read otherwise (or not exactly). False: it has to be read to be known.
bool SurelyReadsBack(const Encoding& encoding, const TextFacts& facts) {
    const bool utf8 = encoding.format.encoding == TextEncoding::Utf8;
    const bool utf16 = encoding.format.encoding == TextEncoding::Utf16Le ||
                       encoding.format.encoding == TextEncoding::Utf16Be;
    if (!facts.any || ((utf8 || utf16) && !encoding.Mark().empty())) {
        return true;
    }
    if (facts.tag) {
        return false;
    }
    if (utf8) {
        return !facts.head.starts_with("\x84\x31\x95\x33");  // U+FEFF would pass for a mark
    }
    if (encoding.Charset().empty()) {
        // Bytes without a mark, a declaration or the UTF-8 pattern are read by a guess.
        return false;
    }
    return false;
}

// Reads the output as a file of it would be read (readAs: as the sources were) and compares
// that with the text. A mark or
// declaration that does not decode what follows it fails, even where the raw bytes are the
// text.
bool ReadsBack(const std::vector<Part>& parts, std::size_t sliceBytes, const Pump& pump,
               const Encoding& encoding, TextEncoding readAs) {
    TextSliceReader reader(sliceBytes);
    KeepWindowAlive(reader, pump);
    if (!reader.Open(std::make_unique<OutputBytes>(parts, sliceBytes, pump, encoding), readAs) ||
        !reader.Exact()) {
        return false;
    }
    MergedText text(parts, sliceBytes, pump);
    Bytes expected;
    std::size_t at = 0;
    bool textEnded = false;
    for (;;) {
        std::string_view read;
        if (!reader.Next(read)) {
            return false;
        }
        while (expected.size() - at < read.size() && !textEnded) {
            expected.erase(0, at);
            at = 0;
            std::string_view slice;
            if (!text.Next(slice)) {
                return false;
            }
            expected += slice;
            textEnded = slice.empty();
        }
        if (read.empty()) {
            while (!textEnded && expected.size() == at) {
                std::string_view slice;
                if (!text.Next(slice)) {
                    return false;
                }
                expected.assign(slice);
                at = 0;
                textEnded = slice.empty();
            }
            return expected.size() == at;
        }
        if (std::string_view(expected).substr(at, read.size()) != read) {
            return false;
        }
        at += read.size();
    }
}

Encoding SourceEncoding(const TextFormat& source) {
    const bool converted = !CharsetName(source.encoding).empty();
    return {ZhConversion::None, converted ? source : TextFormat(), converted};
}

Encoding RequestedEncoding(const OutputRequest& request, const TextFormat& source) {
    Encoding encoding = SourceEncoding(source);
    encoding.zh = request.zh;
    encoding.mustGiveBytes = false;
    if (request.encoding) {
        encoding.format = *request.encoding;
    }
    return encoding;
}

}  // namespace

EncodedMerge::Examined EncodedMerge::AddDecoded(const Text& path, std::unique_ptr<ReadHandle> in) {
    TextSliceReader reader(m_sliceBytes);
    KeepWindowAlive(reader, m_pump);
    Examined examined;
    if (!reader.Open(std::move(in), m_sourceEncoding)) {
        return examined;
    }
    examined.format = reader.Format();
    examined.tiedWith = reader.TiedWith();
    examined.damage = reader.Damage();
    examined.wreck = reader.Wreck();
    if (reader.MarkOnly()) {
        examined.outcome = Member::MarkOnly;
    } else if (!reader.Exact()) {
        examined.outcome = Member::NotExact;
    } else {
        examined.outcome = Member::Added;
        const auto scanned = reader.ScannedUtf8Body();
        m_parts.push_back(
            {Part::Decoded, path, examined.format,
             m_held < kHeldMembers ? reader.Release() : nullptr, examined.tiedWith,
             !reader.TellsNoFamily(),
             scanned ? PassableUtf8Body(*scanned, examined.format.mark) : std::nullopt,
             m_sourceEncoding != TextEncoding::Undetected});
        m_held += m_parts.back().held ? 1 : 0;
    }
    return examined;
}

void EncodedMerge::AddBytes(std::string_view bytes) {
    if (!bytes.empty()) {
        m_parts.push_back(
            {Part::Bytes, Text(bytes), TextFormat(), nullptr, TextEncoding::Undetected});
    }
}

EncodedMerge::Ties EncodedMerge::SettleTies(TextFormat& merged, const OutputRequest& request) {
    bool anyGb = false;
    bool anyBig5 = false;
    Part* last = nullptr;
    for (Part& part : m_parts) {
        if (part.kind == Part::Decoded) {
            last = &part;
            // An empty or plain ASCII member is read as GB18030 by default: no evidence.
            if (part.tiedWith == TextEncoding::Undetected && part.tellsFamily) {
                anyGb = anyGb || IsGbFamily(part.format.encoding);
                anyBig5 = anyBig5 || IsBig5Family(part.format.encoding);
            }
        }
    }
    Ties ties;
    if (last == nullptr) {
        return ties;
    }
    for (Part& part : m_parts) {
        if (part.kind == Part::Decoded && part.tiedWith != TextEncoding::Undetected &&
            anyGb != anyBig5 && IsBig5Family(part.format.encoding) != anyBig5) {
            std::swap(part.format.encoding, part.tiedWith);
        }
    }
    merged.encoding = last->format.encoding;
    const TextEncoding out =
        FormatOf({request.encoding ? request.encoding->encoding : merged.encoding, false}).encoding;
    for (const Part& part : m_parts) {
        if (part.kind == Part::Decoded && part.tiedWith != TextEncoding::Undetected) {
            ties.read.push_back({part.data, part.format, part.tiedWith});
            if (out != part.format.encoding || request.zh != ZhConversion::None) {
                ties.converted.push_back(part.data);
            }
        }
    }
    return ties;
}

EncodedMerge::Finished EncodedMerge::Write(std::unique_ptr<JobOutput>& writer, const Text& target,
                                           bool decoded, const TextFormat& merged,
                                           const OutputRequest& request, JobEvents& events) {
    Finished finished;
    bool fresh = true;
    // One attempt at the whole output, in a fresh temporary file after the first.
    auto attempt = [&](const Encoding& encoding, TextFacts* facts) {
        if (!fresh) {
            writer.reset();
            Result<std::unique_ptr<JobOutput>> created = CreateOutput(target, events);
            if (!created) {
                finished.systemError = created.error().systemError;
                return Pass::WriteFailed;
            }
            writer = std::move(*created);
        }
        fresh = false;
        finished.bytes = 0;
        const bool passUtf8 =
            encoding.format.encoding == TextEncoding::Utf8 && encoding.zh == ZhConversion::None;
        MergedText text(m_parts, m_sliceBytes, m_pump, passUtf8);
        const auto write = [&](std::string_view bytes) {
            finished.bytes += static_cast<std::int64_t>(bytes.size());
            return writer->Write(bytes);
        };
        const auto copy = [&](const PassedMember& passed) {
            finished.bytes += passed.body.length;
            return CopyUtf8Body(*passed.in, passed.body, passed.hadMark, m_sliceBytes, *writer);
        };
        Text refused;
        const Pass pass = Encode(text, encoding, write, facts, refused, copy);
        if (pass == Pass::Unconvertible && finished.unconvertible.empty()) {
            finished.unconvertible = refused;
        }
        finished.systemError = pass == Pass::WriteFailed ? writer->SystemError() : 0;
        if (pass == Pass::ReadFailed) {
            finished.unreadable = text.FailedPath();
            finished.systemError = text.SystemError();
        }
        return pass;
    };
    auto outcomeOf = [](Pass pass) {
        switch (pass) {
            case Pass::Done:
                return Outcome::Written;
            case Pass::ReadFailed:
                return Outcome::ReadFailed;
            case Pass::Unconvertible:
                return Outcome::NotConvertible;
            case Pass::WriteFailed:
                break;
        }
        return Outcome::WriteFailed;
    };

    // What the output is written as, told from the encoding of the attempt that stands.
    auto formatOf = [&finished](const Encoding& encoding) {
        const bool converted = !encoding.Charset().empty();
        finished.format = FormatOf({converted ? encoding.format.encoding : TextEncoding::Gb18030,
                                    !encoding.Mark().empty() && finished.bytes > 0});
    };
    if (!decoded) {
        finished.outcome = outcomeOf(attempt(Encoding{}, nullptr));
        return finished;
    }
    if (!request.Empty()) {
        // An encoding or conversion that was asked for: exactly that, or no output.
        const Encoding requested = RequestedEncoding(request, merged);
        finished.outcome = outcomeOf(attempt(requested, nullptr));
        formatOf(requested);
        return finished;
    }
    const Encoding own = SourceEncoding(merged);
    TextFacts facts;
    facts.scanUtf8 = own.Charset().empty();
    const Pass pass = attempt(own, &facts);
    if (pass == Pass::ReadFailed || pass == Pass::WriteFailed) {
        finished.outcome = outcomeOf(pass);
        return finished;
    }
    if (pass == Pass::Done && (SurelyReadsBack(own, facts) ||
                               ReadsBack(m_parts, m_sliceBytes, m_pump, own, m_sourceEncoding))) {
        formatOf(own);
        return finished;
    }
    // The last member's encoding cannot hold the text, or a mark or declaration in it would
    // name another charset than its bytes: UTF-8 with its mark holds every character and the
    // mark decides how it reads.
    finished.outputNotConverted = true;
    const Pass utf8 = attempt(SourceEncoding({TextEncoding::Utf8, true}), nullptr);
    if (utf8 == Pass::Unconvertible) {
        finished.unconvertible.clear();  // bytes that are no text: no character to name
    } else {
        finished.outcome = outcomeOf(utf8);
        formatOf(SourceEncoding({TextEncoding::Utf8, true}));
        return finished;
    }
    // Bytes that are no text of any charset: kept as they are where nothing in them claims
    // otherwise, with the members beside them; else there is no output at all.
    finished.keepSources = true;
    const Pass raw = attempt(Encoding{}, &facts.Reset(true));
    finished.outcome = outcomeOf(raw);
    formatOf(Encoding{});
    if (raw == Pass::Done && !SurelyReadsBack(Encoding{}, facts) &&
        !ReadsBack(m_parts, m_sliceBytes, m_pump, Encoding{}, m_sourceEncoding)) {
        finished.outputNotConverted = false;  // reported as the output not written
        finished.outcome = Outcome::NotConvertible;
    }
    return finished;
}

}  // namespace qs
