#include "fs/made_folders.h"

#include "fs/paths.h"
#include "platform/services.h"

namespace qs {

void MadeFolders::NoteMissing(const Text& folder) {
    m_missing.clear();
    Text path = folder;
    while (path.size() > 1 && path.back() == kPathSeparator) {
        path.pop_back();
    }
    while (!path.empty() && !Fs().Exists(path)) {
        m_missing.push_back(path);
        path = PathDirectory(path);
    }
}

void MadeFolders::RemoveEmpty() {
    for (const Text& folder : m_missing) {
        if (!Fs().RemoveEmptyFolder(folder)) {
            break;
        }
    }
    m_missing.clear();
}

}  // namespace qs
