// Split jobs with one file-system fault each, against the same job without the fault.
#include <filesystem>

#include "fault_fixture.h"
#include "split/split_job.h"
#include "split/split_state.h"

namespace qs::fault {
namespace {

enum class Mode { Parts, Bytes, Lines, Chars, Separator };

struct SplitCase {
    const char* name;
    Mode mode;
    Op op;
    int k;  // 0: every call
    Fault fault = Fault::Fail;
    bool deleteSource = true;
    bool subfolder = false;
    bool dropFolder = false;
    Change change = Change::None;
};

// a.txt: UTF-8 with its mark, CR LF lines; b.txt: plain bytes with LF lines.
const std::string kA =
    "\xEF\xBB\xBF\xE7\xAC\xAC\xE4\xB8\x80\xE8\xA1\x8C\r\nline two\r\n--\r\nthree "
    "\xE4\xB8\x89\r\nfour\r\n--five\r\n";
const std::string kB = "alpha\nbeta\ngamma--delta\nepsilon\nzeta\n";

void Configure(Bench& b, const SplitCase& c) {
    SplitParams& p = b.split.params;
    p.nameFromText = false;
    p.subfolder = c.subfolder;
    p.deleteSources = c.deleteSource;
    p.pattern = "*.txt";
    switch (c.mode) {
        case Mode::Parts:
            p.mode = SplitIntoPartsParams{3};
            break;
        case Mode::Bytes:
            p.mode = SplitBySizeParams{16, 0};
            break;
        case Mode::Lines:
            p.mode = SplitByLinesParams{2, 2};
            break;
        case Mode::Chars:
            p.mode = SplitByCharsParams{7, 7};
            break;
        case Mode::Separator:
            p.mode = SplitAtSeparatorParams{"--"};
            break;
    }
}

void RunJob(Bench& b, const SplitCase& c) {
    if (c.dropFolder) {
        b.Split({b.temp.File("src")});
    } else {
        b.Split({b.Src("a.txt"), b.Src("b.txt")});
    }
}

// src/a_2.txt and src/a/a_2.txt both come from src/a.txt.
std::string Owner(const std::string& made) {
    const std::filesystem::path p(made);
    const std::string file = p.filename().string();
    const std::string base = file.substr(0, file.rfind('_'));
    const std::string ext = p.extension().string();
    std::filesystem::path folder = p.parent_path();
    if (folder.filename() == base) {
        folder = folder.parent_path();
    }
    return (folder / (base + ext)).string();
}

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.name;
}

class SplitFault : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitFault, NothingLostNothingHalfWrittenFailuresReported) {
    const SplitCase& c = GetParam();

    FaultJob job{{{"a.txt", kA}, {"b.txt", kB}},
                 "a.txt",
                 11,
                 [&c](Bench& b) { Configure(b, c); },
                 [&c](Bench& b) { RunJob(b, c); }};
    const Outcome o = RunAgainstReference(job, c.change, [&](Bench& b) {
        if (c.change != Change::None) {
            b.faulty.Before(Op::OpenRead, 1, [&] { ApplyChange(b, job, c.change); });
        } else {
            b.faulty.FailNth(c.op, c.k, c.fault);
        }
    });
    const Tree &before = o.before, &expected = o.expected, &after = o.after;
    ASSERT_GT(expected.size(), before.size()) << "the reference run made no piece";
    if (c.change == Change::None) {
        EXPECT_GT(o.fired, 0) << "the fault was never hit";
    }
    if (c.op == Op::List) {
        // A folder that cannot be listed gives nothing to split: nothing is touched, and
        // the completion message names the folder as unreadable.
        EXPECT_EQ(after, before);
        EXPECT_NE(o.messages.find("无法读取："), std::string::npos) << o.messages;
        return;
    }
    ExpectSafe(before, expected, after, o.messages, Owner);
    if (c.change == Change::Vanish) {
        EXPECT_NE(o.messages.find("无法读取"), std::string::npos) << o.messages;
    }
}

std::vector<SplitCase> Cases() {
    std::vector<SplitCase> cases;
    const struct {
        Mode mode;
        const char* name;
    } modes[] = {{Mode::Parts, "Parts"},
                 {Mode::Bytes, "Bytes"},
                 {Mode::Lines, "Lines"},
                 {Mode::Chars, "Chars"},
                 {Mode::Separator, "Separator"}};
    static std::vector<std::string> names;
    names.reserve(200);
    auto add = [&](const char* mode, SplitCase c, const char* what) {
        names.push_back(std::string(mode) + "_" + what);
        c.name = names.back().c_str();
        cases.push_back(c);
    };
    for (const auto& m : modes) {
        const Op read = Op::Read;
        const Op open = Op::OpenRead;
        add(m.name, {"", m.mode, Op::Create, 1}, "FirstPieceNotCreated");
        add(m.name, {"", m.mode, Op::Create, 3}, "ThirdPieceNotCreated");
        add(m.name, {"", m.mode, Op::Write, 1}, "DiskFullAtFirstWrite");
        add(m.name, {"", m.mode, Op::Write, 2, Fault::ShortWrite}, "ShortWrite");
        add(m.name, {"", m.mode, Op::Commit, 2}, "RenameFails");
        add(m.name, {"", m.mode, Op::Commit, 1, Fault::Fail, false}, "RenameFailsKeepingSources");
        add(m.name, {"", m.mode, read, 1}, "ReadError");
        add(m.name, {"", m.mode, open, 2}, "SecondSourceUnreadable");
        add(m.name, {"", m.mode, Op::Delete, 1}, "SourceNotDeleted");
        add(m.name, {"", m.mode, Op::CreateFolder, 0, Fault::Fail, true, true},
            "OutputFolderNotCreated");
        add(m.name, {"", m.mode, Op::List, 0, Fault::Fail, true, false, true}, "FolderNotListed");
        add(m.name, {"", m.mode, Op::Kind, 0, Fault::Fail, true, false, false, Change::Vanish},
            "SourceVanishes");
        add(m.name, {"", m.mode, Op::Kind, 0, Fault::Fail, true, false, false, Change::Shrink},
            "SourceShrinks");
        add(m.name, {"", m.mode, Op::Read, 2, Fault::ShortRead}, "ShortRead");
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Split, SplitFault, ::testing::ValuesIn(Cases()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace qs::fault
