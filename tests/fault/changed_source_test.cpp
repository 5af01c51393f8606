// Sources changed by someone else while a job runs with deletion on: after the job has read
// a source and before it deletes it, the file is appended to, saved over by an editor
// (written under another name and renamed over it) or rewritten in place. Only the very file
// that was read, unchanged, may go.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fault_fixture.h"
#include "merge/merge_job.h"
#include "split/split_job.h"
#include "split/split_state.h"

namespace qs::fault {
namespace {

namespace fs = std::filesystem;

enum class Edit { None, Append, SaveOver, Rewrite };

struct Row {
    const char* name;
    bool split;
    Edit edit;
};

const std::string kText = "alpha\r\nbeta\r\ngamma\r\ndelta\r\n";
const std::string kNew = "ALPHA\r\nBETA\r\nGAMMA\r\nDELTA\r\n";  // the same length

void Change(const std::string& path, Edit edit) {
    switch (edit) {
        case Edit::None:
            return;
        case Edit::Append:
            std::ofstream(path, std::ios::binary | std::ios::app) << "appended\r\n";
            return;
        case Edit::SaveOver:
            std::ofstream(path + ".swp", std::ios::binary) << kNew;
            fs::rename(path + ".swp", path);
            return;
        case Edit::Rewrite:
            // File times tick in steps of a few milliseconds: a rewrite within the step in
            // which the job read the file would not show.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << kNew;
            return;
    }
}

TEST(ChangedSource, OnlyTheFileThatWasReadUnchangedIsDeleted) {
    const Row rows[] = {
        {"split, unchanged", true, Edit::None},       {"split, appended", true, Edit::Append},
        {"split, saved over", true, Edit::SaveOver},  {"split, rewritten", true, Edit::Rewrite},
        {"merge, unchanged", false, Edit::None},      {"merge, appended", false, Edit::Append},
        {"merge, saved over", false, Edit::SaveOver}, {"merge, rewritten", false, Edit::Rewrite},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bench b;
        fs::create_directories(ToUtf8Lossy(b.temp.File(U("src"))));
        b.temp.Write("src/a.txt", kText);
        b.temp.Write("src/b.txt", "other\r\n");
        b.split.params.mode = SplitIntoPartsParams{3};
        b.split.params.subfolder = true;
        b.split.params.deleteSources = true;
        b.merge.params.saveInParentFolder = false;
        b.merge.params.deleteSources = true;
        b.merge.params.separatorKind = MergeSeparatorKind::None;
        const std::string source = ToUtf8Lossy(b.Src("a.txt"));
        // Everything is read before the first output is forced onto the disk.
        b.faulty.Before(Op::Sync, 1, [&] { Change(source, row.edit); });
        if (row.split) {
            b.Split({b.Src("a.txt")});
        } else {
            b.Merge({b.Src("a.txt"), b.Src("b.txt")});
        }
        const bool kept = row.edit != Edit::None;
        EXPECT_EQ(fs::exists(source), kept);
        EXPECT_EQ(b.Messages().find("未删除原文件：") != std::string::npos, kept) << b.Messages();
        if (kept) {
            EXPECT_NE(b.temp.Read(U("src/a.txt")), kText);
        }
    }
}

// 处理文本编码 ticked while a unit is being merged counts from the next unit: the output
// stays one form, the members' bytes joined.
TEST(ChangedSource, AnOptionTickedDuringAUnitCountsFromTheNext) {
    Bench b;
    fs::create_directories(ToUtf8Lossy(b.temp.File(U("src"))));
    std::string joined;
    TextList members;
    for (int i = 1; i <= 4; ++i) {
        const std::string chapter = "第" + std::to_string(i) + "章 春眠不觉晓\n";
        b.temp.Write(U("src/" + std::to_string(i) + ".txt"), chapter);
        members.push_back(b.Src(std::to_string(i) + ".txt"));
        joined += chapter;
    }
    b.merge.params.saveInParentFolder = false;
    b.merge.params.processTextEncoding = false;
    b.merge.params.separatorKind = MergeSeparatorKind::None;
    b.ui.onPump = [&] { b.merge.params.processTextEncoding = true; };
    b.Merge(members);
    EXPECT_EQ(b.temp.Read(U("src/1等4个文件.txt")), joined);
}

}  // namespace
}  // namespace qs::fault
