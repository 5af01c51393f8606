#include "bench/bench_jobs.h"

#ifdef QS_BENCH_QT
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/control_model.h"
#include "gui/qt_ui.h"
#endif

namespace qs::bench {

#ifdef QS_BENCH_QT
namespace {

using AnsweredQtUi = AnsweredUi<QtUi>;

class QtDesktop : public BenchDesktop {
public:
    QtDesktop() : m_application(m_argc, m_argv) {
        // A zero timer fires at every dispatch of pending events.
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    }
    UiServices* Ui() override { return &m_ui; }
    void SetSource(const Text& source) override { m_ui.source = source; }
    double QuestionAt() const override { return m_ui.questionAt; }
    void BeginWatch(Form* form) override {
        m_form = form;
        // The window is up and idle before the job starts, as it is when a user clicks.
        for (int k = 0; k < 3; ++k) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        m_timer.start();
        m_last = SteadySeconds();
        m_start = m_last;
        m_longest = 0;
    }
    double EndWatch() override {
        const double end = m_ui.questionAt > 0 ? m_ui.questionAt : SteadySeconds();
        m_longest = std::max(m_longest, end - m_last);
        m_timer.stop();
        return m_longest;
    }

private:
    void Tick() {
        const double now = SteadySeconds();
        if (m_trace && now - m_last > 0.05) {
            std::fprintf(stderr, "gap %.3f s ending at %.3f s in\n", now - m_last, now - m_start);
            if (m_form != nullptr) {
                std::fprintf(stderr, "  stage %s\n",
                             ToUtf8Lossy(m_form->TextOf(U("按钮分割文件"))).c_str());
            }
        }
        if (m_ui.questionAt < 0) {
            m_longest = std::max(m_longest, now - m_last);
        }
        m_last = now;
    }

    int m_argc = 1;
    char m_name[8] = "qs";
    char* m_argv[2] = {m_name, nullptr};
    QApplication m_application;
    AnsweredQtUi m_ui;
    QTimer m_timer;
    double m_last = 0;
    double m_start = 0;
    Form* m_form = nullptr;
    // QS_BENCH_GAPS set: every gap above 50 ms is reported on stderr.
    const bool m_trace = std::getenv("QS_BENCH_GAPS") != nullptr;
    double m_longest = 0;
};

}  // namespace

std::unique_ptr<BenchDesktop> MakeQtDesktop() {
    return std::make_unique<QtDesktop>();
}
#else
std::unique_ptr<BenchDesktop> MakeQtDesktop() {
    return nullptr;
}
#endif

}  // namespace qs::bench
