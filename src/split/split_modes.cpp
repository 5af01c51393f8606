#include "split/split_modes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "app/control_model.h"
#include "app/run_control.h"
#include "dialog/input_dialog.h"
#include "encoding/text_decoder.h"
#include "pattern/regex_facade.h"
#include "platform/characters.h"
#include "platform/random.h"
#include "platform/services.h"
#include "split/piece_writer.h"

namespace qs {
namespace {

void Pump() {
    ProcessPendingEvents();
}

ModeResult Refuse(SplitContext& ctx, const char* message, const Text* focus) {
    MessageRequest request;
    request.text = U(message);
    request.title = U("信息：");
    request.buttons = ButtonsOk;
    Ui().ShowMessage(request);
    if (focus) {
        ctx.form.SetFocus(*focus);
    }
    return ModeResult::ValidationFailed;
}

void SetStage(SplitContext& ctx, const char* caption) {
    ctx.form.SetText(split_controls::SplitButton(), U(caption));
}

void NoteUnreadable(SplitContext& ctx, const Text& path) {
    ctx.state.sourceUnreadable = true;
    ctx.state.failures.push_back({SplitFailureKind::Read, path});
}

// Reads a whole byte range of the source into the buffer.
bool ReadRange(ReadHandle& in, std::int64_t start, std::int64_t length, Bytes& out) {
    out.resize(static_cast<std::size_t>(length));
    if (!in.Seek(start)) {
        return false;
    }
    std::int64_t done = 0;
    while (done < length) {
        const std::int64_t got = in.Read(out.data() + done, length - done);
        if (got <= 0) {
            return false;
        }
        done += got;
    }
    return true;
}

// Writes count pieces of the open source: every piece size bytes, the last one the rest.
// Small pieces are cut from a block read once for many of them; a piece named after its
// text is read whole; every other piece is copied inside the kernel.
void WriteByteRanges(SplitContext& ctx, const Text& path, ReadHandle& in, std::int64_t length,
                     std::int64_t count, std::int64_t size) {
    constexpr std::int64_t kSmallPiece = 64 << 10;
    constexpr std::int64_t kBlock = 1 << 20;
    Bytes block;
    std::int64_t blockStart = 0;
    std::int64_t position = 0;
    for (std::int64_t k = 1; k <= count; ++k) {
        const std::int64_t chunk = k == count ? length - position : size;
        ctx.state.pieceNumber = static_cast<std::int32_t>(k);
        if (chunk <= kSmallPiece || ctx.Options().RandomRename()) {
            const std::int64_t blockEnd = blockStart + static_cast<std::int64_t>(block.size());
            if (position < blockStart || position + chunk > blockEnd) {
                blockStart = position;
                if (!ReadRange(in, position, std::max(chunk, std::min(kBlock, length - position)),
                               block)) {
                    NoteUnreadable(ctx, path);
                    return;
                }
            }
            WritePieceBytes(
                ctx, path,
                std::string_view(block).substr(static_cast<std::size_t>(position - blockStart),
                                               static_cast<std::size_t>(chunk)));
        } else {
            if (CopyPiece(ctx, path, in, position, chunk) == CopyResult::ReadFailed) {
                ctx.state.failures.push_back({SplitFailureKind::Read, path});
                return;
            }
        }
        position += chunk;
        Pump();
        if (ctx.stopRequested) {
            break;
        }
    }
    ShowLastPiece(ctx);
}

DecodedText ReadText(SplitContext& ctx, const Text& path) {
    DecodedText decoded = DecodeTextFile(path);
    ctx.state.sourceEncoding = decoded.encoding;
    ctx.state.sourceHadMark = decoded.hadMark;
    if (!decoded.opened) {
        NoteUnreadable(ctx, path);
    }
    return decoded;
}

void EmitPiece(SplitContext& ctx, const Text& path, std::string_view bytes) {
    ctx.state.pieceBytes.assign(bytes);
    WritePiece(ctx, path);
}

// TABs removed and spaces (ASCII and full-width) trimmed, nothing is left.
bool IsBlankLine(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size()) {
        const auto b = static_cast<unsigned char>(line[i]);
        if (b == ' ' || b == '\t') {
            ++i;
        } else if (b == 0xA1 && i + 1 < line.size() &&
                   static_cast<unsigned char>(line[i + 1]) == 0xA1) {
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

ModeResult SplitIntoParts(SplitContext& ctx, const Text& path) {
    const std::int64_t parts = ctx.Options().PartCount();
    if (parts <= 0) {
        return Refuse(ctx, "份数必须大于0", &split_controls::PartCountEdit());
    }
    std::unique_ptr<ReadHandle> in = Fs().OpenRead(path);
    if (!in) {
        NoteUnreadable(ctx, path);
        return ModeResult::Done;
    }
    const std::int64_t length = in->Length();
    std::int64_t count = parts;
    if (count > length && count > kMaxPartsBeyondLength) {
        count = kMaxPartsBeyondLength;
    }
    WriteByteRanges(ctx, path, *in, length, count, length / parts);
    return ModeResult::Done;
}

ModeResult SplitBySize(SplitContext& ctx, const Text& path) {
    const SplitOptions options = ctx.Options();
    if (std::fabs(options.ByteSize()) <= 1e-7f) {
        return Refuse(ctx, "字节长度不能等于0", &split_controls::ByteSizeEdit());
    }
    std::unique_ptr<ReadHandle> in = Fs().OpenRead(path);
    if (!in) {
        NoteUnreadable(ctx, path);
        return ModeResult::Done;
    }
    const std::int64_t size = options.PieceByteSize();
    const std::int64_t length = in->Length();
    if (size < 1 || length <= 0) {
        return ModeResult::Done;
    }
    const std::int64_t count = length / size + (length % size != 0 ? 1 : 0);
    WriteByteRanges(ctx, path, *in, length, count, size);
    return ModeResult::Done;
}

ModeResult SplitByLineCount(SplitContext& ctx, const Text& path) {
    {
        const SplitOptions options = ctx.Options();
        if (options.LineMin() <= 0 || options.LineMax() <= 0) {
            return Refuse(ctx, "行数至少 1", &split_controls::LineMinEdit());
        }
    }
    SetStage(ctx, "读入文件..");
    DecodedText decoded = ReadText(ctx, path);
    SetStage(ctx, "矫正换行..");
    const Text text = NormalizeLineBreaks(decoded.text);
    decoded.text.clear();
    decoded.text.shrink_to_fit();
    SetStage(ctx, "写到内存..");
    SetStage(ctx, "开始分割..");
    ReseedRandom();

    Text piece;
    std::int32_t linesInPiece = 0;
    std::int32_t target = 0;
    ctx.state.pieceNumber = 0;
    const char* data = text.data();
    const std::size_t size = text.size();
    std::size_t pos = 0;
    while (pos < size) {
        Pump();
        if (ctx.stopRequested) {
            break;
        }
        const void* hit = std::memchr(data + pos, '\n', size - pos);
        const std::size_t lf =
            hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : size;
        std::size_t end = lf;
        if (hit && end > pos && data[end - 1] == '\r') {
            --end;
        }
        const std::string_view line(data + pos, end - pos);
        pos = hit ? lf + 1 : size;
        if (ctx.Options().IgnoreBlankLines() && IsBlankLine(line)) {
            continue;
        }
        if (linesInPiece == 0) {
            const SplitOptions options = ctx.Options();
            target = RandomInRange(options.LineMin(), options.LineMax());
            // Bounds edited to 0 while the job runs still take at least one line per piece.
            if (target < 1) {
                target = 1;
            }
            ++ctx.state.pieceNumber;
        }
        if (linesInPiece > 0) {
            piece.append("\r\n");
        }
        piece.append(line);
        ++linesInPiece;
        if (linesInPiece == target) {
            EmitPiece(ctx, path, piece);
            piece.clear();
            linesInPiece = 0;
        }
    }
    if (linesInPiece > 0) {
        EmitPiece(ctx, path, piece);
    }
    ctx.state.pieceBytes.clear();
    return ModeResult::Done;
}

ModeResult SplitByCharCount(SplitContext& ctx, const Text& path) {
    {
        const SplitOptions options = ctx.Options();
        if (options.CharMin() <= 0 || options.CharMax() <= 0) {
            return Refuse(ctx, "字数至少 1 个", &split_controls::CharMinEdit());
        }
    }
    const DecodedText decoded = ReadText(ctx, path);
    const std::string_view bytes = decoded.text;
    if (bytes.empty()) {
        return ModeResult::Done;
    }
    ReseedRandom();
    ctx.state.pieceNumber = 0;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const SplitOptions options = ctx.Options();
        std::int32_t n = RandomInRange(options.CharMin(), options.CharMax());
        if (n < 1) {
            n = 1;
        }
        std::size_t end = pos;
        for (std::int32_t c = 0; c < n && end < bytes.size(); ++c) {
            end += CharLength(bytes, end);
        }
        ++ctx.state.pieceNumber;
        EmitPiece(ctx, path, bytes.substr(pos, end - pos));
        pos = end;
        Pump();
        if (ctx.stopRequested) {
            break;
        }
    }
    ctx.state.pieceBytes.clear();
    return ModeResult::Done;
}

ModeResult SplitAtSeparator(SplitContext& ctx, const Text& path) {
    const Text separator = ctx.Options().Separator();
    if (separator.empty()) {
        Refuse(ctx, "请输入用于分割的字符串！", nullptr);
        EditSplitSeparator(ctx.form);
        return ModeResult::ValidationFailed;
    }
    const DecodedText decoded = ReadText(ctx, path);
    const std::string_view text = decoded.text;
    ctx.state.pieceNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Pump();
        if (ctx.stopRequested) {
            break;
        }
        std::size_t hit = FindText(text, separator, pos);
        const std::size_t end = hit == std::string_view::npos ? text.size() : hit;
        ++ctx.state.pieceNumber;
        EmitPiece(ctx, path, text.substr(pos, end - pos));
        pos = hit == std::string_view::npos ? text.size() : hit + separator.size();
    }
    ctx.state.pieceBytes.clear();
    return ModeResult::Done;
}

ModeResult RunSplitMode(SplitContext& ctx, SplitMode mode, const Text& path) {
    switch (mode) {
        case SplitMode::SplitByParts:
            return SplitIntoParts(ctx, path);
        case SplitMode::SplitByBytes:
            return SplitBySize(ctx, path);
        case SplitMode::SplitByLines:
            return SplitByLineCount(ctx, path);
        case SplitMode::SplitByChars:
            return SplitByCharCount(ctx, path);
        case SplitMode::SplitBySeparator:
            return SplitAtSeparator(ctx, path);
        case SplitMode::None:
            break;
    }
    return ModeResult::Done;
}

}  // namespace qs
