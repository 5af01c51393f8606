#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "encoding/output_text.h"
#include "encoding/text_decoder.h"
#include "encoding/text_format.h"
#include "encoding/text_slices.h"
#include "job/job_events.h"
#include "job/told_files.h"
#include "merge/utf8_member.h"
#include "platform/file_system.h"
#include "text/text.h"

namespace qs {

// The output of a merge with encoding processing, in memory that does not grow with the
// members: while the members are visited each one is only examined (its encoding, its mark,
// whether it decodes exactly); the text is decoded slice by slice, encoded and written once
// the output's encoding is known, when the last member has been seen. The bytes are those
// of joining the decoded members and encoding the whole text at once.
class EncodedMerge {
public:
    using Pump = std::function<void()>;
    // pump: called between slices while members are read, so that the job's caller stays live.
    // sourceEncoding: every member is read in it instead of being detected (Undetected:
    // detected), and so is the output when it is read back.
    explicit EncodedMerge(std::size_t sliceBytes = kTextSliceBytes, Pump pump = {},
                          TextEncoding sourceEncoding = TextEncoding::Undetected)
        : m_sliceBytes(sliceBytes), m_pump(std::move(pump)), m_sourceEncoding(sourceEncoding) {}

    enum class Member { Added, MarkOnly, NotExact, Unreadable };
    struct Examined {
        Member outcome = Member::Unreadable;
        TextFormat format;
        TextEncoding tiedWith = TextEncoding::Undetected;  // its encoding is a guess
        TextDamage damage;  // where its bytes do not decode in that encoding
        TextWreck wreck;    // where its text is the wreck of an earlier wrong conversion
    };
    // A member to decode, read through in (nullptr: it could not be opened); a mark alone and
    // a member that does not decode exactly add nothing.
    Examined AddDecoded(const Text& path, std::unique_ptr<ReadHandle> in);
    void AddBytes(std::string_view bytes);

    // The members whose encoding the locale chose between GB18030 and Big5, decided once
    // the unit is known: the family every other such member of the unit was found in, where
    // the member decodes in it too; else the locale's. converted: those whose text then goes
    // out in another encoding than the one read (right only if the choice was).
    // merged is updated where the last member changes.
    struct Guessed {
        Text path;
        TextFormat format;   // as it is read
        TextEncoding other;  // as good
    };
    struct Ties {
        std::vector<Guessed> read;
        TextList converted;
    };
    Ties SettleTies(TextFormat& merged, const OutputRequest& request);

    enum class Outcome { Written, NotConvertible, WriteFailed, ReadFailed };
    struct Finished {
        Outcome outcome = Outcome::Written;
        // The text did not read back in its own encoding and went out as marked UTF-8 (or,
        // when even that cannot hold it, as the internal bytes where they read as themselves,
        // and the members stay; where they do not, the outcome is NotConvertible).
        bool outputNotConverted = false;
        // The character that kept the text from an encoding, where one can be named.
        Text unconvertible;
        bool keepSources = false;
        Text unreadable;         // the member that failed on its second reading
        int systemError = 0;     // why that reading or the writing failed, as the system said
        std::int64_t bytes = 0;  // the size of the output written
        TextFormat format;       // what it was written as
    };
    // Writes the output into writer (a fresh one for target, told to events as the first was,
    // when a first attempt is given up). decoded: encoding processing is on as the unit ends;
    // merged (the last member's encoding, a mark when any member had one) decides the output's as
    // for a whole text.
    Finished Write(std::unique_ptr<JobOutput>& writer, const Text& target, bool decoded,
                   const TextFormat& merged, const OutputRequest& request, JobEvents& events);

    struct Part {
        enum Kind { Decoded, Bytes } kind;
        Text data;  // the path, or the bytes themselves
        TextFormat format;
        // The member as it was examined, read again from its start; opened again by its
        // path when too many are open already.
        std::unique_ptr<ReadHandle> held;
        TextEncoding tiedWith = TextEncoding::Undetected;  // read again in format's encoding
        bool tellsFamily = true;  // its bytes show GB18030 or Big5, not only ASCII
        // A UTF-8 body that can go into a UTF-8 output as its own bytes, as examined.
        std::optional<Utf8Body> passable = std::nullopt;
        bool forced = false;  // read, and read again, in the encoding the user named
    };

private:
    std::size_t m_sliceBytes;
    Pump m_pump;
    TextEncoding m_sourceEncoding;
    std::vector<Part> m_parts;
    std::size_t m_held = 0;
};

}  // namespace qs
