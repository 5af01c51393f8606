#include "merge/merge_core.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "fs/output_names.h"
#include "fs/paths.h"
#include "fs/unchanged_source.h"
#include "job/output_folder_claim.h"
#include "job/told_files.h"
#include "merge/encoded_merge.h"
#include "merge/heading_order.h"
#include "merge/merge_separator.h"
#include "platform/services.h"
#include "text/characters.h"

namespace qs {

namespace {

// ReadFailed with copied above 0: part of the member already reached the output, which must
// then not be kept. systemError: why the copy failed, as the system said.
AtomicWriter::CopyResult CopyMember(MergeJob& job, const Text& path, JobOutput& writer,
                                    std::int64_t& copied, int& systemError) {
    copied = 0;
    ReadFailure& failure = job.readFailure;
    std::unique_ptr<ReadHandle> source = OpenToldSource(path, job.events, failure);
    if (!source) {
        systemError = failure.systemError;
        return AtomicWriter::CopyResult::ReadFailed;
    }
    const AtomicWriter::CopyResult result = writer.CopyFrom(*source, -1, &copied);
    systemError = writer.SystemError();
    return result;
}

// Gives the finished output its name. A free name is taken by the failing link itself; an
// older file of that name is replaced, unless this job read or wrote it (a member, an earlier
// output) or the folder did not list it under that very name: then the output takes the first free
// name with " (k)" after the count.
bool NameOutput(const JobFiles& touched, OlderFiles& older, std::span<const Text> foldersAhead,
                AtomicWriter& writer, const PathParts& first, std::size_t n, Text& path) {
    const bool ahead = std::any_of(foldersAhead.begin(), foldersAhead.end(), [&](const Text& f) {
        return path.compare(0, f.size() + 1, f + kPathSeparator) == 0;
    });
    const Text folder = PathDirectory(path);
    Text named = path;
    int k = 2;
    const AtomicWriter::NameResult result = NameWithoutReplacing(
        writer, named, [&touched](const Text& p) { return touched.Holds(p); },
        [&] { return !ahead && !touched.Holds(path) && older.Holds(path); },
        [&](int variant) { return folder + kPathSeparator + MergeOutputName(first, n, variant); },
        [&k]() -> int& { return k; }, kMaxNameVariants);
    if (result != AtomicWriter::NameResult::Named) {
        return false;
    }
    path = named;
    return true;
}

struct DecodedMember {
    bool opened = false;
    int systemError = 0;  // why it could not be read, as the system said
    bool markOnly = false;
    bool exact = true;
    TextFormat format;
    TextEncoding tiedWith = TextEncoding::Undetected;
    TextDamage damage;
    TextWreck wreck;
};

// A member of a unit whose text is encoded as one at the end: examined now, read then.
DecodedMember Examine(MergeJob& job, EncodedMerge& collected, const Text& path) {
    ReadFailure& failure = job.readFailure;
    const EncodedMerge::Examined examined =
        collected.AddDecoded(path, OpenToldSource(path, job.events, failure));
    using Member = EncodedMerge::Member;
    return {examined.outcome != Member::Unreadable,
            failure.systemError,
            examined.outcome == Member::MarkOnly,
            examined.outcome != Member::NotExact,
            examined.format,
            examined.tiedWith,
            examined.damage,
            examined.wreck};
}

// Members whose encoding was a guess: told as decided, and where their text was converted;
// none is deleted on a guess.
void SettleGuessedMembers(EncodedMerge& collected, TextFormat& unitFormat,
                          const OutputRequest& request, JobEvents& events, TextList& toDelete,
                          TextList& keptWanted) {
    const EncodedMerge::Ties ties = collected.SettleTies(unitFormat, request);
    std::set<Text> guessed;
    for (const EncodedMerge::Guessed& member : ties.read) {
        events.SourceRead(member.path, member.format, member.other);
        guessed.insert(member.path);
    }
    for (const Text& path : ties.converted) {
        events.Failed({FailureKind::Guessed, path, 0});
    }
    std::erase_if(toDelete, [&](const Text& path) {
        if (!guessed.count(path)) {
            return false;
        }
        keptWanted.push_back(path);
        return true;
    });
}

}  // namespace

Text MergeOutputFolder(const PathParts& first, bool saveInParentFolder) {
    const Text& folder = first.folder;
    // A folder text with a separator has a parent; "" stands for the root, whose own
    // files stay there.
    if (saveInParentFolder && FindChar(folder, kPathSeparator) != Text::npos) {
        return PathDirectory(folder);
    }
    return folder;
}

Text MergeOutputName(const PathParts& first, std::size_t count, int variant) {
    Text tail = U("等") + std::to_string(count) + U("个文件");
    if (variant > 1) {
        tail += VariantSuffix(variant);
    }
    const Text dotExtension = first.DotExtension();
    // A stem of which nothing fits gives way to the count alone; a name that cannot fit at
    // all stays whole, for the file system to refuse.
    for (const Text& stem : {first.stem, Text()}) {
        if (Text fitted = FitFileName(stem, tail, dotExtension); !fitted.empty()) {
            return fitted;
        }
    }
    return first.stem + tail + dotExtension;
}

MergeResult MergeFiles(MergeJob& job, const TextList& listed) {
    MergeResult result;
    const std::size_t n = listed.size();
    if (n == 0) {
        return result;
    }
    JobEvents& events = job.events;
    std::optional<HeadingOrder> ordered;
    if (job.Params().order == MergeOrder::Headings) {
        ordered = OrderByHeadings(
            listed, [&events] { events.Pump(); }, job.sourceEncoding);
        if (events.StopRequested()) {
            return result;
        }
    }
    const TextList& paths = ordered ? ordered->members : listed;
    auto fail = [&events](FailureKind kind, const Text& path, int systemError = 0) {
        events.Failed({kind, path, systemError});
    };
    events.FilesStarting(static_cast<int>(n));

    // The first member names the output and, unless a folder is given, places it.
    const PathParts first = ParsePath(paths.front());
    const Text outputFolder = job.outputRoot.empty()
                                  ? MergeOutputFolder(first, job.Params().saveInParentFolder)
                                  : job.outputRoot;
    result.outputPath = outputFolder + kPathSeparator + MergeOutputName(first, n);
    if (ordered) {
        events.MembersOrdered(result.outputPath, ordered->members, ordered->contents);
    }
    // The members are the job's sources: no output may replace them, also where one of them
    // has the output's name (an earlier output merged again).
    for (const Text& path : paths) {
        job.touched.Add(path);
    }

    const Text claimFolder = outputFolder.empty() ? Text(1, kPathSeparator) : outputFolder;
    if (!job.claim || job.claimed != claimFolder) {
        job.claim.reset();
        job.claim = ClaimOutputFolder(events, claimFolder);
        if (!job.claim) {
            return result;  // stopped while another job wrote there
        }
        job.claimed = claimFolder;
        job.older.Claimed(job.claim.get());
    }
    Result<std::unique_ptr<JobOutput>> created = CreateOutput(result.outputPath, events);
    if (!created) {
        events.Failed(created.error());
        if (job.Params().deleteSources) {
            std::set<Text> kept;
            for (const Text& path : paths) {
                if (kept.insert(path).second) {
                    fail(FailureKind::SourceKept, path);
                }
            }
        }
        return result;
    }
    std::unique_ptr<JobOutput> writer = std::move(*created);
    const Result<Bytes> readSeparator = ReadMergeSeparator(job.Params());
    if (!readSeparator) {
        // The unit goes on without it, and says so.
        events.Failed(readSeparator.error());
    }
    const Bytes separator = readSeparator ? *readSeparator : Bytes();

    // With encoding processing the members are examined one by one and their text is
    // encoded as one at the end; the option as it stands when the unit begins decides that.
    // So is the output encoding asked for: a change meanwhile counts from the next unit.
    const bool collecting = job.Params().processTextEncoding;
    const OutputRequest request = job.Params().output;
    TextFormat written;
    EncodedMerge collected(
        kTextSliceBytes, [&events] { events.Pump(); }, job.sourceEncoding);
    // The last member's encoding; the output carries a byte-order mark when a member had
    // one: unmarked UTF-8 members merge into unmarked UTF-8, byte for byte what joining them
    // would give.
    TextFormat unitFormat;
    bool writeFailed = false;
    int writeError = 0;  // why, as the system said
    std::int64_t outputBytes = 0;
    TextList toDelete;
    TextList keptWanted;
    // Each member as it was when it was read: only that is in the output.
    std::map<Text, std::optional<FileStamp>> asRead;
    std::uint32_t permissions = 07777;
    // The access lists of the members that have one, and whether one has none.
    std::set<Bytes> accessLists;
    bool plainMember = false;

    auto put = [&](std::string_view bytes) {
        if (collecting) {
            collected.AddBytes(bytes);
        } else if (!writeFailed && !bytes.empty()) {
            writeFailed = !writer->Write(bytes);
            writeError = writeFailed ? writer->SystemError() : 0;
            outputBytes += static_cast<std::int64_t>(bytes.size());
        }
    };

    for (std::size_t i = 1; i <= n; ++i) {
        const Text& path = paths[i - 1];
        events.SourceStarted(static_cast<int>(i), static_cast<int>(n), path);
        ++result.membersVisited;

        const std::optional<FileStamp> stamp = StampBeforeReading(path);
        asRead.emplace(path, stamp);
        const TextEncoding previousEncoding = unitFormat.encoding;
        unitFormat.encoding = TextEncoding::Undetected;
        bool merged = false;
        if (collecting) {
            const DecodedMember decoded = Examine(job, collected, path);
            // A guess is told once the unit has decided it.
            if (decoded.opened && decoded.exact && decoded.tiedWith == TextEncoding::Undetected) {
                events.SourceRead(path, decoded.format, TextEncoding::Undetected);
            } else if (decoded.opened && decoded.damage.Any()) {
                // Its encoding is known; what keeps it out is where it does not decode.
                events.SourceRead(path, decoded.format, decoded.tiedWith);
                events.SourceDamaged(path, decoded.damage);
            }
            if (decoded.opened && decoded.wreck.Any()) {
                events.SourceWarned(path, decoded.wreck.what, decoded.wreck.offset);
            }
            if (decoded.opened && decoded.markOnly) {
                // A mark alone contributes nothing: no text, no mark, no encoding.
                unitFormat.encoding = previousEncoding;
                merged = !writeFailed;
            } else if (decoded.opened && !decoded.exact) {
                // Its raw bytes would pass for other characters, and a damaged member's
                // bytes would have to be invented for: it is left out and kept.
                unitFormat.encoding = previousEncoding;
                if (decoded.damage.Any()) {
                    events.Failed({FailureKind::NotConverted, path, 0, decoded.damage.offset});
                } else {
                    fail(FailureKind::Unrecognised, path);
                }
            } else if (decoded.opened) {
                unitFormat.encoding = decoded.format.encoding;
                unitFormat.mark = unitFormat.mark || decoded.format.mark;
                merged = !writeFailed;
            } else {
                fail(FailureKind::Unreadable, path, decoded.systemError);
            }
        } else if (!writeFailed) {
            std::int64_t copied = 0;
            int why = 0;
            const AtomicWriter::CopyResult outcome = CopyMember(job, path, *writer, copied, why);
            const bool unread = outcome == AtomicWriter::CopyResult::ReadFailed && copied == 0;
            outputBytes += copied;
            switch (outcome) {
                case AtomicWriter::CopyResult::Copied:
                    merged = true;
                    break;
                case AtomicWriter::CopyResult::ReadFailed:
                    fail(FailureKind::Unreadable, path, why);
                    // Half a member in the output would pass for a whole one: give the unit up.
                    writeFailed = !unread;
                    break;
                case AtomicWriter::CopyResult::WriteFailed:
                    writeFailed = true;
                    writeError = why;
                    break;
            }
            if (!unread) {
                events.SourceRead(path, {}, TextEncoding::Undetected);
            }
        }
        if (merged) {
            // Only what went in limits who may read the output.
            ++result.membersMerged;
            permissions = SharedPermissions(permissions, stamp);
            if (std::optional<Bytes> access = Fs().ExtendedAccess(path)) {
                accessLists.insert(std::move(*access));
            } else {
                plainMember = true;
            }
        }

        if (i != n && !separator.empty()) {
            put(separator);
        }
        if (job.Params().deleteSources) {
            (merged ? toDelete : keptWanted).push_back(path);
        }
        events.Pump();
        if (events.StopRequested() || writeFailed) {
            break;
        }
    }
    if (writeFailed && job.Params().deleteSources) {
        // A unit given up keeps the members it never reached, and says so.
        keptWanted.insert(keptWanted.end(), paths.begin() + result.membersVisited, paths.end());
    }

    bool keepSources = false;
    bool notConvertible = false;
    Text unconvertible;
    if (collecting && !writeFailed) {
        SettleGuessedMembers(collected, unitFormat, request, events, toDelete, keptWanted);
        const EncodedMerge::Finished finished =
            collected.Write(writer, result.outputPath, true, unitFormat, request, events);
        unconvertible = finished.unconvertible;
        if (finished.outputNotConverted) {
            events.Failed({FailureKind::NotConverted, result.outputPath, 0, -1, unconvertible});
        }
        if (!finished.unreadable.empty()) {
            fail(FailureKind::Unreadable, finished.unreadable, finished.systemError);
        } else if (finished.outcome == EncodedMerge::Outcome::WriteFailed) {
            writeError = finished.systemError;
        }
        written = finished.format;
        keepSources = finished.keepSources;
        notConvertible = finished.outcome == EncodedMerge::Outcome::NotConvertible;
        writeFailed = finished.outcome != EncodedMerge::Outcome::Written;
        outputBytes = finished.bytes;
    }
    // Members go only when the output and its folder entry are on the disk; without
    // deletion nothing is forced.
    const bool durable = !toDelete.empty();
    if (writer) {
        // Whatever the members allow, the output stays readable and writable to its owner.
        writer->LimitPermissions(permissions | 0600);
        // One list that every member has is carried; members that differ leave the output
        // to its owner alone.
        if (!accessLists.empty()) {
            writer->LimitAccess(accessLists.size() == 1 && !plainMember ? *accessLists.begin()
                                                                        : Bytes());
        }
    }
    // A unit of which nothing could be read gets no output, not an empty one.
    const bool anythingRead = result.membersMerged > 0;
    result.written =
        anythingRead && !writeFailed && (!durable || writer->Sync()) &&
        NameOutput(job.touched, job.older, job.foldersAhead, *writer, first, n, result.outputPath);
    if (anythingRead && !writeFailed && !result.written) {
        writeError = writer->SystemError();  // the flush or the naming
    }
    writer.reset();
    if (result.written) {
        job.touched.Add(result.outputPath);
        if (job.written) {
            job.written->Add(result.outputPath);
        }
        events.OutputWritten({result.outputPath, outputBytes, written, 0, Text()});
    }
    if (notConvertible) {
        events.Failed({FailureKind::NotConverted, result.outputPath, 0, -1, unconvertible});
    } else if (!result.written) {
        fail(FailureKind::NotWritten, result.outputPath, writeError);
    }
    const Text folder = outputFolder.empty() ? Text(1, kPathSeparator) : outputFolder;
    // A source goes only while its output is there as it was written.
    if (!result.written || keepSources || (durable && !Fs().SyncToDisk(folder)) ||
        (durable && Fs().FileSize(result.outputPath) != outputBytes)) {
        keptWanted.insert(keptWanted.end(), toDelete.begin(), toDelete.end());
        toDelete.clear();
    }

    std::set<Text> deleted;
    for (const Text& path : toDelete) {
        if (!deleted.insert(path).second) {
            continue;
        }
        const SourceRemoval removal = DeleteIfUnchanged(path, asRead[path]);
        if (removal.outcome == Removal::Deleted) {
            events.SourceDeleted(path);
        } else {
            fail(FailureKind::SourceKept, path, removal.systemError);
        }
    }
    for (const Text& path : keptWanted) {
        if (deleted.insert(path).second) {
            fail(FailureKind::SourceKept, path);
        }
    }
    return result;
}

}  // namespace qs
