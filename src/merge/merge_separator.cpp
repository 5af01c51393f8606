#include "merge/merge_separator.h"

#include "platform/services.h"

namespace qs {

std::optional<Bytes> ReadMergeSeparator(const MergeParams& params) {
    switch (params.separatorKind) {
        case MergeSeparatorKind::String:
            return params.separatorText;
        case MergeSeparatorKind::File:
            if (params.separatorPath.empty()) {
                return Bytes();
            }
            return Fs().ReadWholeFile(params.separatorPath);
        case MergeSeparatorKind::None:
            break;
    }
    return Bytes();
}

}  // namespace qs
