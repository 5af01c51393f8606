#include "split/text_piece.h"

#include "encoding/charset_converter.h"
#include "platform/services.h"
#include "split/piece_writer.h"

namespace qs {

TextPiece::TextPiece(SplitContext& ctx, const Text& source) : m_ctx(ctx), m_source(source) {}

TextPiece::~TextPiece() = default;

void TextPiece::Append(std::string_view text) {
    m_held.append(text);
    if (m_held.size() < m_ctx.pieceHoldBytes) {
        return;
    }
    if (!m_streaming) {
        // A piece named after its text is held whole: the name needs all of it.
        if (m_ctx.Options().RandomRename()) {
            return;
        }
        m_path = NumberedPiecePath(m_ctx, m_source);
        m_out = Fs().CreateAtomic(m_path);
        m_failed = !m_out;
        m_streaming = true;
    }
    Spill();
}

void TextPiece::Spill() {
    const TextEncoding encoding = m_ctx.state.sourceEncoding;
    const std::string_view charset = CharsetName(encoding);
    if (!m_failed && !m_held.empty()) {
        if (charset.empty()) {
            m_failed = !m_out->Write(m_held);
        } else {
            // A piece held whole would go out unconverted when it cannot be converted; one
            // that is half written already cannot, and fails instead.
            const std::optional<Bytes> converted =
                Conv().Convert(m_held, InternalCharset(), charset);
            m_failed = !converted || converted->empty();
            if (!m_failed && m_first && m_ctx.state.sourceHadMark) {
                m_failed = !m_out->Write(ByteOrderMark(encoding));
            }
            m_failed = m_failed || !m_out->Write(*converted);
        }
        m_first = false;
    }
    m_held.clear();
}

void TextPiece::Finish() {
    if (m_streaming) {
        Spill();
        const bool written = !m_failed && m_out->Commit();
        m_out.reset();
        CountPiece(m_ctx, written, m_path);
    } else {
        m_ctx.state.pieceBytes.swap(m_held);
        WritePiece(m_ctx, m_source);
        m_ctx.state.pieceBytes.clear();
    }
    m_held.clear();
    m_streaming = false;
    m_failed = false;
    m_first = true;
}

}  // namespace qs
