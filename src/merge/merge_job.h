#pragma once

#include <functional>

#include "platform/text.h"

namespace qs {

class Form;

// The frame a merge job runs in: the main form and the job state it shares with the split
// job. The App owns all of it; the merge job only keeps references.
struct MergeJobHost {
    Form& form;
    bool& stopRequested;
    Text& statusText;
    Text& outputFolder;
    Text& lastMergeFolder;
    std::function<void()> pump;  // empty: the UI service's pump
};

// The merge settings, each read from its control when it is asked for, so that a change
// made while a job runs takes effect at its next read.
class MergeOptions {
public:
    explicit MergeOptions(const Form& form) : m_form(form) {}
    const Text& fileTypePattern() const;
    bool includeSubfolders() const;
    bool saveInParentFolder() const;
    bool processTextEncoding() const;
    bool deleteSources() const;

private:
    const Form& m_form;
};

// The job entry of the merge button and of drops on the merge panel. A call while a merge
// runs only requests its stop. paths empty and folder empty: a folder is chosen in the
// dialog. pathsAreFolders: every path is merged as a folder on its own. quiet: no completion
// question (failures are then shown in a box of their own).
void StartMergeJob(MergeJobHost& host, const Text& folder, const TextList& paths,
                   bool pathsAreFolders, bool quiet);

// Merges one folder's matching files into one output and, with includeSubfolders, walks
// its matching sub-folders depth first, each giving its own output.
void MergeFolder(MergeJobHost& host, const Text& folder, bool useObjectEnumeration,
                 TextList& failures);

using MergeJobEntry = std::function<void(const Text& folder, const TextList& paths,
                                         bool pathsAreFolders, bool quiet)>;

// Wires 按钮合并文件 (start or stop) and 按钮选择文件 on the main form and returns the entry
// that the drop handler of the merge panel calls. The host must outlive the form's handlers.
MergeJobEntry AttachMergeJob(MergeJobHost& host);

}  // namespace qs
