// Merge jobs with one file-system fault each, against the same job without the fault.
#include <filesystem>

#include "fault_fixture.h"
#include "merge/merge_job.h"

namespace qs::fault {
namespace {

struct MergeCase {
    std::string name;
    bool encoding;
    bool deleteSources;
    Op op;
    int k;
    Fault fault = Fault::Fail;
    bool dropFolder = false;
    Change change = Change::None;
};

void PrintTo(const MergeCase& c, std::ostream* out) {
    *out << c.name;
}

// a.txt: UTF-8 with its mark; b.txt: UTF-8 without; c.txt: plain ASCII.
const std::string kA = "\xEF\xBB\xBF\xE7\xAC\xAC\xE4\xB8\x80\r\none\r\n";
const std::string kB = "\xE4\xBA\x8C two\n";
const std::string kC = std::string("three\0three", 11);

void Configure(Bench& b, const MergeCase& c) {
    MergeParams& p = b.merge.params;
    p.saveInParentFolder = false;
    p.includeSubfolders = false;
    p.processTextEncoding = c.encoding;
    p.deleteSources = c.deleteSources;
    p.pattern = "*.txt";
    p.separatorKind = MergeSeparatorKind::String;
    p.separatorText = "==";
}

void RunJob(Bench& b, const MergeCase& c) {
    if (c.dropFolder) {
        b.Merge({}, {b.temp.File("src")});
    } else {
        b.Merge({b.Src("a.txt"), b.Src("b.txt"), b.Src("c.txt")});
    }
}

class MergeFault : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeFault, NothingLostNothingHalfWrittenFailuresReported) {
    const MergeCase& c = GetParam();

    FaultJob job{{{"a.txt", kA}, {"b.txt", kB}, {"c.txt", kC}},
                 "b.txt",
                 3,
                 [&c](Bench& b) { Configure(b, c); },
                 [&c](Bench& b) { RunJob(b, c); }};
    const Outcome o = RunAgainstReference(job, c.change, [&](Bench& b) {
        if (c.change != Change::None) {
            // The second member changes after the listing, just before it is read.
            b.faulty.Before(Op::OpenRead, 2, [&] { ApplyChange(b, job, c.change); });
        } else {
            b.faulty.FailNth(c.op, c.k, c.fault);
        }
    });
    const Tree &before = o.before, &expected = o.expected, &after = o.after;
    ASSERT_TRUE(expected.count("src/a等3个文件.txt")) << "the reference run made no output";
    if (c.change == Change::None) {
        EXPECT_GT(o.fired, 0) << "the fault was never hit";
    }
    if (c.op == Op::List && c.change == Change::None) {
        // Nothing to merge from a folder that cannot be read, and it is said so.
        EXPECT_EQ(after, before);
        EXPECT_NE(o.messages.find("无法读取"), std::string::npos) << o.messages;
        return;
    }
    // A member that cannot be read is left out of the output (and kept), the rest is merged.
    const bool readFault = c.op == Op::Read || c.op == Op::ReadWhole || c.op == Op::OpenRead;
    ExpectSafe(
        before, expected, after, o.messages, [](const std::string&) { return "*"; }, readFault,
        c.encoding);
    if (readFault) {
        EXPECT_NE(o.messages.find("无法读取"), std::string::npos) << o.messages;
        const std::string unread = c.k == 2 ? "src/b.txt" : "src/a.txt";
        ASSERT_TRUE(after.count(unread)) << unread << " was not read, yet it is gone";
        EXPECT_EQ(after.at(unread), before.at(unread));
    }
    if (c.change == Change::Vanish) {
        EXPECT_NE(o.messages.find("无法读取"), std::string::npos) << o.messages;
    }
}

std::vector<MergeCase> Cases() {
    std::vector<MergeCase> cases;
    for (const bool encoding : {false, true}) {
        const std::string e = encoding ? "Encoding" : "Bytes";
        // Both kinds of merge read their members through handles, slice by slice.
        const Op read = Op::Read;
        const Op open = Op::OpenRead;
        for (const bool del : {false, true}) {
            const std::string d = e + (del ? "Deleting_" : "_");
            cases.push_back({d + "OutputNotCreated", encoding, del, Op::Create, 1});
            cases.push_back({d + "DiskFullAtFirstWrite", encoding, del, Op::Write, 1});
            cases.push_back({d + "ShortWrite", encoding, del, Op::Write, 1, Fault::ShortWrite});
            cases.push_back({d + "RenameFails", encoding, del, Op::Commit, 1});
            cases.push_back({d + "FirstMemberReadError", encoding, del, read, 1});
            cases.push_back({d + "SecondMemberUnreadable", encoding, del, open, 2});
        }
        const std::string d = e + "Deleting_";
        if (!encoding) {
            cases.push_back({d + "ShortRead", encoding, true, Op::Read, 1, Fault::ShortRead});
        }
        cases.push_back({d + "SourceNotDeleted", encoding, true, Op::Delete, 2});
        cases.push_back({d + "FolderNotListed", encoding, true, Op::List, 0, Fault::Fail, true});
        cases.push_back({d + "MemberVanishes", encoding, true, Op::Kind, 0, Fault::Fail, false,
                         Change::Vanish});
        cases.push_back(
            {d + "MemberShrinks", encoding, true, Op::Kind, 0, Fault::Fail, false, Change::Shrink});
        cases.push_back({d + "MemberShrinksInAFolder", encoding, true, Op::Kind, 0, Fault::Fail,
                         true, Change::Shrink});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Merge, MergeFault, ::testing::ValuesIn(Cases()),
                         [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace qs::fault
