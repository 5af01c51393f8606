#include "job/chapter_contents.h"

namespace qs {

std::string_view WarningKindName(ChapterWarning::Kind kind) {
    switch (kind) {
        case ChapterWarning::Kind::Missing:
            return "missing";
        case ChapterWarning::Kind::Duplicate:
            return "duplicate";
        case ChapterWarning::Kind::Order:
            return "order";
        case ChapterWarning::Kind::Long:
            return "long";
        case ChapterWarning::Kind::Short:
            return "short";
    }
    return "";
}

}  // namespace qs
