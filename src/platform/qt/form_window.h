#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/control_model.h"
#include "platform/qt/form_view.h"

namespace qs {

// The program's top-level window on a form. Closing asks the form (its close check and
// about-to-close handlers); while a job is running inside an event handler the close waits:
// the job is asked to stop, and the window closes once the job has returned.
class FormWindow : public QWidget {
    Q_OBJECT

public:
    explicit FormWindow(Form& form, QWidget* parent = nullptr);
    ~FormWindow() override;

    FormView& View() { return *m_view; }
    // Called when the window is closed while a job runs; it should make the job stop.
    void SetStopJobs(std::function<void()> stop) { m_stopJobs = std::move(stop); }
    bool ClosePending() const { return m_retry.isActive(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Form& m_form;
    std::unique_ptr<FormView> m_view;
    std::function<void()> m_stopJobs;
    QTimer m_retry;
    bool m_inClose = false;
};

// A modal window on a form: it ends when the form closes, and the close box goes through
// the form's close check.
class FormDialog : public QDialog {
    Q_OBJECT

public:
    explicit FormDialog(Form& form, QWidget* parent = nullptr);
    ~FormDialog() override;

    FormView& View() { return *m_view; }

public slots:
    void reject() override;

private:
    void EndIfClosed();

    Form& m_form;
    std::unique_ptr<FormView> m_view;
    bool m_inClose = false;
};

}  // namespace qs
