#pragma once

#include "job/job_events.h"
#include "job/job_report.h"
#include "text/text.h"

namespace qs {

class App;

// What a preview tells, in the window's words: each source with the encoding it is read in,
// its chapters and their warnings when it is split at them, the files that would be written
// with their sizes, and what would fail.
Text PreviewText(const Report& report);

// The events of a split run with nothing written: they only gather its report.
class PreviewEvents : public JobEvents {
public:
    explicit PreviewEvents(Report& report) : m_report(report) {}
    void SourceRead(const Text& path, const TextFormat& format, TextEncoding guessedOver) override;
    void OutputWritten(const OutputRecord& output) override;
    void Failed(const JobFailure& failure) override;
    void BookLooksUncut(const UncutBook& book) override;
    void ContentsFound(const Text& path, const ChapterContents& contents) override;
    void Pump() override;

private:
    Report& m_report;
};

// Splits the files as the window's options stand with nothing written and shows what it
// would do. asking: the window asks whether to go on, answered by "开始分割" (true) or
// "取消"; otherwise it only shows, and the answer is false.
bool PreviewSplit(App& app, const TextList& files, bool asking);
// The preview of 更多选项: the files are chosen first.
void PreviewChosenFiles(App& app);

}  // namespace qs
