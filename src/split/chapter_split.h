#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "split/split_modes.h"
#include "text/text.h"

namespace qs {

// One piece of a book cut at its chapter headings: bytes [start, end) of the text, and the
// heading line it begins with (empty for the text before the first heading).
struct ChapterPiece {
    std::size_t start = 0;
    std::size_t end = 0;
    Text heading;
    Text firstTitle;  // of its first line with something in it (FirstLineTitle of its text)
};

struct Line {
    std::size_t start;
    std::string_view text;  // without its line break
};

// The line of an internal or UTF-8 text at pos: up to CR LF, LF or a lone CR. next receives
// the start of the next line.
Line LineAt(std::string_view text, std::size_t pos, std::size_t& next);

using HeadingTest = std::function<bool(std::string_view line)>;

// What the scan saw of the book's chapters, whatever went into one piece: the heading lines
// and the longest stretch from one chapter's start to the next (the text before the first
// chapter counting as one).
struct ChapterStats {
    std::size_t headings = 0;
    std::size_t longestChapter = 0;
};

// Cuts a text at the lines that isHeading accepts. Every piece but the first begins with a
// heading; the text before the first heading is a piece of its own unless it is only blank
// lines (then it goes with the first chapter); a heading followed by nothing but blank
// lines up to the next one (a volume title before its first chapter) keeps that next one
// in its piece; perPiece chapters go into one piece. The pieces cover the text exactly,
// in order. pump (when given) is called now and then during the scan.
std::vector<ChapterPiece> FindChapterPieces(std::string_view text, const HeadingTest& isHeading,
                                            std::int32_t perPiece,
                                            const std::function<void()>& pump = {},
                                            ChapterStats* stats = nullptr);

// A book that does not look cut into chapters: over 100 KB of text with fewer than 3
// headings, or one chapter holding more than half of it (the pattern missed its headings).
bool LooksUncut(std::size_t textBytes, const ChapterStats& stats);

// The first line with something in it, for naming the text before the first chapter.
Text FirstLineTitle(std::string_view text);

// The heading test of the split options: the built-in recogniser, or the custom expression
// (searched in each line) when one is set. False when the expression does not compile.
bool MakeHeadingTest(const Text& expression, HeadingTest& test);

// The chapter mode: pieces start at chapter headings (the heading stays their first line).
// Numbered as the other modes; with 随机改名 named "001 第一章 风起", the number
// zero-padded so that the names list in book order (000 for the text before the first
// chapter, named after its first line).
ModeResult SplitAtChapters(SplitContext& ctx, const Text& path);

}  // namespace qs
