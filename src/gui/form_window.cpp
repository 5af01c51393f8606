#include "gui/form_window.h"

#include <QCloseEvent>

#include "gui/tooltips.h"

namespace qs {

FormWindow::FormWindow(Form& form, QWidget* parent)
    : QWidget(parent), m_form(form), m_view(std::make_unique<FormView>(form, this)) {
    // One fixed layout: a maximised window would only leave it in an empty expanse.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_view->SetFixedSize(true);
    ApplyToolTips(*m_view);
    m_watch.setInterval(20);
    connect(&m_watch, &QTimer::timeout, this, [this] {
        if (FormView::DispatchDepth() > 0) {
            return;
        }
        m_watch.stop();
        // Still open once every handler has returned: the form refused the close.
        if (!m_form.IsOpen()) {
            close();
        }
    });
}

FormWindow::~FormWindow() = default;

void FormWindow::closeEvent(QCloseEvent* event) {
    if (m_form.IsOpen()) {
        if (m_inClose) {
            event->ignore();
            return;
        }
        m_inClose = true;
        const bool closed = m_form.RequestClose();
        m_inClose = false;
        if (!closed) {
            // The form may finish the close later (a job stopping first): watch for it.
            event->ignore();
            m_watch.start();
            return;
        }
    }
    if (FormView::DispatchDepth() > 0) {
        // A job is on the stack below this event; the widgets must stay until it returns.
        event->ignore();
        m_watch.start();
        return;
    }
    m_watch.stop();
    m_view->StopTimers();
    event->accept();
}

FormDialog::FormDialog(Form& form, QWidget* parent)
    : QDialog(parent), m_form(form), m_view(std::make_unique<FormView>(form, this)) {
    setModal(true);
    ApplyToolTips(*m_view);
    m_view->SetAfterDispatch([this] { EndIfClosed(); });
}

FormDialog::~FormDialog() = default;

void FormDialog::EndIfClosed() {
    if (!m_form.IsOpen() && isVisible()) {
        m_view->StopTimers();
        done(QDialog::Rejected);
    }
}

void FormDialog::reject() {
    if (m_inClose) {
        return;
    }
    if (m_form.IsOpen()) {
        m_inClose = true;
        const bool closing = m_form.RequestClose();
        m_inClose = false;
        if (!closing) {
            return;
        }
    }
    m_view->StopTimers();
    QDialog::reject();
}

}  // namespace qs
