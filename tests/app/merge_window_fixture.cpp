#include "merge_window_fixture.h"

#include "platform/services.h"

namespace qs::testing {

bool MergeWindowTest::Exists(const Text& relative) const {
    return Fs().Exists(m_temp.File(relative));
}

TextList MergeWindowTest::Failures() {
    TextList lines;
    for (const auto& [kind, path] : run.Failures(JobKind::Merge).Items()) {
        lines.push_back(FailureList::Label(kind) + path);
    }
    return lines;
}

}  // namespace qs::testing
