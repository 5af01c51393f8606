#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "split/piece_writer.h"
#include "split/split_state.h"
#include "text/text.h"

namespace qs {

// A piece of a text mode, made from slices of the decoded text. Up to the context's hold
// size it is held and written whole; a larger piece goes to its file as it grows, converted
// into the output encoding slice by slice, so that its size costs no memory. One named
// after its text is held up to the context's name size, and when larger takes its name from
// that much of its beginning. Slices must end with whole characters.
class TextPiece {
public:
    // The piece number (state.pieceNumber) must be set before the first Append.
    TextPiece(SplitContext& ctx, const Text& source);
    ~TextPiece();
    TextPiece(const TextPiece&) = delete;
    TextPiece& operator=(const TextPiece&) = delete;

    // Inline: a line mode appends twice a line.
    void Append(std::string_view text) {
        m_held.append(text);
        if (m_held.size() >= m_ctx.pieceHoldBytes) {
            Overflow();
        }
    }
    // The CR LF between two lines of a piece.
    void AppendBreak() {
        m_held.push_back('\r');
        m_held.push_back('\n');
        if (m_held.size() >= m_ctx.pieceHoldBytes) {
            Overflow();
        }
    }
    // Names, writes and counts the piece, and makes this an empty one.
    void Finish();

    // From now on finished pieces wait, written but unnamed and unreported, for Release or
    // Drop: until then nothing tells of them.
    void Defer() { m_deferring = true; }
    // How many pieces wait, and the bytes held in memory for them.
    std::size_t Waiting() const { return m_waiting.size(); }
    std::size_t WaitingBytes() const { return m_waitingBytes; }
    // Names, writes and reports the waiting pieces in order; later ones go at once.
    void Release();
    // Forgets the waiting pieces, of which nothing stays; later ones go at once.
    void Drop();

private:
    struct WaitingPiece {
        std::int32_t number = 0;
        Text held;  // a piece not streamed
        Text nameText;
        PieceOutput out = NoOutput();
        std::int64_t written = 0;
        bool streamed = false;
        bool failed = false;
        bool unconverted = false;
    };

    // More is held than a piece holds: it begins to go to its file.
    void Overflow();
    // Writes what is held; before the end of the piece, only whole characters.
    void Spill(bool final);
    // Keeps the beginning of a piece too large to hold whole for its name.
    void KeepNameText();

    SplitContext& m_ctx;
    const Text& m_source;
    Text m_held;
    Text m_nameText;  // in the internal code page
    PieceOutput m_out = NoOutput();
    std::int64_t m_written = 0;
    bool m_streaming = false;
    bool m_failed = false;
    bool m_unconverted = false;
    bool m_deferring = false;
    std::vector<WaitingPiece> m_waiting;
    std::size_t m_waitingBytes = 0;
};

}  // namespace qs
