#include "merge/merge_core.h"

#include <memory>
#include <set>
#include <string>

#include "app/main_window.h"
#include "app/run_control.h"
#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "encoding/text_slices.h"
#include "fs/paths.h"
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

// Decodes a member slice by slice into the writer; its encoding and mark go to the out
// values once it is open.
CopyOutcome DecodeMember(const Text& path, AtomicWriter& writer, TextEncoding& encoding,
                         bool& hadMark) {
    TextSliceReader reader;
    if (!reader.Open(path)) {
        return CopyOutcome::ReadFailed;
    }
    encoding = reader.Encoding();
    hadMark = reader.HadMark();
    bool any = false;
    for (;;) {
        std::string_view slice;
        if (!reader.Next(slice)) {
            return any ? CopyOutcome::ReadFailedMidway : CopyOutcome::ReadFailed;
        }
        if (slice.empty()) {
            return CopyOutcome::Copied;
        }
        if (!writer.Write(slice)) {
            return CopyOutcome::WriteFailed;
        }
        any = true;
    }
}

enum class ReencodeOutcome { Encoded, Failed, Unconvertible };

// Encodes the text collected in one writer into a new writer of the same target, slice by
// slice. Unconvertible: some of the text has no form in the encoding, and the collected
// text is the output as it is.
ReencodeOutcome Reencode(AtomicWriter& collected, const Text& target, TextEncoding encoding,
                         bool withMark, std::unique_ptr<AtomicWriter>& encoded) {
    const std::unique_ptr<ReadHandle> text = collected.ReadBack();
    encoded = text ? Fs().CreateAtomic(target) : nullptr;
    if (!encoded) {
        return ReencodeOutcome::Failed;
    }
    const std::string_view charset = CharsetName(encoding);
    Bytes buffer;
    bool first = true;
    for (bool atEnd = false; !atEnd;) {
        const std::size_t had = buffer.size();
        buffer.resize(had + kTextSliceBytes);
        const std::int64_t got = text->Read(buffer.data() + had, kTextSliceBytes);
        if (got < 0) {
            return ReencodeOutcome::Failed;
        }
        buffer.resize(had + static_cast<std::size_t>(got));
        atEnd = got == 0;
        // Whole characters only: the character model sees at most three bytes ahead.
        std::size_t whole = buffer.size();
        if (!atEnd) {
            whole = 0;
            while (whole + 3 < buffer.size()) {
                whole += CharLength(buffer, whole);
            }
        }
        if (whole == 0) {
            continue;
        }
        const std::optional<Bytes> converted =
            Conv().Convert(std::string_view(buffer).substr(0, whole), InternalCharset(), charset);
        if (!converted) {
            encoded.reset();
            return ReencodeOutcome::Unconvertible;
        }
        if ((first && withMark && !encoded->Write(ByteOrderMark(encoding))) ||
            !encoded->Write(*converted)) {
            return ReencodeOutcome::Failed;
        }
        first = false;
        buffer.erase(0, whole);
        ProcessPendingEvents();
    }
    return ReencodeOutcome::Encoded;
}

bool SameFile(const Text& path, const Text& outputPath,
              const std::optional<std::pair<std::uint64_t, std::uint64_t>>& outputIdentity) {
    if (path == outputPath) {
        return true;
    }
    return outputIdentity && Fs().FileIdentity(path) == outputIdentity;
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

    run.outputFolder = MergeOutputFolder(paths.front(), form.IsChecked(U(names::ParentSave)));
    result.outputPath = run.outputFolder + kPathSeparator + MergeOutputName(paths.front(), n);
    const auto outputIdentity = Fs().FileIdentity(result.outputPath);

    std::unique_ptr<AtomicWriter> writer = Fs().CreateAtomic(result.outputPath);
    if (!writer) {
        failures.Add(FailureKind::NotWritten, result.outputPath);
        return result;
    }
    const Bytes separator = ReadMergeSeparator(form);

    // With encoding processing the members are decoded one by one into the output's
    // temporary file, whose text is encoded once at the end; the option as it stands when
    // the unit begins decides that.
    const bool collecting = form.IsChecked(U(names::HandleEncoding));
    TextEncoding lastEncoding = EncodingUndetected;
    // The output carries a byte-order mark when a member had one: unmarked UTF-8 members
    // merge into unmarked UTF-8, byte for byte what joining them would give.
    bool anyHadMark = false;
    bool writeFailed = false;
    TextList toDelete;
    TextList keptWanted;

    auto put = [&](std::string_view bytes) {
        if (!writeFailed && !bytes.empty() && !writer->Write(bytes)) {
            writeFailed = true;
        }
    };

    for (std::size_t i = 1; i <= n; ++i) {
        const Text& path = paths[i - 1];
        run.ShowFile(static_cast<int>(i), static_cast<int>(n), path);
        ++result.membersVisited;

        lastEncoding = EncodingUndetected;
        bool merged = false;
        if (SameFile(path, result.outputPath, outputIdentity)) {
            // An earlier output of the same name: it is being replaced, never read into
            // itself, and never deleted.
        } else if (form.IsChecked(U(names::HandleEncoding))) {
            TextEncoding encoding = EncodingUndetected;
            bool hadMark = false;
            const CopyOutcome outcome = DecodeMember(path, *writer, encoding, hadMark);
            lastEncoding = encoding;
            anyHadMark = anyHadMark || hadMark;
            switch (outcome) {
                case CopyOutcome::Copied:
                    merged = true;
                    break;
                case CopyOutcome::ReadFailed:
                    failures.Add(FailureKind::Unreadable, path);
                    break;
                case CopyOutcome::ReadFailedMidway:
                    failures.Add(FailureKind::Unreadable, path);
                    writeFailed = true;
                    break;
                case CopyOutcome::WriteFailed:
                    writeFailed = true;
                    break;
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

    if (collecting && !writeFailed && form.IsChecked(U(names::HandleEncoding)) &&
        lastEncoding > EncodingRaw) {
        std::unique_ptr<AtomicWriter> encoded;
        switch (Reencode(*writer, result.outputPath, lastEncoding, anyHadMark, encoded)) {
            case ReencodeOutcome::Encoded:
                writer = std::move(encoded);
                break;
            case ReencodeOutcome::Failed:
                writeFailed = true;
                break;
            case ReencodeOutcome::Unconvertible:
                // The text goes out in the internal code page, as it was collected.
                break;
        }
    }
    result.written = !writeFailed && writer->Commit();
    writer.reset();
    if (!result.written) {
        failures.Add(FailureKind::NotWritten, result.outputPath);
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
