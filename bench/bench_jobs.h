#pragma once

#include <chrono>
#include <memory>

#include "app/app.h"
#include "platform/ui_services.h"
#include "text/text.h"

namespace qs::bench {

// Seconds on the steady clock.
inline double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A desktop whose dialogs answer as a benchmark run needs: the file dialog offers the
// source, the completion question is answered No and its time is noted.
template <class Desktop>
class AnsweredUi : public Desktop {
public:
    Text source;
    double questionAt = -1;

    MessageResult ShowMessage(const MessageRequest& request) override {
        if (questionAt < 0) {
            questionAt = SteadySeconds();
        }
        return request.buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Ok;
    }
    TextList OpenFilesDialog(const Text&, const Text&, const Text&) override { return {source}; }
    Text OpenFileDialog(const Text&, const Text&, const Text&) override { return {}; }
    Text ChooseFolder(const Text&, const Text&) override { return {}; }
};

// The two jobs attached to the App the way the program attaches them.
class JobWiring {
public:
    explicit JobWiring(App& app);
    ~JobWiring();
    JobWiring(const JobWiring&) = delete;
    JobWiring& operator=(const JobWiring&) = delete;

    // The split button with the source offered by the file dialog.
    void StartSplit();
    // A drop of these files on the merge panel, with the completion question.
    void StartMerge(const TextList& paths);

private:
    App& m_app;
};

// The real Qt desktop (offscreen) with answered dialogs, watching how often the window gets
// to dispatch its events while a job runs.
class BenchDesktop {
public:
    virtual ~BenchDesktop() = default;
    virtual UiServices* Ui() = 0;
    virtual void SetSource(const Text& source) = 0;
    // When the completion question came; negative before it.
    virtual double QuestionAt() const = 0;
    virtual void BeginWatch(Form* form) = 0;
    // The longest time in seconds without a dispatch since BeginWatch.
    virtual double EndWatch() = 0;
};

// Null when the program is built without Qt.
std::unique_ptr<BenchDesktop> MakeQtDesktop();

}  // namespace qs::bench
