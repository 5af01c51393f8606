#include "job/job_files.h"

#include "platform/services.h"

namespace qs {

void JobFiles::Clear() {
    m_paths.clear();
    m_identities.clear();
}

void JobFiles::Add(const Text& path) {
    m_paths.insert(path);
    if (const auto identity = Fs().FileIdentity(path)) {
        m_identities.insert(*identity);
    }
}

bool JobFiles::Holds(const Text& path) const {
    if (m_paths.count(path) != 0) {
        return true;
    }
    const auto identity = Fs().FileIdentity(path);
    return identity && m_identities.count(*identity) != 0;
}

}  // namespace qs
