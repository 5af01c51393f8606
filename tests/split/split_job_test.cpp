#include "split/split_job.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/services.h"
#include "split_fixture.h"

namespace qs {
namespace {

// Whole split jobs over a list of sources, as the request gives them.
class SplitJobTest : public SplitFixture {
protected:
    SplitJobTest() { SetMode(SplitIntoPartsParams{2}); }
    Text File(const char* name) { return temp.File(name); }
    void Run(const TextList& paths) {
        requests.request.paths = paths;
        RunSplitJob(requests, events);
    }

    // The contents of every file in the folder.
    std::multiset<std::string> Contents() {
        std::multiset<std::string> all;
        for (const auto& e : std::filesystem::directory_iterator(ToUtf8Lossy(temp.Path()))) {
            all.insert(temp.Read(U(e.path().filename().string())));
        }
        return all;
    }
};

TEST_F(SplitJobTest, PieceNeverReplacesASourceOfTheJob) {
    temp.Write("a.txt", "1234");
    temp.Write("a_1.txt", "other source");
    Run({File("a.txt"), File("a_1.txt")});
    // The rest of the source's pieces follow the first into its " (k)" names.
    EXPECT_EQ(temp.Read("a_1 (2).txt"), "12");
    EXPECT_EQ(temp.Read("a_2 (2).txt"), "34");
    EXPECT_EQ(temp.Read("a_1.txt"), "other source");
    EXPECT_EQ(temp.Read("a_1_1.txt") + temp.Read("a_1_2.txt"), "other source");
}

TEST_F(SplitJobTest, PiecesNeverReplacePiecesOfTheSameJob) {
    const Text title = U("这是一个足够长的句子用来作为标题吧");
    struct Row {
        const char* name;
        bool lines;
        bool randomNames;
        std::vector<std::pair<std::string, std::string>> sources;  // UTF-8 name, content
        std::multiset<std::string> pieces;
    } rows[] = {
        {"names that agree up to the cut",
         false,
         false,
         {{std::string(105, 'n') + "A.txt", "A1A2"}, {std::string(105, 'n') + "B.txt", "B1B2"}},
         {"A1", "A2", "B1", "B2"}},
        {"a title shared by two sources",
         false,
         true,
         {{"a.txt", Bytes(title + "A")}, {"b.txt", Bytes(title + "B")}},
         {Bytes(title) + "A", Bytes(title) + "B"}},
        {"a title in every piece",
         true,
         true,
         {{"t.txt", Bytes(title + "\r\n" + title + "\r\n" + title)}},
         {Bytes(title), Bytes(title), Bytes(title)}},
    };
    for (const Row& row : rows) {
        for (const auto& [name, content] : row.sources) {
            temp.Write(U(name), content);
        }
        if (row.lines) {
            SetMode(SplitByLinesParams{1, 1});
        } else {
            SetMode(SplitIntoPartsParams{row.randomNames ? 1 : 2});
        }
        Params().nameFromText = row.randomNames;
        Params().deleteSources = true;
        events.failures.clear();
        TextList paths;
        for (const auto& source : row.sources) {
            paths.push_back(File(source.first.c_str()));
        }
        Run(paths);
        EXPECT_EQ(Contents(), row.pieces) << row.name;
        EXPECT_TRUE(events.failures.empty()) << row.name;
        for (const auto& e : std::filesystem::directory_iterator(ToUtf8Lossy(temp.Path()))) {
            std::filesystem::remove(e.path());
        }
    }
}

}  // namespace
}  // namespace qs
