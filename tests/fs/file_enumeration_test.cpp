#include "fs/file_enumeration.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/services.h"
#include "support/quiet_ui.h"

namespace qs {
namespace {

using Enumerator = int (*)(const Text&, const Text&, TextList&, bool, bool);

// Files: notes.txt, Notes.TXT, .txt, notes.txt.bak, a.tx, abc, ac, xxabcxx, 第10章.txt,
// 第2章.txt, b.log; folders: sub.txt, Sub2.
class FileEnumerationTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qs-enum-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        for (const char* name : {"Notes.TXT", "notes.txt", ".txt", "notes.txt.bak", "a.tx", "abc",
                                 "ac", "xxabcxx", "第10章.txt", "第2章.txt", "b.log"}) {
            std::ofstream(m_root + "/" + name) << "x";
        }
        std::filesystem::create_directory(m_root + "/sub.txt");
        std::filesystem::create_directory(m_root + "/Sub2");
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }

    // The names (without the folder) that an enumerator lists; checks the folder prefix.
    std::vector<std::string> Listed(Enumerator enumerate, const Text& pattern,
                                    bool foldersOnly = false) {
        TextList result = {"stale"};
        const int count = enumerate(U(m_root), pattern, result, false, foldersOnly);
        EXPECT_EQ(count, static_cast<int>(result.size()));
        std::vector<std::string> names;
        const Text prefix = U(m_root + "/");
        for (const Text& path : result) {
            EXPECT_EQ(path.compare(0, prefix.size(), prefix), 0) << ToUtf8Lossy(path);
            names.push_back(ToUtf8Lossy(path.substr(prefix.size())));
        }
        return names;
    }

    std::string m_root;
};

using Names = std::vector<std::string>;

TEST_F(FileEnumerationTest, ByFindPatterns) {
    const Names txt = {".txt", "Notes.TXT", "notes.txt", "第2章.txt", "第10章.txt"};
    EXPECT_EQ(Listed(EnumerateByFind, "*.txt"), txt);
    EXPECT_EQ(Listed(EnumerateByFind, "*.txt|"), txt);
    auto withLog = txt;
    withLog.push_back("b.log");
    EXPECT_EQ(Listed(EnumerateByFind, "*.txt|*.log"), withLog);
    EXPECT_EQ(Listed(EnumerateByFind, "*.txt||*.log"), withLog);
    EXPECT_EQ(Listed(EnumerateByFind, "a?c"), (Names{"abc"}));
    EXPECT_EQ(Listed(EnumerateByFind, "a*"), (Names{"a.tx", "abc", "ac"}));
    EXPECT_EQ(Listed(EnumerateByFind, U("第?章.*")), (Names{"第2章.txt"}));
    EXPECT_EQ(Listed(EnumerateByFind, "|"), Names{});
    EXPECT_EQ(Listed(EnumerateByFind, "nothing").size(), 0u);
    const Names all = {".txt",    "a.tx",      "abc",       "ac",
                       "b.log",   "Notes.TXT", "notes.txt", "notes.txt.bak",
                       "xxabcxx", "第2章.txt", "第10章.txt"};
    EXPECT_EQ(Listed(EnumerateByFind, ""), all);
    EXPECT_EQ(Listed(EnumerateByFind, "*"), all);
    const auto doubled = Listed(EnumerateByFind, "*.*|*.txt");
    EXPECT_EQ(doubled.size(), all.size() + txt.size());
}

TEST_F(FileEnumerationTest, ByObjectPatterns) {
    EXPECT_EQ(Listed(EnumerateByObject, "*.txt"),
              (Names{".txt", "Notes.TXT", "notes.txt", "第2章.txt", "第10章.txt"}));
    EXPECT_EQ(Listed(EnumerateByObject, "*.tx*"),
              (Names{".txt", "a.tx", "Notes.TXT", "notes.txt", "notes.txt.bak", "第2章.txt",
                     "第10章.txt"}));
    EXPECT_EQ(Listed(EnumerateByObject, "a?c"), (Names{"abc", "ac", "xxabcxx"}));
    EXPECT_EQ(Listed(EnumerateByObject, "*.txt|readme.md"), Names{});
    EXPECT_EQ(Listed(EnumerateByObject, "*.log|ac"), (Names{}));
    EXPECT_EQ(Listed(EnumerateByObject, "b.log|ac"), (Names{"ac", "b.log"}));
    EXPECT_EQ(Listed(EnumerateByObject, "").size(), 11u);
    EXPECT_EQ(Listed(EnumerateByObject, "*.*").size(), 11u);
}

TEST_F(FileEnumerationTest, FoldersOnly) {
    for (Enumerator enumerate : {EnumerateByFind, EnumerateByObject}) {
        EXPECT_EQ(Listed(enumerate, "*.*", true), (Names{"sub.txt", "Sub2"}));
        EXPECT_EQ(Listed(enumerate, "*.txt", true), (Names{"sub.txt"}));
    }
}

TEST_F(FileEnumerationTest, FolderWithOrWithoutSeparator) {
    for (Enumerator enumerate : {EnumerateByFind, EnumerateByObject}) {
        TextList plain;
        TextList slashed;
        enumerate(U(m_root), "*.log", plain, false, false);
        enumerate(U(m_root + "//"), "*.log", slashed, false, false);
        EXPECT_EQ(plain, (TextList{U(m_root + "/b.log")}));
        EXPECT_EQ(slashed, plain);
    }
}

TEST_F(FileEnumerationTest, AppendAndMissingFolder) {
    for (Enumerator enumerate : {EnumerateByFind, EnumerateByObject}) {
        TextList result = {"kept"};
        EXPECT_EQ(enumerate(U(m_root), "*.log", result, true, false), 2);
        EXPECT_EQ(result.front(), "kept");
        EXPECT_EQ(enumerate(U(m_root + "/missing"), "*", result, false, false), 0);
        EXPECT_TRUE(result.empty());
    }
}

TEST_F(FileEnumerationTest, CallsBackOncePerEntryAndNeverPumpsItself) {
    QuietUi ui;
    ServicesOverride use({nullptr, nullptr, nullptr, &ui});
    TextList result;
    FolderListing listed;
    int entries = 0;
    const auto count = [&entries] { ++entries; };
    TryEnumerateByFind(U(m_root), "*.log|*.txt", result, false, false, listed, count);
    EXPECT_EQ(entries, 2 * 11);  // every file of each listing, accepted or not
    entries = 0;
    TryEnumerateByObject(U(m_root), "*.log|*.txt", result, false, true, listed, count);
    EXPECT_EQ(entries, 2);
    EXPECT_EQ(ui.pumps, 0);
}

TEST(WildcardMatchesNameTest, Rows) {
    struct Row {
        const char* name;
        Text piece;
        Text fileName;
        bool match;
    };
    const Row rows[] = {
        {"star dot star without dot", "*.*", "README", true},
        {"case", "*.TXT", "a.txt", true},
        {"question needs one", "a?", "a", false},
        {"question takes a double-byte character", "a?b",
         "a\xD6\xD0"
         "b",
         true},  // a中b
        {"star in the middle", "a*b*c", "axxbyyc", true},
        {"star backtracks", "*ab", "aab", true},
        {"no partial", "ab", "abc", false},
        {"empty name", "*", "", true},
        {"trail byte is not a question mark", "?", "\xAB\x41", true},  // 獍 (AB 41)
        {"trail byte not matched alone", "*A", "\xAB\x41", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(WildcardMatchesName(row.piece, row.fileName), row.match) << row.name;
    }
}

}  // namespace
}  // namespace qs
