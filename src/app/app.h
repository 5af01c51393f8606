#pragma once

#include <functional>
#include <memory>

#include "app/control_model.h"
#include "app/drag_drop.h"
#include "app/more_options.h"
#include "app/run_control.h"
#include "app/startup.h"
#include "platform/file_system.h"

namespace qs {

// The process-wide objects of the program: the main window model, the job state, the drop
// lists, the lifecycle and the two job entries. The jobs live in libraries above this one,
// so whoever builds the program (main, a test) fills the entries in.
class App {
public:
    using SplitEntry = std::function<void(const Text& folder, const TextList& paths)>;
    using MergeEntry = std::function<void(const Text& folder, const TextList& paths,
                                          bool listHoldsFolders, bool suppressQuestion)>;

    // Builds and wires the main window and becomes the current App (the previous one comes
    // back when this one goes).
    App();
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Form& MainForm() { return *m_form; }
    // The options of 更多选项: a form of their own, saved in a section of its own.
    Form& MoreForm() { return *m_more; }

    // Calls an entry when it is filled in; a missing entry does nothing.
    void StartSplitJob(const Text& folder, const TextList& paths);
    void StartMergeJob(const Text& folder, const TextList& paths, bool listHoldsFolders,
                       bool suppressQuestion);

    SplitEntry startSplitJob;
    MergeEntry startMergeJob;
    // Filled in by the program, which has the command line's parts: a rule-list file read,
    // a file system that writes nothing (for previews), verify of a chosen manifest.
    RuleReader readChapterRules;
    std::function<std::unique_ptr<FileSystem>(FileSystem& inner)> dryRunFileSystem;
    std::function<void()> verifyManifest;
    Lifecycle lifecycle;
    DropLists drops;

private:
    std::unique_ptr<Form> m_form;
    std::unique_ptr<Form> m_more;
    App* m_previous = nullptr;

public:
    RunControl run;  // after m_form, which it refers to
};

// The App in use; null when none exists.
App* CurrentApp();

}  // namespace qs
