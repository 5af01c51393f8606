#include "merge_fixture.h"

#include "platform/services.h"

namespace qs::testing {

MergeTest::MergeTest() {
    ui.onPump = [this] { RunPumpActions(); };
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
