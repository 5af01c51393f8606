#pragma once

#include <gtest/gtest.h>

#include "app/run_control.h"
#include "app/window_jobs.h"
#include "merge/merge_job.h"
#include "support/headless_app.h"
#include "support/temp_folder.h"

namespace qs::testing {

// A fresh headless program with the merge job installed, and a temporary folder for the
// files to merge.
class MergeWindowTest : public ::testing::Test {
protected:
    MergeWindowTest() { InstallMergeJob(h.app); }

    // Writes a file under the temporary folder, creating its folders.
    Text Put(const Text& relative, std::string_view bytes) { return m_temp.Put(relative, bytes); }
    Text Folder(const Text& relative) { return m_temp.Folder(relative); }
    std::string Read(const Text& relative) const { return m_temp.Read(relative); }
    bool Exists(const Text& relative) const;
    void Check(std::string_view control, bool checked) { form->SetChecked(U(control), checked); }
    // The merge job's failures as the question lists them.
    TextList Failures();
    void Start(const TextList& paths, bool folders = false, bool quiet = false) {
        h.app.StartMergeJob(Text(), paths, folders, quiet);
    }

    HeadlessApp h;
    TempFolder m_temp;
    ScriptedUi& ui = h.ui;
    RunControl& run = h.app.run;
    Form* form = &h.form();
};

}  // namespace qs::testing
