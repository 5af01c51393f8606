#include <gtest/gtest.h>

#include "app/app.h"
#include "app/job_progress.h"
#include "app/kept_reports.h"
#include "app/more_options.h"
#include "app/preview.h"
#include "app/window_jobs.h"
#include "platform/services.h"
#include "settings/control_state.h"
#include "support/headless_app.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

namespace mn = more_names;

// Each option of 更多选项 as the command line would be told it, and what the status line says.
TEST(MoreOptionsTest, EachOptionReachesTheJobAndTheStatusLine) {
    struct Row {
        const char* name;
        std::function<void(Form&)> set;
        std::function<void(const SplitParams&, const MergeParams&)> check;
        const char* note;
    };
    const Row rows[] = {
        {"defaults", [](Form&) {},
         [](const SplitParams& s, const MergeParams& m) {
             EXPECT_TRUE(s.output.Empty());
             EXPECT_FALSE(s.manifest);
             EXPECT_TRUE(std::holds_alternative<SplitIntoPartsParams>(s.mode));
             EXPECT_FALSE(m.processTextEncoding);
         },
         ""},
        {"output encoding", [](Form& f) { f.SetSelectedIndex(U(mn::OutputEncoding), 1); },
         [](const SplitParams& s, const MergeParams& m) {
             ASSERT_TRUE(s.output.encoding);
             EXPECT_EQ(s.output.encoding->encoding, TextEncoding::Utf8);
             EXPECT_TRUE(m.processTextEncoding);  // another encoding needs the text
         },
         "更多选项：输出 UTF-8"},
        {"繁简", [](Form& f) { f.SetSelectedIndex(U(mn::Zh), 1); },
         [](const SplitParams& s, const MergeParams& m) {
             EXPECT_EQ(s.output.zh, ZhConversion::T2S);
             EXPECT_EQ(m.output.zh, ZhConversion::T2S);
         },
         "更多选项：繁体转简体"},
        {"manifest and folder",
         [](Form& f) {
             f.SetChecked(U(mn::Manifest), true);
             f.SetText(U(mn::OutputFolder), "/tmp/out");
         },
         [](const SplitParams& s, const MergeParams&) { EXPECT_TRUE(s.manifest); },
         "更多选项：输出到 /tmp/out，生成校验清单"},
        {"chapters",
         [](Form& f) {
             f.SetChecked(U(mn::Chapters), true);
             f.SetText(U(mn::PerPiece), "0");
             f.SetChecked(U(mn::Epub), true);
             f.SetText(U(mn::ChapterRule), "^第");
         },
         [](const SplitParams& s, const MergeParams&) {
             ASSERT_TRUE(std::holds_alternative<SplitAtChaptersParams>(s.mode));
             const auto& c = std::get<SplitAtChaptersParams>(s.mode);
             EXPECT_EQ(c.perPiece, 1);  // at least one chapter a piece
             EXPECT_TRUE(c.epub);
             EXPECT_EQ(c.expression, "^第");
         },
         "更多选项：按章节标题分割（EPUB，代替面板上的分割方式）"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HeadlessApp h;
        Form& more = h.app.MoreForm();
        row.set(more);
        WindowSplitRequest split(h.form(), &more);
        WindowMergeRequest merge(h.form(), &more);
        row.check(split.Read().params, merge.Read().params);
        EXPECT_EQ(ToUtf8Lossy(MoreOptionsNote(more)), row.note);
    }
}

TEST(MoreOptionsTest, StatesKeepToASectionOfTheirOwnAndTheChapterOptionsFollowTheirTick) {
    HeadlessApp h;
    Form& more = h.app.MoreForm();
    EXPECT_TRUE(more.Get(U(mn::Epub)).disabled);
    more.SetSelectedIndex(U(mn::SourceEncoding), 4);
    more.SetChecked(U(mn::Chapters), true);
    more.Fire(U(mn::Chapters), ControlEvent::Clicked);
    EXPECT_FALSE(more.Get(U(mn::Epub)).disabled);
    EXPECT_EQ(SourceEncodingOf(more), TextEncoding::Big5);

    SettingsStore store;
    ASSERT_TRUE(store.OpenFile(h.temp.File("s.ini"), h.temp.Path()));
    SaveControlStates(store, h.form(), U("主界面"), {});
    SaveControlStates(store, more, U("更多选项"), {});
    HeadlessApp fresh;
    RestoreControlStates(store, fresh.app.MoreForm(), U("更多选项"), {});
    EXPECT_EQ(SourceEncodingOf(fresh.app.MoreForm()), TextEncoding::Big5);
    EXPECT_TRUE(SplitsAtChapters(fresh.app.MoreForm()));
    const std::string ini = h.temp.Read("s.ini");
    EXPECT_NE(ini.find(U("[更多选项]")), std::string::npos);
    EXPECT_EQ(ini.find(U("按钮关闭")), std::string::npos);  // buttons and labels hold nothing
}

// The bar's measure over a job's events: it never goes back and is whole once done.
TEST(JobProgressTest, RunsByTheBytesNeverBackAndEndsWhole) {
    JobProgress p;
    p.Begin({{"a", 300}, {"b", 100}}, 1);
    p.FilesStarting(2);
    double last = 0;
    const struct {
        int i;
        const char* path;
        double read, expected;
    } steps[] = {{1, "a", 0, 0},
                 {1, "a", 0.5, 0.375},
                 {1, "a", 0.2, 0.375},
                 {2, "b", 0, 0.75},
                 {2, "b", 1, 1}};
    int at = 0;
    for (const auto& s : steps) {
        if (s.i != at) {
            p.SourceStarted(s.i, s.path);
            at = s.i;
        }
        p.SourceReadTo(static_cast<std::int64_t>(s.read * 1000), 1000);
        const double f = p.Fraction();
        EXPECT_DOUBLE_EQ(f, s.expected) << s.path << " " << s.read;
        EXPECT_GE(f, last);
        last = f;
    }
    // Without sizes (folders listed as they go) the loops share the bar.
    p.Begin({}, 0);
    p.FilesStarting(4);
    p.SourceStarted(2, "x");
    EXPECT_DOUBLE_EQ(p.Fraction(0), 0.125);
    p.Done();
    EXPECT_EQ(p.Fraction(0), 1);
}

// A damaged source (no encoding reads it whole) is told as a source left as it is.
TEST(PreviewTextTest, ADamagedSourceIsToldAsASourceLeftAsItIs) {
    Report report;
    report.failures = {FromJob(FailureKind::Unrecognised, U("/a/坏.txt")),
                       FromJob(FailureKind::NotWritten, U("/a/好_2.txt"))};
    const std::string text = ToUtf8Lossy(PreviewText(report));
    EXPECT_NE(text.find("/a/坏.txt　已损坏或不是文本"), std::string::npos) << text;
    EXPECT_NE(text.find("以下 1 项将会失败：\r\n无法写入：/a/好_2.txt"), std::string::npos) << text;
    EXPECT_EQ(text.find("无法识别编码："), std::string::npos) << text;
}

TEST(KeptReportsTest, TheNewestFiftyAndLastAreKept) {
    TempFolder temp;
    EXPECT_EQ(ToUtf8Lossy(ReportsFolder("/s/", "/h")), "/s/qirnsplit/reports");
    EXPECT_EQ(ToUtf8Lossy(ReportsFolder("relative", "/h")), "/h/.local/state/qirnsplit/reports");
    EXPECT_TRUE(ReportsFolder("", "").empty());
    const Text folder = temp.File("r");
    for (int i = 0; i < 52; ++i) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "20261210T1200%02d.000", i);
        EXPECT_FALSE(KeepReport(folder, "{\"n\":" + std::to_string(i) + "}", stamp).empty());
    }
    EXPECT_EQ(KeepReport(folder, "{}", "20261210T120051.000"),
              folder + "/20261210T120051.000-2.json");
    const auto entries = Fs().List(folder);
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->size(), kKeptReports + 1);
    EXPECT_EQ(temp.Read("r/last.json"), "{}");
    EXPECT_FALSE(Fs().Exists(folder + "/20261210T120001.000.json"));

    // Jobs of one millisecond keep a file each, the newest 50 stay; other files stay too.
    temp.Write("r/notes.json", "mine");
    const std::string stamp = "20261210T130000.000";
    const auto name = [&](int i) {
        return stamp + (i == 1 ? "" : "-" + std::to_string(i)) + ".json";
    };
    for (int i = 1; i <= 60; ++i) {
        EXPECT_EQ(KeepReport(folder, std::to_string(i), stamp), folder + "/" + name(i));
    }
    EXPECT_EQ(Fs().List(folder)->size(), kKeptReports + 2);
    for (int i = 1; i <= 60; ++i) {
        EXPECT_EQ(temp.Read("r/" + name(i)), i > 10 ? std::to_string(i) : "") << i;
    }
    EXPECT_EQ(temp.Read("r/notes.json"), "mine");
}

}  // namespace
}  // namespace qs
