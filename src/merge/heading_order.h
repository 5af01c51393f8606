#pragma once

#include <functional>

#include "encoding/text_format.h"
#include "job/chapter_contents.h"
#include "text/text.h"

namespace qs {

// The members of a merge unit in the order of the headings they begin with, whatever
// their names: the front matter (a member that begins with no heading, or with the book's
// own contents), then 序章 楔子 and the like, the chapters by volume and number, and 尾声
// 番外 后记 last; members that tie keep their order. A member's volume is the one it names
// (a volume heading before its chapter, or both on one line); one without is placed by its
// number among the chapters of the volumes the others name, or, where the numbers start
// again in each volume, belongs to the volume of the member before it.
struct HeadingOrder {
    TextList members;
    // The book the members make in that order, as a split at chapters would find it.
    ChapterContents contents;
};
// readAs: every member is read in it (Undetected: detected).
HeadingOrder OrderByHeadings(const TextList& paths, const std::function<void()>& pump,
                             TextEncoding readAs = TextEncoding::Undetected);

}  // namespace qs
