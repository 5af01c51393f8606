#include "merge_window_fixture.h"

#include "fs/paths.h"

namespace qs::testing {

Text MergeWindowTest::Put(const Text& relative, std::string_view bytes) {
    const Text path = m_temp.File(relative);
    EnsureDirectoryChain(path);
    m_temp.Write(relative, bytes);
    return path;
}

Text MergeWindowTest::Folder(const Text& relative) {
    const Text path = m_temp.File(relative);
    EnsureDirectoryChain(path + "/");
    return path;
}

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
