#include "split/text_piece.h"

#include "encoding/charset_converter.h"
#include "encoding/text_format.h"
#include "job/told_files.h"
#include "platform/services.h"
#include "split/piece_writer.h"
#include "text/utf8_tail.h"

namespace qs {

TextPiece::TextPiece(SplitContext& ctx, const Text& source) : m_ctx(ctx), m_source(source) {}

TextPiece::~TextPiece() = default;

void TextPiece::KeepNameText() {
    if (m_ctx.state.piecesKeepBytes) {
        m_nameText = KeptPieceText(m_ctx, m_held);
        return;
    }
    if (!m_ctx.state.piecesInUtf8) {
        m_nameText = m_held;
        return;
    }
    const std::string_view whole = std::string_view(m_held).substr(0, WholeUtf8Prefix(m_held));
    m_nameText =
        Conv().Convert(whole, CharsetName(TextEncoding::Utf8), InternalCharset()).value_or(Text());
}

void TextPiece::Overflow() {
    if (!m_streaming) {
        // A piece named after its text is held for the name, up to a size that does not
        // make the memory grow with the piece. A name given before (a chapter's heading)
        // needs none of it.
        if (m_ctx.Options().nameFromText && m_ctx.state.pieceName.empty()) {
            // Enough to hold the name's text in the internal code page, in which UTF-8 takes
            // at least two thirds of its bytes, and a character more.
            const std::size_t needed =
                m_ctx.nameTextBytes + (m_ctx.state.piecesInUtf8 ? m_ctx.nameTextBytes / 2 + 1 : 0) +
                4;
            if (m_held.size() < needed) {
                return;
            }
            KeepNameText();
        }
        m_out = CreateOutput(NumberedPiecePath(m_ctx, m_source), m_ctx.events);
        m_failed = !m_out;
        m_streaming = true;
    }
    Spill(false);
}

void TextPiece::Spill(bool final) {
    // UTF-8 cut in its own bytes may end inside a character, which waits for its rest.
    const std::size_t whole =
        final || !m_ctx.state.piecesInUtf8 ? m_held.size() : WholeUtf8Prefix(m_held);
    if (whole == 0) {
        return;
    }
    const std::string_view text = std::string_view(m_held).substr(0, whole);
    if (!m_failed && m_ctx.state.piecesInUtf8 && m_ctx.state.outputRequest.Empty() &&
        (m_written > 0 || !m_ctx.state.source.mark)) {
        // A UTF-8 body's own bytes go as they are (but for a mark in front), without a copy.
        m_failed = !(*m_out)->Write(text);
        m_written += static_cast<std::int64_t>(text.size());
    } else if (!m_failed) {
        // A piece half written cannot fall back to other bytes: it fails instead.
        const std::optional<Bytes> bytes = EncodePieceSlice(m_ctx, text, m_written == 0);
        m_unconverted = !bytes;
        if (!bytes) {
            NoteRefusedCharacter(m_ctx, text, m_ctx.state.piecesInUtf8);
        }
        m_failed = !bytes || (!bytes->empty() && !(*m_out)->Write(*bytes));
        if (bytes) {
            m_written += static_cast<std::int64_t>(bytes->size());
        }
    }
    m_held.erase(0, whole);
}

void TextPiece::Finish() {
    if (m_deferring) {
        if (m_streaming) {
            Spill(true);
        }
        // A streamed piece leaves its buffer to the next one.
        Text held = m_streaming ? Text() : Text(m_held);
        m_waitingBytes += held.size();
        m_waiting.push_back({m_ctx.state.pieceNumber, std::move(held), std::move(m_nameText),
                             std::move(m_out), m_written, m_streaming, m_failed, m_unconverted});
    } else if (m_streaming) {
        Spill(true);
        FinishWrittenPiece(m_ctx, m_source, std::move(m_out), !m_failed, m_written, m_unconverted,
                           m_nameText);
    } else {
        WritePieceBytes(m_ctx, m_source, m_held);
    }
    m_held.clear();
    m_nameText.clear();
    m_written = 0;
    m_streaming = false;
    m_failed = false;
    m_unconverted = false;
}

void TextPiece::Release() {
    m_deferring = false;
    const std::int32_t current = m_ctx.state.pieceNumber;
    for (WaitingPiece& piece : m_waiting) {
        m_ctx.state.pieceNumber = piece.number;
        if (piece.streamed) {
            FinishWrittenPiece(m_ctx, m_source, std::move(piece.out), !piece.failed, piece.written,
                               piece.unconverted, piece.nameText);
        } else {
            WritePieceBytes(m_ctx, m_source, piece.held);
        }
        // Thousands may wait: the window stays alive while they go.
        m_ctx.events.Pump();
    }
    m_ctx.state.pieceNumber = current;
    Drop();
}

void TextPiece::Drop() {
    m_deferring = false;
    m_waiting.clear();
    m_waitingBytes = 0;
}

}  // namespace qs
