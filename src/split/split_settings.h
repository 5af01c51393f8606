#pragma once

#include <cstdint>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "encoding/text_decoder.h"
#include "encoding/text_slices.h"
#include "platform/text.h"
#include "split/written_pieces.h"

namespace qs {

class Form;

enum class SplitMode {
    None,
    SplitByParts,
    SplitByBytes,
    SplitByLines,
    SplitByChars,
    SplitBySeparator,
    SplitByChapters  // 按字符串 with 按章节标题分割 ticked
};

// The leading integer of an edit text (blanks, an optional sign, digits); 0 when there is
// none; 3.9 gives 3. Values beyond the 32-bit range are clamped.
std::int32_t ParseLeadingInt(std::string_view text);
// The leading decimal number of an edit text as a single-precision value; 0 when none.
float ParseLeadingFloat(std::string_view text);

// The split settings as the split panel holds them. Every accessor reads its control when
// called, so an edit made while a job runs counts from its next read.
class SplitOptions {
public:
    explicit SplitOptions(const Form& form) : m_form(form) {}

    SplitMode Mode() const;
    std::int32_t PartCount() const;
    float ByteSize() const;
    std::int32_t ByteUnitIndex() const;
    // ByteSize() x 1024^ByteUnitIndex(), truncated; clamped to the 64-bit range.
    std::int64_t PieceByteSize() const;
    std::int32_t LineMin() const;
    std::int32_t LineMax() const;
    std::int32_t CharMin() const;
    std::int32_t CharMax() const;
    Text Separator() const;
    bool ChapterHeadings() const;
    // The custom heading expression (ICU, searched in each line); empty: the built-in rule.
    Text ChapterExpression() const;
    // Chapters that go into one piece; at least 1.
    std::int32_t ChaptersPerPiece() const;
    bool IgnoreBlankLines() const;
    bool RandomRename() const;
    bool SubfolderPerSource() const;
    bool DeleteSource() const;
    Text FileTypePattern() const;

private:
    std::int32_t IntOf(std::string_view control) const;
    bool CheckedOf(std::string_view control) const;

    const Form& m_form;
};

enum class SplitFailureKind { Read, Folder, Write, Kept, Convert, Unrecognised };

struct SplitFailure {
    SplitFailureKind kind;
    Text path;
};

// The state of the running split job that belongs to the split engine itself. The shared
// job values (stop flag, status text, output folder) live with the run control and are
// reached through SplitContext.
struct SplitState {
    TextEncoding sourceEncoding = EncodingUndetected;
    bool sourceHadMark = false;  // pieces carry a byte-order mark only when their source did
    // The text mode cuts the source's own UTF-8 bytes, not their decoded text: pieces are
    // UTF-8 already, decoded only for a name or an output encoding.
    bool piecesInUtf8 = false;
    std::int32_t pieceNumber = 0;
    Bytes pieceBytes;
    // The name the mode chose for the current piece (chapters with 随机改名); empty: the
    // writer names it.
    Text pieceName;

    // Bookkeeping of the current source, for the decision to delete it.
    std::int64_t piecesMade = 0;
    std::int64_t piecesFailed = 0;
    bool sourceUnreadable = false;

    // Sources of the running job; no piece may replace one of them.
    std::set<std::pair<std::uint64_t, std::uint64_t>> sourceIdentities;
    std::set<Text> sourcePaths;

    // Every piece the job has written (no other piece may replace one) and the pieces of
    // the current source as written, checked before the source is deleted.
    struct WrittenPiece {
        Text path;
        std::int64_t size = 0;
    };
    WrittenPieces piecesWritten;
    std::vector<WrittenPiece> sourcePieces;
    // Where the search for a free " (k)" name of a base name goes on.
    std::unordered_map<Text, int> nextVariant;
    // The numbered name of the source's pieces, its stem cut to fit once for each width of
    // the number.
    struct NumberedStem {
        Text source;
        std::size_t suffixBytes = 0;
        Text dotExtension;
        bool fits = false;
        Text stem;
    };
    NumberedStem numberedStem;

    // The status line of the last piece waits until the eye could see a change.
    std::int64_t pieceShownAtNs = 0;
    bool pieceShowPending = false;

    std::vector<SplitFailure> failures;
};

// What the split code works on: the main form, the shared job values and the split state.
struct SplitContext {
    Form& form;
    bool& stopRequested;
    Text& statusText;
    Text& outputFolder;
    SplitState state;
    // The text modes read their source this many bytes at a time, and hold a piece up to
    // this size before it goes to its file (tests make both small).
    std::size_t sliceBytes = kTextSliceBytes;
    std::size_t pieceHoldBytes = std::size_t{8} << 20;

    SplitOptions Options() const { return SplitOptions(form); }
};

// Control names of the split panel (internal texts).
namespace split_controls {
const Text& PartsRadio();
const Text& BytesRadio();
const Text& LinesRadio();
const Text& CharsRadio();
const Text& SeparatorRadio();
const Text& PartCountEdit();
const Text& ByteSizeEdit();
const Text& ByteUnitCombo();
const Text& LineMinEdit();
const Text& LineMaxEdit();
const Text& CharMinEdit();
const Text& CharMaxEdit();
const Text& SeparatorButton();
const Text& ChapterCheck();
const Text& ChapterExpressionEdit();
const Text& ChaptersPerPieceEdit();
const Text& IgnoreBlankLinesCheck();
const Text& RandomRenameCheck();
const Text& SubfolderCheck();
const Text& DeleteSourceCheck();
const Text& FileTypeEdit();
const Text& SplitButton();
const Text& ProgressBar();
const Text& StatusLabel();
}  // namespace split_controls

}  // namespace qs
