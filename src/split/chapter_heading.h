#pragma once

#include <string_view>

namespace qs {

// Whether a line of internal text (without its line break) is a chapter heading. Leading
// spaces and decorations (= - * 【 〖 [ ［ 「) are passed over, and so is an optional 正文
// or a short lead of at most 8 characters ending in a space (上卷, residue of a web page)
// before a numbered heading. Then the line is
//  - 第 + a number (digits, full-width digits or Chinese numerals) + 章 回 节 话 (節 話),
//    followed by anything but a word that makes it prose (章节, 节课, 回合, 的);
//  - 第 + a number + 卷 部 集 篇, followed by the end of the line, a space or punctuation
//    (第三部分, 第一集团军 are prose);
//  - a number in Chinese numerals + 章 or 回, followed by the end of the line or a space;
//  - one of 序章 序言 序 楔子 引子 前言 尾声 后记 终章 番外, or a number may follow directly;
//  - Chapter or CHAPTER, spaces, a number.
// Spaces are allowed between 第, the number and the unit. A line of more than 50 characters
// is never a heading, nor is a line of more than 15 that reads as a sentence (a ， or one
// of 。！？ in it).
bool IsChapterHeading(std::string_view line);

// The heading line without the spaces around it, for listings and names.
std::string_view HeadingTitle(std::string_view line);

// The heading as a table of contents shows it: without the spaces and the runs of = - *
// around it.
std::string_view HeadingLabel(std::string_view line);

}  // namespace qs
