#include "merge/merge_core.h"

#include <memory>
#include <set>
#include <string>

#include "app/main_window.h"
#include "app/output_options.h"
#include "app/run_control.h"
#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "fs/paths.h"
#include "merge/encoded_merge.h"
#include "merge/merge_separator.h"
#include "platform/characters.h"
#include "platform/services.h"

namespace qs {

namespace {

// ReadFailedMidway: part of the member already reached the output, which must then not be kept.
enum class CopyOutcome { Copied, ReadFailed, ReadFailedMidway, WriteFailed };

CopyOutcome CopyMember(const Text& path, AtomicWriter& writer) {
    std::unique_ptr<ReadHandle> source = Fs().OpenRead(path);
    if (!source) {
        return CopyOutcome::ReadFailed;
    }
    std::int64_t copied = 0;
    switch (writer.CopyFrom(*source, -1, &copied)) {
        case AtomicWriter::CopyResult::Copied:
            return CopyOutcome::Copied;
        case AtomicWriter::CopyResult::ReadFailed:
            return copied > 0 ? CopyOutcome::ReadFailedMidway : CopyOutcome::ReadFailed;
        case AtomicWriter::CopyResult::WriteFailed:
            break;
    }
    return CopyOutcome::WriteFailed;
}

bool SameFile(const Text& path, const Text& outputPath,
              const std::optional<std::pair<std::uint64_t, std::uint64_t>>& outputIdentity) {
    if (path == outputPath) {
        return true;
    }
    return outputIdentity && Fs().FileIdentity(path) == outputIdentity;
}

struct DecodedMember {
    bool opened = false;
    bool markOnly = false;
    bool exact = true;
    TextEncoding encoding = EncodingUndetected;
    bool hadMark = false;
};

// A member of a unit whose text is encoded as one at the end: examined now, read then.
DecodedMember Examine(EncodedMerge& collected, const Text& path) {
    const EncodedMerge::Examined examined = collected.AddDecoded(path);
    using Member = EncodedMerge::Member;
    return {examined.outcome != Member::Unreadable, examined.outcome == Member::MarkOnly,
            examined.outcome != Member::NotExact, examined.encoding, examined.hadMark};
}

// A member decoded into an output that takes every member as it comes.
template <typename Put>
DecodedMember Decode(const Text& path, Put& put) {
    const DecodedText decoded = DecodeTextFile(path);
    const bool markOnly = decoded.text.empty() && decoded.hadMark;
    if (decoded.opened && decoded.exact && !markOnly) {
        put(decoded.text);
    }
    return {decoded.opened, markOnly, decoded.exact, decoded.encoding, decoded.hadMark};
}

}  // namespace

Text MergeOutputFolder(const Text& firstPath, bool saveInParentFolder) {
    const Text folder = PathDirectory(firstPath);
    // A folder text with a separator has a parent; "" stands for the root, whose own
    // files stay there.
    if (saveInParentFolder && FindChar(folder, kPathSeparator) != Text::npos) {
        return PathDirectory(folder);
    }
    return folder;
}

Text MergeOutputName(const Text& firstPath, std::size_t count) {
    Text name = PathBaseName(firstPath) + U("等") + std::to_string(count) + U("个文件");
    const Text extension = PathExtension(firstPath);
    if (!extension.empty()) {
        name += '.';
        name += extension;
    }
    return name;
}

MergeResult MergeFiles(RunControl& run, const TextList& paths) {
    MergeResult result;
    const std::size_t n = paths.size();
    if (n == 0) {
        return result;
    }
    Form& form = run.MainForm();
    FailureList& failures = run.Failures(JobKind::Merge);
    run.BeginFileLoop(static_cast<int>(n));

    run.outputFolder = run.outputRoot.empty()
                           ? MergeOutputFolder(paths.front(), form.IsChecked(U(names::ParentSave)))
                           : run.outputRoot;
    result.outputPath = run.outputFolder + kPathSeparator + MergeOutputName(paths.front(), n);
    const auto outputIdentity = Fs().FileIdentity(result.outputPath);

    std::unique_ptr<AtomicWriter> writer = Fs().CreateAtomic(result.outputPath);
    if (!writer) {
        failures.Add(FailureKind::NotWritten, result.outputPath);
        return result;
    }
    const Bytes separator = ReadMergeSeparator(form);

    // With encoding processing the members are examined one by one and their text is
    // encoded as one at the end; the option as it stands when the unit begins decides that.
    const bool collecting = form.IsChecked(U(names::HandleEncoding));
    EncodedMerge collected;
    TextEncoding lastEncoding = EncodingUndetected;
    // The output carries a byte-order mark when a member had one: unmarked UTF-8 members
    // merge into unmarked UTF-8, byte for byte what joining them would give.
    bool anyHadMark = false;
    bool writeFailed = false;
    TextList toDelete;
    TextList keptWanted;

    auto put = [&](std::string_view bytes) {
        if (collecting) {
            collected.AddBytes(bytes);
        } else if (!writeFailed && !bytes.empty() && !writer->Write(bytes)) {
            writeFailed = true;
        }
    };

    for (std::size_t i = 1; i <= n; ++i) {
        const Text& path = paths[i - 1];
        run.ShowFile(static_cast<int>(i), static_cast<int>(n), path);
        ++result.membersVisited;

        const TextEncoding previousEncoding = lastEncoding;
        lastEncoding = EncodingUndetected;
        bool merged = false;
        if (SameFile(path, result.outputPath, outputIdentity)) {
            // An earlier output of the same name: it is being replaced, never read into
            // itself, and never deleted.
        } else if (form.IsChecked(U(names::HandleEncoding))) {
            const DecodedMember decoded = collecting ? Examine(collected, path) : Decode(path, put);
            if (decoded.opened && decoded.markOnly) {
                // A mark alone contributes nothing: no text, no mark, no encoding.
                lastEncoding = previousEncoding;
                merged = !writeFailed;
            } else if (decoded.opened && !decoded.exact) {
                // Its raw bytes would pass for other characters: it is left out and kept.
                lastEncoding = previousEncoding;
                failures.Add(FailureKind::NotConverted, path);
            } else if (decoded.opened) {
                lastEncoding = decoded.encoding;
                anyHadMark = anyHadMark || decoded.hadMark;
                merged = !writeFailed;
            } else {
                failures.Add(FailureKind::Unreadable, path);
            }
        } else if (collecting) {
            if (collected.AddRaw(path)) {
                merged = true;
            } else {
                failures.Add(FailureKind::Unreadable, path);
            }
        } else if (!writeFailed) {
            switch (CopyMember(path, *writer)) {
                case CopyOutcome::Copied:
                    merged = true;
                    break;
                case CopyOutcome::ReadFailed:
                    failures.Add(FailureKind::Unreadable, path);
                    break;
                case CopyOutcome::ReadFailedMidway:
                    // Half a member in the output would pass for a whole one: give the unit up.
                    failures.Add(FailureKind::Unreadable, path);
                    writeFailed = true;
                    break;
                case CopyOutcome::WriteFailed:
                    writeFailed = true;
                    break;
            }
        }
        if (merged) {
            ++result.membersMerged;
        }

        if (i != n && !separator.empty()) {
            put(separator);
        }
        if (form.IsChecked(U(names::MergeDelete)) &&
            !SameFile(path, result.outputPath, outputIdentity)) {
            (merged ? toDelete : keptWanted).push_back(path);
        }
        ProcessPendingEvents();
        if (run.StopRequested || writeFailed) {
            break;
        }
    }

    bool keepSources = false;
    bool notConvertible = false;
    if (collecting && !writeFailed) {
        const EncodedMerge::Finished finished =
            collected.Write(writer, result.outputPath, form.IsChecked(U(names::HandleEncoding)),
                            lastEncoding, anyHadMark, OutputRequestOf(form));
        if (finished.outputNotConverted) {
            failures.Add(FailureKind::NotConverted, result.outputPath);
        }
        if (!finished.unreadable.empty()) {
            failures.Add(FailureKind::Unreadable, finished.unreadable);
        }
        keepSources = finished.keepSources;
        notConvertible = finished.outcome == EncodedMerge::Outcome::NotConvertible;
        writeFailed = finished.outcome != EncodedMerge::Outcome::Written;
    }
    // Members go only when the output and its folder entry are on the disk; without
    // deletion nothing is forced.
    const bool durable = !toDelete.empty();
    result.written = !writeFailed && (!durable || writer->Sync()) && writer->Commit();
    writer.reset();
    if (!result.written) {
        failures.Add(notConvertible ? FailureKind::NotConverted : FailureKind::NotWritten,
                     result.outputPath);
    }
    const Text folder = run.outputFolder.empty() ? Text(1, kPathSeparator) : run.outputFolder;
    if (!result.written || keepSources || (durable && !Fs().SyncToDisk(folder))) {
        keptWanted.insert(keptWanted.end(), toDelete.begin(), toDelete.end());
        toDelete.clear();
    }

    std::set<Text> deleted;
    for (const Text& path : toDelete) {
        if (!deleted.insert(path).second) {
            continue;
        }
        if (!Fs().DeleteFile(path)) {
            failures.Add(FailureKind::SourceKept, path);
        }
    }
    for (const Text& path : keptWanted) {
        if (deleted.insert(path).second) {
            failures.Add(FailureKind::SourceKept, path);
        }
    }
    return result;
}

}  // namespace qs
