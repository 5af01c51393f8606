#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "job/chapter_contents.h"
#include "text/text.h"

namespace qs {

// What a line would be as a heading, whatever the rest of the book says. Lines of one form
// are one family: the book's evidence (numbers running on, text between) decides which
// families are its headings.
struct HeadingShape {
    // The family, e.g. "第章", "第幕", "第卷", "章" (Chinese numerals without 第), "N."
    // "N、" "N " (a number, a separator, a title), "N" (a number alone), "[N]" (a bracketed
    // number), "chapter" "part" (Latin words), "named".
    std::string_view form;
    // 第 + a number + unit, Chinese numerals + 章 回, the named words and Latin words with
    // a space before the number are headings on their own; the bare-number forms only
    // where their numbers run on through the book.
    bool strong = false;
    // 卷 部 篇 集 辑: a volume when chapters follow it, else a chapter itself.
    bool volumeUnit = false;
    HeadingPlace place = HeadingPlace::Numbered;
    std::optional<std::int64_t> number;
    // A volume and a chapter on one line ("第九卷 第二章 标题"): the volume's number.
    std::optional<std::int64_t> volumeNumber;
};

// The shape of a line of internal text (without its line break), or nullopt when it cannot
// be a heading. Leading spaces and decorations (= - * ~ 【 〖 [ ［ 「) are passed over, and so
// is an optional 正文 or a short lead of at most 8 characters ending in a space or a bracket
// (上卷, 《》目录, 【书名】【) before a numbered heading. Then the line is
//  - 第 + a number (digits, full-width digits or Chinese numerals) + 章 回 节 话 幕 (節 話),
//    followed by anything but a word that makes it prose (章节, 节课, 回合, 幕后, 的);
//  - 第 + a number + 卷 部 集 篇 辑, followed by the end of the line, a space, punctuation,
//    the same heading once more (第四十集第四十集) or a chapter (第三部分, 第一集团军 are
//    prose);
//  - a number in Chinese numerals + 章 or 回, followed by the end of the line or a space;
//  - a number and . 、 ： or spaces and a title, a number alone, or a number in brackets
//    (【01】) and a title;
//  - one of 序章 序言 序 楔子 引子 前言 尾声 后记 终章 番外 完本感言 上架感言, or a number may
//    follow directly;
//  - Chapter, Part (any case), a number.
// A line of more than 50 characters is never a heading, nor one of more than 15 with a 。
// in it: that reads as prose. ， ！ ？ are no reason to refuse a short line of the strong
// forms (titles and web residue hold them); the bare-number forms take none after 20
// characters.
std::optional<HeadingShape> ShapeOfLine(std::string_view line);
inline constexpr std::int32_t kMaxHeadingChars = 50;
// The same for a line of chars characters, counted already.
std::optional<HeadingShape> ShapeOfLine(std::string_view line, std::int32_t chars);
// The same into the caller's shape, as every line of a book asks (a shape returned is a
// copy each time): false when the line cannot be a heading, and then shape means nothing.
bool ShapeOfLine(std::string_view line, std::int32_t chars, HeadingShape& shape);

// Whether a line is a heading by its shape alone (a strong shape).
bool IsChapterHeading(std::string_view line);

// The heading line without the spaces around it, for listings and names.
std::string_view HeadingTitle(std::string_view line);
// Whether the line holds nothing but spaces (ASCII, full-width, TABs): its title is empty.
bool IsSpacesOnly(std::string_view line);

// The heading as a table of contents shows it: without the spaces and the runs of = - *
// around it, and once where a line holds it twice.
std::string_view HeadingLabel(std::string_view line);

}  // namespace qs
