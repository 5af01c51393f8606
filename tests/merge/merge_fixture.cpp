#include "merge_fixture.h"

#include "fs/paths.h"

namespace qs::testing {

MergeTest::MergeTest() {
    ui.onPump = [this] { RunPumpActions(); };
}

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

void MergeTest::AtPump(int k, std::function<void()> action) {
    m_atPump[ui.pumps + k] = std::move(action);
}

void MergeTest::RunPumpActions() {
    if (const auto at = m_atPump.find(ui.pumps); at != m_atPump.end()) {
        const auto action = std::move(at->second);
        m_atPump.erase(at);
        action();
    }
}

}  // namespace qs::testing
