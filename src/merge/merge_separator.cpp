#include "merge/merge_separator.h"

#include "platform/services.h"
#include "platform/system_error.h"

namespace qs {

Result<Bytes> ReadMergeSeparator(const MergeParams& params) {
    switch (params.separatorKind) {
        case MergeSeparatorKind::String:
            return params.separatorText;
        case MergeSeparatorKind::File:
            if (params.separatorPath.empty()) {
                return Bytes();
            }
            if (std::optional<Bytes> bytes = Fs().ReadWholeFile(params.separatorPath)) {
                return std::move(*bytes);
            }
            return Error{FailureKind::Unreadable, params.separatorPath, LastSystemError()};
        case MergeSeparatorKind::None:
            break;
    }
    return Bytes();
}

}  // namespace qs
