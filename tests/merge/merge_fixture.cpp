#include "merge_fixture.h"

#include "fs/paths.h"

namespace qs::testing {

Text MergeTest::Put(const Text& relative, std::string_view bytes) {
    const Text path = m_temp.File(relative);
    EnsureDirectoryChain(path);
    m_temp.Write(relative, bytes);
    return path;
}

Text MergeTest::Folder(const Text& relative) {
    const Text path = m_temp.File(relative);
    EnsureDirectoryChain(path + "/");
    return path;
}

bool MergeTest::Exists(const Text& relative) const {
    return Fs().Exists(m_temp.File(relative));
}

TextList MergeTest::Failures() {
    TextList lines;
    for (const auto& [kind, path] : run.Failures(JobKind::Merge).Items()) {
        lines.push_back(FailureList::Label(kind) + path);
    }
    return lines;
}

}  // namespace qs::testing
