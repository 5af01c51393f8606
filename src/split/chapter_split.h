#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "job/book_contents.h"
#include "job/failure.h"
#include "split/split_modes.h"
#include "text/text.h"

namespace qs {

// One piece of a book cut at its chapter headings: bytes [start, end) of the text, and the
// heading line it begins with (empty for the text before the first heading).
struct ChapterPiece {
    std::size_t start = 0;
    std::size_t end = 0;
    Text heading;
    Text firstTitle;       // of its first line with something in it (FirstLineTitle of its text)
    std::size_t line = 0;  // the number of its first line, counted from 0
};

struct Line {
    std::size_t start;
    std::string_view text;  // without its line break
};

// The line of an internal or UTF-8 text at pos: up to CR LF, LF or a lone CR. next receives
// the start of the next line.
Line LineAt(std::string_view text, std::size_t pos, std::size_t& next);

// What the scan saw of the book's chapters, whatever went into one piece: the headings and
// the longest stretch from one chapter's start to the next (the text before the first
// chapter counting as one), in bytes.
struct ChapterStats {
    std::size_t headings = 0;
    std::size_t longestChapter = 0;
};
ChapterStats StatsOf(const BookContents& book);

// Cuts a book at the headings of its contents. Every piece but the first begins with a
// heading; the text before the first heading is a piece of its own unless it is only blank
// lines (then it goes with the first chapter); a heading followed by nothing but blank
// lines up to the next one (a volume title before its first chapter) keeps that next one
// in its piece; perPiece chapters go into one piece, or with perVolume each volume is one.
// The pieces cover the text exactly, in order.
std::vector<ChapterPiece> PiecesOf(const BookContents& book, std::int32_t perPiece,
                                   bool perVolume = false);

// The pieces of a text held whole, by the same scan.
std::vector<ChapterPiece> FindChapterPieces(std::string_view text, std::int32_t perPiece,
                                            ChapterStats* stats = nullptr,
                                            std::vector<HeadingRule> rules = {});

// A book that does not look cut into chapters: over 100 KB of text with fewer than 3
// headings, or one chapter holding more than half of it (the pattern missed its headings).
bool LooksUncut(std::size_t textBytes, const ChapterStats& stats);

// The first line with something in it, for naming the text before the first chapter.
Text FirstLineTitle(std::string_view text);

// The rules of the chapter options, compiled: the user's list, then the expression; none for
// the built-in forms. nullopt when one does not compile.
std::optional<std::vector<HeadingRule>> RulesOf(const SplitAtChaptersParams& params);

// The chapter mode: pieces start at chapter headings (the heading stays their first line).
// Numbered as the other modes; with 随机改名 named "001 第一章 风起", the number
// zero-padded so that the names list in book order (000 for the text before the first
// chapter, named after its first line).
ModeResult SplitAtChapters(SplitContext& ctx, const Text& path);

}  // namespace qs
