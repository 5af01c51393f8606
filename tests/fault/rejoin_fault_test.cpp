// The rejoin of a manifest's pieces as a job: the source it gives back is told as an output
// of the job, and every fault on the way as a failure with the system's reason, leaving
// nothing half-written.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>

#include "fault/fault_fixture.h"
#include "merge/manifest_rejoin.h"
#include "platform/sha256.h"

namespace qs::fault {
namespace {

struct Told : HeardEvents {
    void OutputWritten(const OutputRecord& o) override { written.push_back(o); }
    void OutputClosed(const void*, const Text* path) override {
        closed.push_back(path ? *path : Text("-"));
    }
    std::vector<OutputRecord> written;
    TextList closed;
};

nlohmann::json Entry(const std::string& name, const std::string& bytes) {
    Sha256 sha;
    sha.Add(bytes);
    return {{"name", name}, {"size", bytes.size()}, {"sha256", sha.Hex()}};
}

TEST(RejoinFault, TheSourceIsToldOrEveryFaultWithItsReason) {
    const std::string a = "春眠不觉晓\n", b = "处处闻啼鸟\n";
    const std::vector<std::pair<const char*, std::optional<std::pair<Op, int>>>> rows = {
        {"no fault", std::nullopt},           {"manifest unread", {{Op::ReadWhole, 1}}},
        {"folder unlisted", {{Op::List, 1}}}, {"second piece unopened", {{Op::OpenRead, 2}}},
        {"piece unread", {{Op::Read, 1}}},    {"rejoin unread", {{Op::Read, 5}}},
        {"not created", {{Op::Create, 1}}},   {"not written", {{Op::Write, 1}}},
        {"not named", {{Op::Commit, 1}}},
    };
    for (const auto& [name, fault] : rows) {
        SCOPED_TRACE(name);
        Bench bench;
        bench.temp.Put("s/s_1.txt", a);
        bench.temp.Put("s/s_2.txt", b);
        nlohmann::json manifest = {{"source", Entry("s.txt", a + b)},
                                   {"subfolder", true},
                                   {"mode", {{"name", "parts"}, {"count", 2}}},
                                   {"pieces", {Entry("s_1.txt", a), Entry("s_2.txt", b)}}};
        const Text path = bench.temp.Put("s/s.txt.manifest.json", manifest.dump());
        if (fault) {
            bench.faulty.FailNth(fault->first, fault->second);
        }
        Told told;
        const RejoinOutcome outcome = RunRejoinJob({path, true, Text()}, told);
        const Text source = bench.temp.File("s.txt");
        const Tree after = Snapshot(bench.temp.Path());
        EXPECT_FALSE(HasTemporary(after));
        if (!fault) {
            EXPECT_EQ(outcome, RejoinOutcome::GivenBack);
            EXPECT_EQ(told.FailureLines(), TextList());
            ASSERT_EQ(told.written.size(), 1u);
            EXPECT_EQ(told.written[0].path, source);
            EXPECT_EQ(told.written[0].bytes, static_cast<std::int64_t>(a.size() + b.size()));
            EXPECT_EQ(told.closed, TextList{source});
            EXPECT_EQ(after.at("s.txt"), a + b);
            continue;
        }
        EXPECT_NE(outcome, RejoinOutcome::GivenBack);
        EXPECT_TRUE(told.written.empty());
        EXPECT_EQ(after.count("s.txt"), 0u);
        ASSERT_EQ(told.failures.size(), 1u);
        EXPECT_NE(told.failures[0].systemError, 0) << ToUtf8Lossy(told.FailureLines()[0]);
    }
}

}  // namespace
}  // namespace qs::fault
