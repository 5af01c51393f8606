#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/control_model.h"
#include "gui/form_view.h"

namespace qs {

// The program's top-level window on a form. Closing asks the form (its close check and
// about-to-close handlers). The form may put the close off, e.g. until a running job has
// stopped, and it may close while a handler is still on the stack; the window itself goes
// only once the form is closed and no handler is running any more.
class FormWindow : public QWidget {
    Q_OBJECT

public:
    explicit FormWindow(Form& form, QWidget* parent = nullptr);
    ~FormWindow() override;

    FormView& View() { return *m_view; }
    // True while a close waits for the form or for running handlers.
    bool ClosePending() const { return m_watch.isActive(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Form& m_form;
    std::unique_ptr<FormView> m_view;
    QTimer m_watch;
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
