#include "fs/older_files.h"

#include <functional>
#include <string_view>

#include "fs/paths.h"
#include "platform/services.h"

namespace qs {
namespace {

std::uint64_t NameHash(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

}  // namespace

void OlderFiles::Claimed(const FolderLock* claim) {
    m_claim = claim;
    m_listed = false;
    m_names.clear();
}

bool OlderFiles::Holds(const Text& path) {
    if (m_claim != nullptr && m_claim->Contested()) {
        return false;
    }
    const Text folder = PathDirectory(path);
    if (!m_listed || folder != m_folder) {
        m_folder = folder;
        m_listed = true;
        m_names.clear();
        // The names the job wrote itself are listed too: those it never replaces anyway.
        if (const auto entries = Fs().List(folder.empty() ? Text(1, kPathSeparator) : folder)) {
            for (const DirEntry& entry : *entries) {
                m_names.insert(NameHash(entry.name));
            }
        }
    }
    return m_names.count(NameHash(PathFileName(path))) != 0;
}

}  // namespace qs
