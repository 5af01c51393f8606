#include "platform/qt/form_window.h"

#include <QCloseEvent>

namespace qs {

FormWindow::FormWindow(Form& form, QWidget* parent)
    : QWidget(parent), m_form(form), m_view(std::make_unique<FormView>(form, this)) {
    m_retry.setInterval(20);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (FormView::DispatchDepth() == 0) {
            m_retry.stop();
            close();
        }
    });
}

FormWindow::~FormWindow() = default;

void FormWindow::closeEvent(QCloseEvent* event) {
    if (m_inClose) {
        event->ignore();
        return;
    }
    if (FormView::DispatchDepth() > 0) {
        // A job is on the stack below this event; tearing the window down now would pull
        // its controls away from under it.
        event->ignore();
        if (!m_retry.isActive()) {
            m_retry.start();
            if (m_stopJobs) {
                m_stopJobs();
            }
        }
        return;
    }
    m_inClose = true;
    const bool closing = m_form.RequestClose();
    m_inClose = false;
    if (!closing) {
        event->ignore();
        return;
    }
    m_view->StopTimers();
    event->accept();
}

FormDialog::FormDialog(Form& form, QWidget* parent)
    : QDialog(parent), m_form(form), m_view(std::make_unique<FormView>(form, this)) {
    setModal(true);
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
