#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "encoding/output_text.h"
#include "text/text.h"

namespace qs {

// The five ways of cutting a source, and chapters (按字符串 with 按章节标题分割).
struct SplitIntoPartsParams {
    std::int32_t count = 100;
};
struct SplitBySizeParams {
    float size = 0;         // in units of unit
    std::int32_t unit = 0;  // 0 B, 1 KB, 2 MB, 3 GB; out of range counts as the nearest
    // size x 1024^unit, truncated; clamped to the 64-bit range.
    std::int64_t PieceBytes() const;
};
struct SplitByLinesParams {
    std::int32_t min = 0, max = 0;
    // Every line keeps its own break (LF, CR LF, CR or none at the end) instead of the
    // pieces' CR LF: the pieces are the source's bytes, and joined they are the source.
    bool keepBreaks = false;
};
struct SplitByCharsParams {
    std::int32_t min = 0, max = 0;
};
struct SplitAtSeparatorParams {
    Text separator;
};
// A heading rule of the user's rule list.
struct ChapterRuleParams {
    std::string name;  // UTF-8
    Text expression;   // ICU, searched in each line
};
struct SplitAtChaptersParams {
    Text expression;  // ICU, searched in each line; empty: the built-in heading rule
    std::int32_t perPiece = 1;
    bool epub = false;  // one EPUB book per source instead of text pieces
    // The user's rules, in the order they are tried; the one that fits the book best is used
    // (the expression, when given, is one more).
    std::vector<ChapterRuleParams> rules;
    bool perVolume = false;  // one piece (or book) per volume instead of perPiece chapters
};
using SplitModeParams =
    std::variant<std::monostate, SplitIntoPartsParams, SplitBySizeParams, SplitByLinesParams,
                 SplitByCharsParams, SplitAtSeparatorParams, SplitAtChaptersParams>;

// Everything a split is asked to do, as one value.
struct SplitParams {
    SplitModeParams mode = SplitIntoPartsParams{};
    bool nameFromText = false;  // 随机改名
    bool subfolder = true;      // the pieces in a folder named after their source
    bool deleteSources = false;
    bool skipBlankLines = false;
    Text pattern = "*.*";  // the files of a folder to split
    OutputRequest output;  // output encoding and 繁简
    std::optional<std::uint64_t> seed;
    bool manifest = false;
};

// The value among the parameters that a problem concerns.
enum class SplitField {
    PartCount,
    ByteSize,
    LineMin,
    CharMin,
    Separator,
    ChapterExpression,
    OutputEncoding,  // an output encoding for a book, which is always UTF-8
    Manifest,        // a manifest for a book, which is no piece to rejoin
};

struct ParamsProblem {
    SplitField field;
    Text message;  // the window's message, exactly
};

// The first problem that keeps the mode from running; nullopt when it can run.
std::optional<ParamsProblem> Validate(const SplitParams& params);

// The leading integer of an edit text (blanks, an optional sign, digits); 0 when there is
// none; 3.9 gives 3. Values beyond the 32-bit range are clamped.
std::int32_t ParseLeadingInt(std::string_view text);
// The leading decimal number of an edit text as a single-precision value; 0 when none.
float ParseLeadingFloat(std::string_view text);

}  // namespace qs
