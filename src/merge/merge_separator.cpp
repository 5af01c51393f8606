#include "merge/merge_separator.h"

#include "platform/services.h"

namespace qs {

std::optional<Bytes> ReadMergeSeparator(const MergeSpec& spec) {
    switch (spec.separatorKind) {
        case MergeSeparatorKind::String:
            return spec.separatorText;
        case MergeSeparatorKind::File:
            if (spec.separatorPath.empty()) {
                return Bytes();
            }
            return Fs().ReadWholeFile(spec.separatorPath);
        case MergeSeparatorKind::None:
            break;
    }
    return Bytes();
}

}  // namespace qs
