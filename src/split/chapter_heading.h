#pragma once

#include <string_view>

namespace qs {

// Whether a line of internal text (without its line break) is a chapter heading. Leading
// spaces (ASCII, TAB, full-width) and an optional 正文 are passed over; then the line is
//  - 第 + a number (digits, full-width digits or Chinese numerals) + one of 章回节卷集部篇,
//    spaces allowed between them;
//  - one of 序章 序言 序 楔子 引子 前言 尾声 后记 终章 番外, or a number may follow directly;
//  - Chapter or CHAPTER, spaces, a number;
// each followed by the end of the line, a space or punctuation, and then anything (the
// title). A line of more than 50 characters is never a heading.
bool IsChapterHeading(std::string_view line);

// The heading line without the spaces around it, for listings and names.
std::string_view HeadingTitle(std::string_view line);

}  // namespace qs
