#pragma once

#include "platform/text.h"

namespace qs {

class App;
class Form;

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
// question. A job that asks no question shows its failures, when there are any, in a box
// of their own.
void StartMergeJob(App& app, const Text& folder, const TextList& paths, bool pathsAreFolders,
                   bool quiet);

// Merges one folder's matching files into one output and, with includeSubfolders, walks
// its matching sub-folders depth first, each giving its own output.
void MergeFolder(App& app, const Text& folder, bool useObjectEnumeration);

// Makes StartMergeJob the App's merge entry (the merge button and the merge panel's drops
// call it) and wires 按钮选择文件. The App must outlive its form's handlers, as it does.
void InstallMergeJob(App& app);

}  // namespace qs
