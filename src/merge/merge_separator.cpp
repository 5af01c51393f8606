#include "merge/merge_separator.h"

#include "platform/services.h"

namespace qs {

Bytes ReadMergeSeparator(const MergeSpec& spec) {
    switch (spec.separatorKind) {
        case MergeSeparatorKind::String:
            return spec.separatorText;
        case MergeSeparatorKind::File:
            if (spec.separatorPath.empty()) {
                return {};
            }
            return Fs().ReadWholeFile(spec.separatorPath).value_or(Bytes());
        case MergeSeparatorKind::None:
            break;
    }
    return {};
}

}  // namespace qs
