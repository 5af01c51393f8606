#include "split/piece_writer.h"

#include <array>

#include "app/control_model.h"
#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "fs/paths.h"
#include "platform/characters.h"
#include "platform/services.h"
#include "split/title_sentence.h"

namespace qs {
namespace {

constexpr std::int32_t kMaxNameChars = 100;
constexpr std::size_t kMaxNameBytes = 255;
constexpr int kMaxVariants = 100000;

Text DotExtension(const Text& source) {
    const Text ext = PathExtension(source);
    return ext.empty() ? Text() : "." + ext;
}

bool IsSourceOfJob(SplitContext& ctx, const Text& path) {
    if (ctx.state.sourcePaths.count(path) != 0) {
        return true;
    }
    const auto id = Fs().FileIdentity(path);
    return id && ctx.state.sourceIdentities.count(*id) != 0;
}

Text TrimSpaces(const Text& s) {
    std::size_t first = s.size();
    std::size_t lastEnd = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t len = CharLength(s, i);
        const bool space =
            (len == 1 && s[i] == ' ') || (len == 2 && static_cast<unsigned char>(s[i]) == 0xA1 &&
                                          static_cast<unsigned char>(s[i + 1]) == 0xA1);
        if (!space) {
            if (first == s.size()) {
                first = i;
            }
            lastEnd = i + len;
        }
        i += len;
    }
    return first < lastEnd ? s.substr(first, lastEnd - first) : Text();
}

// A name built from base + " (k)" that nothing occupies yet; empty when none is found.
Text FreeVariant(SplitContext& ctx, const Text& base, const Text& dotExt) {
    for (int k = 2; k <= kMaxVariants; ++k) {
        const Text name = FitPieceName(base, " (" + std::to_string(k) + ")", dotExt);
        if (name.empty()) {
            return Text();
        }
        const Text path = ctx.outputFolder + name + dotExt;
        if (!Fs().Exists(path) && !IsSourceOfJob(ctx, path)) {
            return name;
        }
    }
    return Text();
}

void ShowPiece(SplitContext& ctx) {
    Form& form = ctx.form;
    if (form.Find(split_controls::StatusLabel())) {
        form.SetText(split_controls::StatusLabel(),
                     "[" + std::to_string(ctx.state.pieceNumber) + "] " + ctx.statusText);
    }
}

}  // namespace

void CountPiece(SplitContext& ctx, bool written, const Text& path) {
    ++ctx.state.piecesMade;
    if (!written) {
        ++ctx.state.piecesFailed;
        ctx.state.failures.push_back({SplitFailureKind::Write, path});
    }
    ShowPiece(ctx);
}

Text NumberedPiecePath(SplitContext& ctx, const Text& source) {
    const Text dotExt = DotExtension(source);
    const Text suffix = "_" + std::to_string(ctx.state.pieceNumber);
    Text name = FitPieceName(PathBaseName(source), suffix, dotExt);
    if (name.empty()) {
        name = suffix.substr(1);
    }
    Text path = ctx.outputFolder + name + dotExt;
    if (IsSourceOfJob(ctx, path)) {
        const Text variant = FreeVariant(ctx, name, dotExt);
        path = ctx.outputFolder + (variant.empty() ? name + "_" : variant) + dotExt;
    }
    return path;
}

Text SanitizeFileName(const Text& name) {
    static const std::array<std::pair<const char*, const char*>, 8> kWide = {{
        {"\\", "＼"},
        {"/", "／"},
        {":", "："},
        {"*", "＊"},
        {"?", "？"},
        {"|", "｜"},
        {"<", "＜"},
        {">", "＞"},
    }};
    Text out = name;
    for (const auto& [from, to] : kWide) {
        if (FindText(out, from) != std::string::npos) {
            out = ReplaceAll(out, from, U(to));
        }
    }
    for (const char* drop : {"\"", "\r\n", "\r", "\n", "\t"}) {
        if (FindText(out, drop) != std::string::npos) {
            out = ReplaceAll(out, drop, "");
        }
    }
    // A zero byte cannot be part of a file name.
    if (out.find('\0') != std::string::npos) {
        out = ReplaceAll(out, std::string_view("\0", 1), "");
    }
    return out;
}

Text FitPieceName(const Text& stem, const Text& suffix, const Text& dotExtension) {
    std::string utf8;
    if (!InternalToUtf8(suffix + dotExtension, utf8)) {
        return Text();
    }
    const std::size_t fixedBytes = utf8.size();
    const std::int32_t suffixChars = CountChars(suffix);
    if (fixedBytes >= kMaxNameBytes || suffixChars >= kMaxNameChars) {
        return Text();
    }
    const std::int32_t maxStemChars = kMaxNameChars - suffixChars;
    // UTF-8 never needs more than twice the bytes of the internal form.
    if (2 * stem.size() + fixedBytes <= kMaxNameBytes &&
        stem.size() <= static_cast<std::size_t>(maxStemChars)) {
        if (!InternalToUtf8(stem, utf8)) {
            return Text();
        }
        return stem + suffix;
    }
    std::size_t bytes = fixedBytes;
    std::size_t i = 0;
    std::int32_t chars = 0;
    while (i < stem.size() && chars < maxStemChars) {
        const std::size_t len = CharLength(stem, i);
        if (!InternalToUtf8(std::string_view(stem).substr(i, len), utf8)) {
            return Text();
        }
        if (bytes + utf8.size() > kMaxNameBytes) {
            break;
        }
        bytes += utf8.size();
        ++chars;
        i += len;
    }
    if (i == 0 && !stem.empty()) {
        return Text();
    }
    return stem.substr(0, i) + suffix;
}

Text PiecePath(SplitContext& ctx, const Text& source) {
    const Text dotExt = DotExtension(source);
    if (ctx.Options().RandomRename()) {
        const Text text = ctx.state.sourceEncoding == EncodingUndetected
                              ? DecodeBytes(ctx.state.pieceBytes).text
                              : ctx.state.pieceBytes;
        Text last;
        for (int attempt = 1; attempt <= 10; ++attempt) {
            const std::int32_t minimum = attempt <= 3 ? 15 : (attempt <= 6 ? 10 : 5);
            const Text candidate = FitPieceName(
                SanitizeFileName(TrimSpaces(PickTitleSentence(text, minimum))), "", dotExt);
            if (candidate.empty()) {
                continue;
            }
            last = candidate;
            const Text path = ctx.outputFolder + candidate + dotExt;
            if (!Fs().Exists(path) && !IsSourceOfJob(ctx, path)) {
                return path;
            }
        }
        if (!last.empty()) {
            const Text variant = FreeVariant(ctx, last, dotExt);
            if (!variant.empty()) {
                return ctx.outputFolder + variant + dotExt;
            }
        }
    }
    return NumberedPiecePath(ctx, source);
}

bool WritePiece(SplitContext& ctx, const Text& source) {
    const Text path = PiecePath(ctx, source);
    const TextEncoding encoding = ctx.state.sourceEncoding;
    bool written;
    if (encoding >= EncodingUtf8 && encoding <= EncodingBig5Hkscs) {
        written = WriteTextFileEncoded(path, ctx.state.pieceBytes, encoding, nullptr,
                                       ctx.state.sourceHadMark);
    } else {
        written = Fs().WriteWholeFile(path, ctx.state.pieceBytes);
    }
    CountPiece(ctx, written, path);
    return written;
}

CopyResult CopyPiece(SplitContext& ctx, const Text& source, ReadHandle& in, std::int64_t start,
                     std::int64_t length) {
    const Text path = NumberedPiecePath(ctx, source);
    CopyResult result = CopyResult::Written;
    std::unique_ptr<AtomicWriter> out = Fs().CreateAtomic(path);
    if (!out || !in.Seek(start)) {
        result = out ? CopyResult::ReadFailed : CopyResult::WriteFailed;
    }
    if (result == CopyResult::Written && length > 0) {
        switch (out->CopyFrom(in, length)) {
            case AtomicWriter::CopyResult::Copied:
                break;
            case AtomicWriter::CopyResult::ReadFailed:
                result = CopyResult::ReadFailed;
                break;
            case AtomicWriter::CopyResult::WriteFailed:
                result = CopyResult::WriteFailed;
                break;
        }
    }
    if (result == CopyResult::Written && !out->Commit()) {
        result = CopyResult::WriteFailed;
    }
    // An abandoned writer removes its temporary file and leaves the target alone.
    out.reset();
    if (result == CopyResult::ReadFailed) {
        ++ctx.state.piecesMade;
        ++ctx.state.piecesFailed;
        ctx.state.sourceUnreadable = true;
        return result;
    }
    CountPiece(ctx, result == CopyResult::Written, path);
    return result;
}

}  // namespace qs
