#include "merge/merge_core.h"

#include <memory>
#include <set>
#include <string>

#include "app/control_model.h"
#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "fs/paths.h"
#include "merge/merge_separator.h"
#include "platform/characters.h"
#include "platform/services.h"

namespace qs {

namespace {

void Pump(MergeContext& context) {
    if (context.pump) {
        context.pump();
    } else {
        Ui().ProcessPendingEvents();
    }
}

enum class CopyOutcome { Copied, ReadFailed, WriteFailed };

CopyOutcome CopyMember(const Text& path, AtomicWriter& writer) {
    std::unique_ptr<ReadHandle> source = Fs().OpenRead(path);
    if (!source) {
        return CopyOutcome::ReadFailed;
    }
    switch (writer.CopyFrom(*source)) {
        case AtomicWriter::CopyResult::Copied:
            return CopyOutcome::Copied;
        case AtomicWriter::CopyResult::ReadFailed:
            return CopyOutcome::ReadFailed;
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

MergeResult MergeFiles(MergeContext& context, const TextList& paths) {
    MergeResult result;
    const std::size_t n = paths.size();
    if (n == 0) {
        return result;
    }
    Form& form = context.form;
    form.SetPosition(U("进度条"), 0);
    form.SetMaximum(U("进度条"), static_cast<int>(n));
    context.stopRequested = false;

    context.outputFolder = MergeOutputFolder(paths.front(), form.IsChecked(U("选择框父目录保存")));
    result.outputPath = context.outputFolder + kPathSeparator + MergeOutputName(paths.front(), n);
    const auto outputIdentity = Fs().FileIdentity(result.outputPath);

    std::unique_ptr<AtomicWriter> writer = Fs().CreateAtomic(result.outputPath);
    if (!writer) {
        context.failures.push_back(U("无法写入：") + result.outputPath);
        return result;
    }
    const Bytes separator = ReadMergeSeparator(form);

    // With encoding processing the members are decoded one by one into one text that is
    // encoded once at the end; the option as it stands when the unit begins decides that.
    const bool collecting = form.IsChecked(U("选择框处理文本编码"));
    Text collected;
    TextEncoding lastEncoding = EncodingUndetected;
    bool writeFailed = false;
    TextList toDelete;
    TextList keptWanted;

    auto put = [&](std::string_view bytes) {
        if (collecting) {
            collected.append(bytes);
        } else if (!writeFailed && !bytes.empty() && !writer->Write(bytes)) {
            writeFailed = true;
        }
    };

    for (std::size_t i = 1; i <= n; ++i) {
        const Text& path = paths[i - 1];
        context.statusText =
            "(" + std::to_string(i) + "/" + std::to_string(n) + ")" + PathFileName(path);
        form.SetPosition(U("进度条"), static_cast<int>(i));
        form.SetText(U("透明标签"), context.statusText);
        ++result.membersVisited;

        lastEncoding = EncodingUndetected;
        bool merged = false;
        if (SameFile(path, result.outputPath, outputIdentity)) {
            // An earlier output of the same name: it is being replaced, never read into
            // itself, and never deleted.
        } else if (form.IsChecked(U("选择框处理文本编码"))) {
            DecodedText decoded = DecodeTextFile(path);
            if (decoded.opened) {
                lastEncoding = decoded.encoding;
                put(decoded.text);
                merged = !writeFailed;
            } else {
                context.failures.push_back(U("无法读取：") + path);
            }
        } else if (collecting) {
            if (std::optional<Bytes> bytes = Fs().ReadWholeFile(path)) {
                put(*bytes);
                merged = true;
            } else {
                context.failures.push_back(U("无法读取：") + path);
            }
        } else if (!writeFailed) {
            switch (CopyMember(path, *writer)) {
                case CopyOutcome::Copied:
                    merged = true;
                    break;
                case CopyOutcome::ReadFailed:
                    context.failures.push_back(U("无法读取：") + path);
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
        if (form.IsChecked(U("选择框合并后删除文件")) &&
            !SameFile(path, result.outputPath, outputIdentity)) {
            (merged ? toDelete : keptWanted).push_back(path);
        }
        Pump(context);
        if (context.stopRequested || writeFailed) {
            break;
        }
    }

    if (collecting && !writeFailed) {
        const bool reencode = form.IsChecked(U("选择框处理文本编码")) && lastEncoding > EncodingRaw;
        const Bytes out = reencode ? EncodeText(collected, lastEncoding) : std::move(collected);
        if (!out.empty() && !writer->Write(out)) {
            writeFailed = true;
        }
    }
    result.written = !writeFailed && writer->Commit();
    writer.reset();
    if (!result.written) {
        context.failures.push_back(U("无法写入：") + result.outputPath);
        keptWanted.insert(keptWanted.end(), toDelete.begin(), toDelete.end());
        toDelete.clear();
    }

    std::set<Text> deleted;
    for (const Text& path : toDelete) {
        if (!deleted.insert(path).second) {
            continue;
        }
        if (!Fs().DeleteFile(path)) {
            context.failures.push_back(U("未删除原文件：") + path);
        }
    }
    for (const Text& path : keptWanted) {
        if (deleted.insert(path).second) {
            context.failures.push_back(U("未删除原文件：") + path);
        }
    }
    return result;
}

}  // namespace qs
