#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "encoding/damaged_text.h"
#include "encoding/text_format.h"
#include "fs/older_files.h"
#include "job/chapter_contents.h"
#include "job/failure.h"
#include "job/split_params.h"
#include "text/text.h"

namespace qs {

// An output a job completed and gave its final name.
struct OutputRecord {
    Text path;
    std::int64_t bytes = 0;
    TextFormat format;       // what the job wrote; TextEncoding::Undetected: bytes copied unchanged
    std::size_t source = 0;  // a split's source, 1-based in the job's list; 0 for a merge
    Text heading;            // a chapter piece's heading line; empty otherwise
};

// The bytes a split read of a source, from its start to where it stopped reading it.
struct SourceDigest {
    std::int64_t size = 0;
    std::string sha256;  // what the pieces read back must give before it goes; its manifest's
    Bytes tail;          // the last bytes (up to 4 KiB), for what the pieces may lack at the end
};

// A source whose pieces are all written: what the split read of it and how.
struct SplitSource {
    Text path;
    std::size_t index = 0;  // 1-based in the job's list
    TextFormat format;      // as read; TextEncoding::Undetected: bytes copied unchanged
    SourceDigest read;
    // What the folder of its pieces held before the job: the only files that another output
    // of the job there (a manifest) may replace. nullptr: none.
    OlderFiles* older = nullptr;
};

// A book split at its chapters that does not look cut: too few headings for its size, or
// one chapter holding most of it. The split still writes what it found; the user is told.
struct UncutBook {
    Text path;
    std::size_t headings = 0;
    int longestPercent = 0;  // the longest chapter's share of the text
};

// The stages a text mode goes through before its first piece.
enum class JobStage { Reading, NormalisingBreaks, Buffering, Cutting };

// What a job tells whoever runs it, as it happens. The window turns it into its progress
// bar, status line and completion message; the command line into its report. The job
// calls Pump at its stop points and tests StopRequested right after.
class JobEvents {
public:
    virtual ~JobEvents() = default;

    // The files a split's sources gave, before any is split.
    virtual void FilesListed(const TextList& /*files*/) {}
    // A loop over n files begins (each merge unit has its own).
    virtual void FilesStarting(int /*n*/) {}
    // File i of n (1-based) begins.
    virtual void SourceStarted(int /*i*/, int /*n*/, const Text& /*path*/) {}
    // The source is read: as text in this format (its encoding and mark as found, or as the
    // user gave them), or, with TextEncoding::Undetected, as bytes that nothing decodes.
    // guessedOver: the encoding that decodes it as well where the choice was a guess.
    virtual void SourceRead(const Text& /*path*/, const TextFormat& /*format*/,
                            TextEncoding /*guessedOver*/) {}
    // Told right after SourceRead: the source's bytes do not all decode in the encoding it
    // is read in (its text keeps them), or its text is the wreck of an earlier wrong
    // conversion (what that looks like, and the first offset of it in the text read).
    virtual void SourceDamaged(const Text& /*path*/, const TextDamage& /*damage*/) {}
    virtual void SourceWarned(const Text& /*path*/, std::string_view /*what*/,
                              std::int64_t /*offset*/) {}
    virtual void Stage(JobStage /*stage*/) {}
    // Piece number of the current source made (written or failed).
    virtual void PieceMade(std::int64_t /*number*/) {}
    // The current source is done with.
    virtual void SourceFinished() {}
    virtual void OutputWritten(const OutputRecord& /*output*/) {}
    // Bytes appended to an output as it is written, before it has its name. Several outputs
    // may be open at once: output tells them apart, and is told closed once. bytes holds what
    // was appended where WantsWrittenBytes, and is empty otherwise (a copy inside the kernel
    // passes nothing through the program).
    virtual void OutputGrew(const void* /*output*/, std::int64_t /*count*/,
                            std::string_view /*bytes*/) {}
    virtual bool WantsWrittenBytes() { return false; }
    // The output's writer is done: named path (which OutputWritten reports next), or nullptr
    // when it was abandoned and nothing of it stays.
    virtual void OutputClosed(const void* /*output*/, const Text* /*path*/) {}
    // How far the source being split is read: position of its length. A job reads the same
    // bytes more than once (to tell the encoding, then to split): this is where it stands.
    virtual void SourceReadTo(std::int64_t /*position*/, std::int64_t /*length*/) {}
    // Whether SourceSplit is wanted even where no source is to be deleted.
    virtual bool WantsSplitSources() { return false; }
    // Every piece of the source is written (the job digests what it reads only when asked
    // to, or when it deletes sources). False when the listener could not keep the record it
    // needs of them (a manifest that rejoins them): the source then stays.
    virtual bool SourceSplit(const SplitSource& /*source*/) { return true; }
    // False in a run that only pretends to write (a dry run): nothing can be read back.
    virtual bool OutputsReachTheDisk() { return true; }
    virtual void SourceDeleted(const Text& /*path*/) {}
    virtual void Failed(const JobFailure& /*failure*/) {}
    // The parameters cannot run; the job ends without touching the source.
    virtual void Refused(const ParamsProblem& /*problem*/) {}
    virtual void BookLooksUncut(const UncutBook& /*book*/) {}
    // A split at chapters found the source's contents (before a piece is written).
    virtual void ContentsFound(const Text& /*path*/, const ChapterContents& /*contents*/) {}
    // A merge ordered a unit's members by their headings (before anything is written):
    // the order, and the contents of the book they make.
    virtual void MembersOrdered(const Text& /*output*/, const TextList& /*members*/,
                                const ChapterContents& /*contents*/) {}
    // Another job writes into the output folder; the job waits (pumping) until it is done.
    virtual void WaitingForFolder(const Text& /*folder*/) {}
    virtual void FolderWaitOver() {}
    virtual void Pump() {}
    virtual bool StopRequested() { return false; }
};

}  // namespace qs
