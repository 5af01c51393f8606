#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "fault_fixture.h"
#include "platform/system_error.h"

namespace qs::fault {
namespace {

// A failed read or write is reported with the reason the system gave as it failed, even when
// a listener's own file calls fail in between (as the output is abandoned, as the source is
// read), for each way a job reads and writes.
TEST(FailureReason, IsTheSystemsAtTheFailureWhateverFailsAfterIt) {
    const struct {
        const char* name;
        bool merge;
        bool text;  // lines, or members decoded; else bytes copied
        Op op;
        int k;
        Fault fault;
        FailureKind kind;
        int reason;
    } rows[] = {
        {"split bytes, short write", false, false, Op::Write, 1, Fault::ShortWrite,
         FailureKind::NotWritten, ENOSPC},
        {"split bytes, short read", false, false, Op::Read, 1, Fault::ShortRead,
         FailureKind::Unreadable, EIO},
        {"split lines, short write", false, true, Op::Write, 1, Fault::ShortWrite,
         FailureKind::NotWritten, ENOSPC},
        {"split lines, short read", false, true, Op::Read, 2, Fault::ShortRead,
         FailureKind::Unreadable, EIO},
        {"merge bytes, short write", true, false, Op::Write, 1, Fault::ShortWrite,
         FailureKind::NotWritten, ENOSPC},
        {"merge bytes, short read", true, false, Op::Read, 2, Fault::ShortRead,
         FailureKind::Unreadable, EIO},
        {"merge decoded, short write", true, true, Op::Write, 1, Fault::ShortWrite,
         FailureKind::NotWritten, ENOSPC},
        {"merge decoded, short read", true, true, Op::Read, 1, Fault::ShortRead,
         FailureKind::Unreadable, EIO},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bench b;
        b.PlainJobs(false);
        const std::string text(300000, 'x');
        b.temp.Put(U("src/a.txt"), "甲" + text + "\n");
        b.temp.Put(U("src/b.txt"), "乙" + text + "\n");
        b.events.meddle = [] { SetLastSystemError(ENOENT); };
        b.faulty.FailNth(row.op, row.k, row.fault);
        if (row.merge) {
            b.merge.params.processTextEncoding = row.text;
            b.MergeUnit({b.Src("a.txt"), b.Src("b.txt")});
        } else {
            b.split.params.mode =
                row.text ? SplitModeParams(SplitByLinesParams{1, 1}) : SplitIntoPartsParams{2};
            b.Split({b.Src("a.txt")});
        }
        ASSERT_EQ(b.faulty.Fired(), 1);
        ASSERT_FALSE(b.events.failures.empty()) << b.Messages();
        EXPECT_EQ(b.events.failures.front().kind, row.kind) << b.Messages();
        EXPECT_EQ(b.events.failures.front().systemError, row.reason) << b.Messages();
    }
}

}  // namespace
}  // namespace qs::fault
