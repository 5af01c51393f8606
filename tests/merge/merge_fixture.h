#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "app/control_model.h"
#include "merge/merge_job.h"
#include "platform/services.h"
#include "support/temp_folder.h"

namespace qs::testing {

// Answers dialogs and questions from queues, records what was asked, and runs the action
// queued for the k-th pump.
class MergeScriptedUi : public UiServices {
public:
    std::deque<int> answers;
    std::vector<MessageRequest> messages;
    Text folderAnswer;
    Text fileAnswer;
    std::vector<Text> fileDialogInitial;
    Text clipboard;
    bool ctrl = false;
    std::vector<Text> opened;
    int pumps = 0;
    std::map<int, std::function<void()>> atPump;

    int ShowMessage(const MessageRequest& request) override;
    Text OpenFilesDialog(const Text&, const Text&, const Text&) override { return {}; }
    Text OpenFileDialog(const Text& title, const Text& filter, const Text& initial) override;
    Text ChooseFolder(const Text& initialFolder, const Text& title) override;
    Text ClipboardText() override { return clipboard; }
    void ProcessPendingEvents() override;
    bool IsCtrlDown() override { return ctrl; }
    bool OpenFolder(const Text& folder) override;
    bool OpenUrl(const Text&) override { return true; }
    void RunModal(Form&) override {}
    int ScreenWidth() override { return 1024; }
    int ScreenHeight() override { return 768; }

    std::vector<Text> chooseFolderInitial;
};

// The merge panel, progress bar and status label of the main form, with their first-start
// states.
std::unique_ptr<Form> MakeMergeForm();

class MergeTest : public ::testing::Test {
protected:
    MergeTest();

    // Writes a file under the temporary folder, creating its folders.
    Text Put(const Text& relative, std::string_view bytes);
    Text Folder(const Text& relative);
    std::string Read(const Text& relative) const { return m_temp.Read(relative); }
    bool Exists(const Text& relative) const;
    void Check(std::string_view control, bool checked) { form->SetChecked(U(control), checked); }
    void Start(const TextList& paths, bool folders = false, bool quiet = false) {
        StartMergeJob(host, Text(), paths, folders, quiet);
    }

    TempFolder m_temp;
    MergeScriptedUi ui;
    ServicesOverride m_override;
    std::unique_ptr<Form> form;
    bool stopRequested = false;
    Text statusText, outputFolder, lastMergeFolder;
    MergeJobHost host;
};

}  // namespace qs::testing
