#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "encoding/damaged_text.h"
#include "encoding/mojibake_scan.h"
#include "encoding/text_decoder.h"
#include "platform/file_system.h"
#include "text/text.h"

namespace qs {

// How many source bytes a text reader takes at a time: slices that stay in the processor's
// cache while they are read, decoded, cut and written make reading several times cheaper
// than slices of megabytes.
inline constexpr std::size_t kTextSliceBytes = std::size_t{128} << 10;

// The length of the leading run of whole characters of bytes in the encoding's charset.
std::size_t WholeCharacterBytes(TextEncoding encoding, std::string_view bytes);

// A text file decoded slice by slice, in memory that does not grow with the file: the
// concatenated slices are exactly the text of DecodeTextFile. Open scans the file once to
// decide the encoding as DecodeTextFile does (a byte-order mark, a declaration that holds,
// the UTF-8 test, the guess) and whether the whole body converts exactly; a body that does
// not is read raw with code 1 and Exact false, as a whole-file decoding would.
class TextSliceReader {
public:
    explicit TextSliceReader(std::size_t sliceBytes = kTextSliceBytes);

    // False when the file cannot be opened or read. requested: that encoding instead of
    // detecting, strictly, its own mark skipped (the user's word for every source).
    bool Open(const Text& path, TextEncoding requested = TextEncoding::Undetected);
    // The same on bytes from any source that can go back to its start.
    bool Open(std::unique_ptr<ReadHandle> in, TextEncoding requested = TextEncoding::Undetected);
    // Opens a source without a mark or with the UTF-8 one to hand out its body's own bytes
    // at once, as a UTF-8 body turned by HandOutBodyBytes would be, its encoding decided as
    // they go by: nothing the reader tells but the mark is known before Settle. False (Open
    // is then needed) when the source cannot be read or has another mark.
    bool OpenUnsettled(const Text& path);
    bool OpenUnsettled(std::unique_ptr<ReadHandle> in);
    // Whether OpenUnsettled's decision is still to come.
    bool Unsettled() const { return m_unsettled; }
    // While unsettled, false once the bytes handed out rule out a UTF-8 body read without
    // another look (a declaration in markup may name another encoding).
    bool MayBeUtf8() const { return m_scan.utf8.ExactSoFar() && (m_scan.marked || !m_scan.sawTag); }
    // Decides the encoding of a source opened unsettled, as Open does, reading to its end
    // what was not handed out yet. Next then goes on where it was, handing out the body's
    // bytes: right for UTF-8 that converts exactly (BodyIsUtf8) and for plain ASCII read as
    // itself; any other source needs Open. False on a read failure.
    bool Settle();
    // Back to the start of the text, to be read once more as Open left it; false when the
    // source cannot go back.
    bool Rewind();
    // The source, given back (at no particular position); the reader is closed.
    std::unique_ptr<ReadHandle> Release() { return std::move(m_in); }
    // The encoding found and whether the source began with its mark.
    TextFormat Format() const { return {m_encoding, m_hadMark}; }
    // A byte-order mark and nothing after it.
    bool MarkOnly() const { return m_markOnly; }
    // Whether the bytes say nothing of GB18030 against Big5: an empty body, or plain ASCII
    // read as itself.
    bool TellsNoFamily() const {
        return m_bodyEmpty || (m_plainAscii && m_encoding == TextEncoding::Gb18030);
    }
    // False when the bytes claimed an encoding that does not decode them (they are then
    // read raw), and where they are damaged.
    bool Exact() const { return m_exact; }
    // Where the bytes do not decode in the encoding they are read in, when the encoding is
    // clear and the damage small: the text is then the characters that decode with every
    // other byte kept (see DecodeKeepingDamage), and Exact is false.
    const TextDamage& Damage() const { return m_damage; }
    // Exact, or damaged and read in its encoding all the same: text that the modes which
    // write the source's own bytes can cut.
    bool Readable() const { return m_exact || m_damage.Any(); }
    // Where the choice between GB18030 and Big5 was left to the locale because the body
    // decodes exactly in both: the one not taken (Undetected otherwise). The encoding taken
    // is then a guess.
    TextEncoding TiedWith() const { return m_tiedWith; }
    // Where the text read is the wreck of an earlier wrong conversion, as Open found it.
    const TextWreck& Wreck() const { return m_wreck; }
    // The body is UTF-8 that converts exactly: its own bytes are the text in another form.
    bool BodyIsUtf8() const {
        return m_encoding == TextEncoding::Utf8 && !m_charset.empty() && !m_damage.Any();
    }
    // From now on Next hands out the body's own bytes (after the mark) unconverted, in
    // slices that may end inside a character.
    void HandOutBodyBytes() { m_bodyBytes = true; }
    // What the detection's UTF-8 scan saw of a body it read as UTF-8 that converts exactly,
    // where no encoding was named instead: where the body starts and its length, whether a
    // "<" is anywhere in it, whether it begins with U+FEFF and passed the UTF-8 test. A
    // reader of the body's bytes can rely on them without scanning it again.
    struct ScannedUtf8 {
        std::int64_t start = 0;
        std::int64_t length = 0;
        bool markup = false;
        bool startsWithMark = false;
        bool plausible = false;
    };
    std::optional<ScannedUtf8> ScannedUtf8Body() const;

    // The next slice of text; every slice of a converted text ends with a whole character.
    // Empty at the end of the text. False on a read failure.
    bool Next(std::string_view& slice);

    // Called between two slices the reader has converted or scanned, never during one: the
    // owner's chance to keep its window alive (Open reads the whole file once).
    void BetweenSlices(std::function<void()> pause) { m_pause = std::move(pause); }

private:
    bool Detect(TextEncoding requested);
    // The mark at the start; false when it cannot be read.
    bool ReadMark(TextEncoding requested, bool& forced);
    // Notes a stretch of the body for the decision (the UTF-8 test, the bytes that end the
    // HTML test, markup) when no mark settles it.
    void ScanBody(std::string_view bytes);
    // The decision once the whole body was scanned; false on a read failure.
    bool Decide();
    // The encoding among those tried that converts the whole body; false on a read failure.
    bool Choose();
    // damage: where it does not, as long as the damage stays small (else it stops early).
    // wreck: where the text read is wrecked, if it is.
    bool ConvertsExactly(TextEncoding encoding, bool guessed, bool& exact,
                         TextDamage* damage = nullptr, TextWreck* wreck = nullptr);
    // Notes in wreck what scan finds in text, converted from the source bytes at base.
    void NoteWreck(MojibakeScan& scan, std::string_view text, std::int64_t base,
                   TextEncoding encoding, TextWreck& wreck) const;
    // The most damage a body read in an encoding may have.
    std::int64_t DamageAllowed(bool guessed) const;
    // Sets m_tiedWith after the guess took m_tries[taken]; false on a read failure.
    bool FindTie(std::size_t taken);
    // Fills the buffer with up to a slice more of the source; false on a read failure.
    bool Fill();
    // Empties the buffer, whose storage the next Fill reuses.
    void Drain() {
        m_spare.swap(m_buffer);
        m_buffer.clear();
    }
    // WholeCharacterBytes of the buffer in the source charset.
    std::size_t WholeCharacters() const;
    void Pause() {
        if (m_pause) {
            m_pause();
        }
    }

    std::size_t m_sliceBytes;
    std::unique_ptr<ReadHandle> m_in;
    TextEncoding m_encoding = TextEncoding::Undetected;
    std::string_view m_charset;
    bool m_hadMark = false;
    bool m_markOnly = false;     // the file is a byte-order mark alone
    bool m_utf8Exact = false;    // the body passed the UTF-8 test and converts exactly
    bool m_plainAscii = false;   // the body is ASCII without a zero byte
    bool m_bodyEmpty = false;    // nothing after the mark, or no byte at all
    bool m_scannedUtf8 = false;  // the body went through the UTF-8 scan
    bool m_utf8Plausible = false;
    ScannedUtf8 m_scanned;
    bool m_guessed = false;  // without a mark: the first of m_tries that fits
    bool m_forced = false;   // one encoding named instead of detected
    std::vector<TextEncoding> m_tries;
    std::size_t m_firstGuess = 0;
    TextEncoding m_tiedWith = TextEncoding::Undetected;
    bool m_exact = true;
    TextDamage m_damage;
    TextWreck m_wreck;
    TextWreck m_utf8Wreck;  // what the scan of the body's own bytes found, read as UTF-8
    MojibakeScan m_utf8WreckScan{true};
    bool m_bodyBytes = false;
    bool m_unsettled = false;
    // What the scan of the body has seen.
    struct BodyScan {
        Utf8Scan utf8;
        std::int64_t htmlEnd = -1;  // the first zero or 0x1A byte
        std::int64_t position = 0;  // the end of what was scanned
        bool marked = false;
        bool sawTag = false;
        bool sawZero = false;
    };
    BodyScan m_scan;
    std::int64_t m_bodyStart = 0;
    Bytes m_buffer;  // source bytes read and not yet handed out
    Bytes m_spare;   // storage drained from the buffer
    bool m_atEnd = false;
    Text m_slice;
    std::function<void()> m_pause;
};

}  // namespace qs
