#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace qs {

// Where a heading without a number belongs in a book: 序章 楔子 引子 前言 before the
// chapters, 尾声 后记 番外 完本感言 after them.
enum class HeadingPlace { Numbered, Front, Back };

// An entry of a book's table of contents: a heading line the book's evidence took.
struct TocEntry {
    Text title;     // the heading as the contents shows it
    int level = 2;  // 1 volume, 2 chapter
    std::optional<std::int64_t> number;
    HeadingPlace place = HeadingPlace::Numbered;
    std::size_t start = 0;     // byte position of the line in the text
    std::size_t line = 0;      // the line's number, counted from 0
    std::int64_t chars = 0;    // characters from the heading to the next one
    bool textFollows = false;  // lines with something in them before the next heading
};

struct ChapterWarning {
    enum class Kind { Missing, Duplicate, Order, Long, Short };
    Kind kind;
    Text at;  // the title of the heading it concerns
    // missing: the numbers; duplicate: the chapter's number; order: the number before and
    // this one; long and short: the chapter's characters and the book's usual.
    std::vector<std::int64_t> numbers;
};

// The name scripts see: "missing", "duplicate", "order", "long", "short".
std::string_view WarningKindName(ChapterWarning::Kind kind);

// A book's chapters as found before anything is written: its contents, what is amiss in
// them and by which form or rule the headings were taken.
struct ChapterContents {
    std::vector<TocEntry> toc;
    std::vector<ChapterWarning> warnings;
    std::string rule;                    // UTF-8, e.g. "第章 + 第卷" or the user's rule name
    std::size_t frontContentsLines = 0;  // of the book's own contents, left in its front matter
};

}  // namespace qs
