#include "app/app.h"

#include "app/main_window.h"

namespace qs {
namespace {
App* g_current = nullptr;
}  // namespace

App* CurrentApp() {
    return g_current;
}

App::App() : m_form(BuildMainWindow()), m_more(BuildMoreOptions()), run(*m_form) {
    m_previous = g_current;
    g_current = this;

    Form& form = *m_form;
    WireMainWindow(form);
    WireMoreOptions(*this);
    form.On(U(names::MoreLink), ControlEvent::Clicked, [this] { ShowMoreOptions(*this); });
    form.On(U(names::SplitButton), ControlEvent::Clicked,
            [this] { StartSplitJob(Text(), TextList()); });
    form.On(U(names::MergeButton), ControlEvent::Clicked,
            [this] { StartMergeJob(Text(), TextList(), false, false); });
    form.On(Text(), ControlEvent::Created, [this, &form] {
        lifecycle.Run(LifecyclePoint::CreatedBeforeRules);
        ApplySplitModeRules(form);
        ApplySeparatorRules(form);
        EmbedStatusLabel(form);
        lifecycle.Run(LifecyclePoint::CreatedAfterStatusLine);
        run.ShowIdleNote(MoreOptionsNote(*m_more));
    });
    form.On(Text(), ControlEvent::AboutToClose,
            [this] { lifecycle.Run(LifecyclePoint::AboutToClose); });
    // Closing while a job runs: stop it first; its end protocol finishes the close.
    form.SetCloseCheck([this] {
        if (!run.AnyBusy()) {
            return true;
        }
        run.RequestStop();
        run.SetClosePending();
        return false;
    });
    lifecycle.Attach(LifecyclePoint::CreatedAfterStatusLine,
                     [this] { RegisterDropTargets(*this); });
}

App::~App() {
    if (g_current == this) {
        g_current = m_previous;
    }
}

void App::StartSplitJob(const Text& folder, const TextList& paths) {
    if (startSplitJob) {
        startSplitJob(folder, paths);
    }
}

void App::StartMergeJob(const Text& folder, const TextList& paths, bool listHoldsFolders,
                        bool suppressQuestion) {
    if (startMergeJob) {
        startMergeJob(folder, paths, listHoldsFolders, suppressQuestion);
    }
}

}  // namespace qs
