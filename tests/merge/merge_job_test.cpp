#include "merge/merge_job.h"

#include "merge_fixture.h"

namespace qs::testing {
namespace {

using MergeJobTest = MergeTest;

// Two folders of one drop whose outputs get the same name in their common parent: the
// second takes " (2)", so that the first one's members, already deleted, are not lost.
TEST_F(MergeJobTest, OutputsOfOneJobNeverReplaceEachOther) {
    Params().saveInParentFolder = true;
    Params().deleteSources = true;
    TextList folders;
    for (const char* sub : {"p/x", "p/y", "p/z"}) {
        Put(Text(sub) + "/a.txt", sub);
        Put(Text(sub) + "/b.txt", "b");
        folders.push_back(Folder(sub));
    }
    RunJob({}, folders);
    EXPECT_EQ(Read(U("p/a等2个文件.txt")), "p/xb");
    EXPECT_EQ(Read(U("p/a等2个文件 (2).txt")), "p/yb");
    EXPECT_EQ(Read(U("p/a等2个文件 (3).txt")), "p/zb");
    EXPECT_FALSE(Exists("p/x/a.txt") || Exists("p/y/a.txt") || Exists("p/z/b.txt"));
    EXPECT_TRUE(events.failures.empty());
}

// A folder's output lands in a folder given after it, on a file of its name there: that file
// is merged with its folder, not replaced before it is read.
TEST_F(MergeJobTest, AnOutputReplacesNothingInAFolderStillToBeMerged) {
    Params().saveInParentFolder = true;
    Params().deleteSources = true;
    Put("w/sub/a.txt", "A");
    Put("w/sub/b.txt", "B");
    Put(U("w/a等2个文件.txt"), "old");
    RunJob({}, {Folder("w/sub"), Folder("w")});
    EXPECT_EQ(Read(U("w/a等2个文件 (2).txt")), "AB");
    EXPECT_EQ(Read(U("a等2个文件等1个文件.txt")), "old");
}

TEST_F(MergeJobTest, DroppedFoldersWalkDepthFirst) {
    Params().saveInParentFolder = false;
    Params().includeSubfolders = true;
    const Text a = Folder("A");
    const Text b = Folder("B");
    Put("A/a.txt", "a");
    Put("A/s1/s.txt", "s");
    Put("A/s1/deep/d.txt", "d");
    Put("A/s2/t.txt", "t");
    Put("B/b.txt", "b");
    Folder("B/empty");
    Put("B/empty/inner/i.txt", "i");
    RunJob({}, {a, b});
    EXPECT_EQ(events.started, (std::vector<Text>{"(1/1)a.txt", "(1/1)s.txt", "(1/1)d.txt",
                                                 "(1/1)t.txt", "(1/1)b.txt", "(1/1)i.txt"}));
    EXPECT_EQ(Read(U("A/s1/deep/d等1个文件.txt")), "d");
    EXPECT_EQ(Read(U("B/empty/inner/i等1个文件.txt")), "i");
}

TEST_F(MergeJobTest, SubfoldersMustMatchThePattern) {
    Params().saveInParentFolder = false;
    Params().includeSubfolders = true;
    Params().pattern = "*.txt";
    const Text root = Folder("R");
    Put("R/notes/n.txt", "n");
    Put("R/x.txt/y.txt", "y");
    RunJob({}, {root});
    EXPECT_FALSE(Exists(U("R/notes/n等1个文件.txt")));
    EXPECT_EQ(Read(U("R/x.txt/y等1个文件.txt")), "y");
}

}  // namespace
}  // namespace qs::testing
