#pragma once

#include "text/text.h"

namespace qs {

// The folders a job makes for its outputs, so that a source that gave no output leaves no
// empty folder behind.
class MadeFolders {
public:
    // Notes which folders of the chain up to folder are missing now; call before making it.
    void NoteMissing(const Text& folder);
    // Removes the folders noted, deepest first, as long as they are empty.
    void RemoveEmpty();

private:
    TextList m_missing;  // deepest first
};

}  // namespace qs
