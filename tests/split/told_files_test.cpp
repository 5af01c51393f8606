#include <gtest/gtest.h>

#include <map>
#include <string>

#include "job/told_files.h"
#include "merge/merge_job.h"
#include "platform/services.h"
#include "platform/sha256.h"
#include "split/split_job.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

// What a listener learns of a split from its events alone.
class ToldEvents : public JobEvents {
public:
    explicit ToldEvents(bool wantBytes) : m_wantBytes(wantBytes) {}

    bool WantsWrittenBytes() override { return m_wantBytes; }
    void OutputGrew(const void* output, std::int64_t count, std::string_view bytes) override {
        Open& o = open[output];
        o.count += count;
        o.bytes += bytes;
    }
    void OutputClosed(const void* output, const Text* path) override {
        if (path != nullptr) {
            EXPECT_EQ(closed.count(*path), 0u) << "told closed twice: " << *path;
            closed[*path] = std::move(open[output]);
        }
        open.erase(output);
    }
    void OutputWritten(const OutputRecord& o) override { written[o.path] = o.bytes; }
    void SourceReadTo(std::int64_t position, std::int64_t length) override {
        EXPECT_LE(position, length);
        reached = position;
        sourceLength = length;
    }

    struct Open {
        std::int64_t count = 0;
        std::string bytes;
    };
    std::map<const void*, Open> open;
    std::map<Text, Open> closed;
    std::map<Text, std::int64_t> written;
    std::int64_t reached = -1, sourceLength = -1;

private:
    bool m_wantBytes;
};

std::string Hash(std::string_view bytes) {
    Sha256 sha;
    sha.Add(bytes);
    return sha.Hex();
}

// Whatever the mode (copies inside the kernel, text read in slices), the events tell every
// byte that went into each output, the outputs' names, and the source read to its end.
TEST(ToldFiles, EventsTellEveryOutputsBytesAndTheSourceReadToItsEnd) {
    std::string text;
    for (int i = 0; text.size() < 700000; ++i) {
        text += "第" + std::to_string(i) + "行 line\n";
    }
    const struct {
        const char* name;
        SplitModeParams mode;
    } rows[] = {
        {"parts", SplitIntoPartsParams{3}},
        {"size", SplitBySizeParams{100, 1}},
        {"lines", SplitByLinesParams{5000, 5000}},
    };
    for (const auto& row : rows) {
        for (const bool wantBytes : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (wantBytes ? " hashed" : " counted"));
            TempFolder temp;
            temp.Write("a.txt", text);
            SplitRequest request;
            request.params.mode = row.mode;
            request.paths = {temp.File("a.txt")};
            FixedSplitRequest requests(request);
            ToldEvents events(wantBytes);
            RunSplitJob(requests, events);

            ASSERT_GT(events.written.size(), 1u);
            EXPECT_TRUE(events.open.empty());
            EXPECT_EQ(events.reached, static_cast<std::int64_t>(text.size()));
            EXPECT_EQ(events.sourceLength, static_cast<std::int64_t>(text.size()));
            ASSERT_EQ(events.closed.size(), events.written.size());
            for (const auto& [path, bytes] : events.written) {
                const ToldEvents::Open& told = events.closed[path];
                EXPECT_EQ(told.count, bytes) << path;
                if (wantBytes) {
                    std::string onDisk = temp.Read(path.substr(temp.Path().size() + 1));
                    EXPECT_EQ(Hash(told.bytes), Hash(onDisk)) << path;
                } else {
                    EXPECT_TRUE(told.bytes.empty());
                }
            }
        }
    }
}

// A merge tells the same, its members read as bytes or examined as text.
TEST(ToldFiles, AMergeTellsItsOutputsBytesAndEachMemberRead) {
    for (const bool decoded : {false, true}) {
        SCOPED_TRACE(decoded ? "text" : "bytes");
        TempFolder temp;
        temp.Write("1.txt", std::string(300000, 'a') + "\n");
        temp.Write("2.txt", "\xe4\xb8\xad\n");  // 中
        MergeRequest request;
        request.params.processTextEncoding = decoded;
        request.files = {temp.File("1.txt"), temp.File("2.txt")};
        request.outputRoot = temp.Path();
        FixedMergeRequest requests(request);
        ToldEvents events(true);
        JobFiles touched;
        MergeJob job{requests, events, touched, Text()};
        RunMergeJob(job);

        ASSERT_EQ(events.written.size(), 1u);
        const auto& [path, bytes] = *events.written.begin();
        EXPECT_EQ(events.closed[path].count, bytes);
        EXPECT_EQ(Hash(events.closed[path].bytes), Hash(Fs().ReadWholeFile(path).value_or("")));
        EXPECT_EQ(events.reached, 4);  // the last member, to its end
        EXPECT_EQ(events.sourceLength, 4);
    }
}

// A copy from a told source wrapped in another tells both of what it read, and only of that:
// a range that runs past the source's end counts as read up to the end, not to the range's.
TEST(ToldFiles, CopiesTellEveryWatcherWhatTheyRead) {
    TempFolder temp;
    temp.Write("a.txt", std::string(1000, 'a'));
    ToldEvents outer(false), inner(false);
    std::unique_ptr<ReadHandle> source =
        TellReading(TellReading(Fs().OpenRead(temp.File("a.txt")), inner), outer);
    Result<std::unique_ptr<JobOutput>> out = CreateOutput(temp.File("b.txt"), outer);
    ASSERT_TRUE(source && out);
    EXPECT_EQ((*out)->CopyRange(*source, 100, 400), AtomicWriter::CopyResult::Copied);
    EXPECT_EQ(inner.reached, 500);
    EXPECT_EQ(outer.reached, 500);
    std::int64_t copied = -1;
    EXPECT_EQ((*out)->CopyRange(*source, 800, 400, &copied), AtomicWriter::CopyResult::ReadFailed);
    EXPECT_EQ(copied, 200);
    EXPECT_EQ(inner.reached, 1000);
    EXPECT_EQ(outer.reached, 1000);
}

}  // namespace
}  // namespace qs
