#include "settings/ini_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/posix_file_system.h"
#include "platform/services.h"
#include "support/faulty_file_system.h"
#include "support/quiet_ui.h"

namespace qs {
namespace {

class IniStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qs_ini_XXXXXX";
        m_dir = ::mkdtemp(pattern);
        m_path = m_dir + "/Qirnsplit.ini";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    Bytes Disk() { return Fs().ReadWholeFile(m_path).value_or("<missing>"); }
    void Seed(const Bytes& content) { ASSERT_TRUE(Fs().WriteWholeFile(m_path, content)); }
    void Open(SettingsStore& store, const Text& section = "S") {
        ASSERT_TRUE(store.OpenFile(m_path));
        store.SetSection(section);
    }

    std::string m_dir;
    Text m_path;
    QuietUi m_ui;
    ServicesOverride m_override{Platform{nullptr, nullptr, nullptr, &m_ui}};
};

TEST_F(IniStoreTest, NewKeysGoFirstAndTheFileHasNoLeadingBreak) {
    SettingsStore store;
    Open(store);
    EXPECT_TRUE(store.WriteNumber("A", 1));
    EXPECT_TRUE(store.WriteNumber("B", 2));
    EXPECT_EQ(store.Copy(), "[S]\r\nB=2\r\nA=1");
    EXPECT_EQ(Disk(), store.Copy());
    store.SetSection("T");
    store.WriteText("A", "x");
    EXPECT_EQ(Disk(), "[S]\r\nB=2\r\nA=1\r\n[T]\r\nA=x");
}

TEST_F(IniStoreTest, FileEqualsCopyAfterEveryWrite) {
    SettingsStore store;
    Open(store);
    const struct {
        const char* key;
        Text value;
    } steps[] = {
        {"K", std::string(200, 'x')},
        {"L", "1"},
        {"K", "y"},  // long value becomes short
        {"K", ""},
        {"L", std::string(50, 'z')},
        {"M", "\r\n"},
    };
    for (const auto& step : steps) {
        store.WriteText(step.key, step.value);
        ASSERT_EQ(Disk(), store.Copy()) << step.key;
    }
    EXPECT_EQ(Disk(), "[S]\r\nM=" + U("┊*┊") + "\r\nL=" + std::string(50, 'z') + "\r\nK=");
}

TEST_F(IniStoreTest, ValuesReadBackAfterReopening) {
    {
        SettingsStore store;
        Open(store);
        store.WriteText("multi", "a\r\nb\rc\nd");
        store.WriteNumber("whole", 42);
        store.WriteNumber("neg", -3);
        store.WriteNumber("frac", 0.1);
        store.WriteBool("yes", true);
        store.WriteBool("no", false);
        store.WriteText(U("中文键"), U("值┊"));
        EXPECT_EQ(store.ReadText("whole", ""), "42");
    }
    SettingsStore store;
    Open(store);
    EXPECT_EQ(store.ReadText("multi", ""), "a\r\nb\rc\nd");
    EXPECT_EQ(store.ReadNumber("whole", 0), 42);
    EXPECT_EQ(store.ReadNumber("neg", 0), -3);
    EXPECT_EQ(store.ReadNumber("frac", 0), 0.1);
    EXPECT_TRUE(store.ReadBool("yes", false));
    EXPECT_FALSE(store.ReadBool("no", true));
    EXPECT_EQ(store.ReadText(U("中文键"), ""), U("值┊"));
}

TEST_F(IniStoreTest, ReadsFollowTheFileStructure) {
    // "[S]" inside a value is no header; K exists only under T; E is empty.
    Seed("[A]\r\nv=x[S]\r\nw=[S]\r\n[S]\r\nE=\r\nD=1\r\nN=abc\r\n[T]\r\nK=7\r\nD=2");
    SettingsStore store;
    Open(store);
    const struct {
        const char* name;
        const char* key;
        const char* expected;
    } rows[] = {
        {"value of the real section", "D", "1"},
        {"key of a later section", "K", "default"},
        {"empty value", "E", "default"},
        {"missing key", "Z", "default"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(store.ReadText(row.key, "default"), row.expected) << row.name;
    }
    EXPECT_EQ(store.ReadText("Z", U("a┊*┊b")), U("a┊*┊b")) << "the default comes back as given";
    EXPECT_FALSE(store.ReadBool("D", false)) << "only 真 is true";
    EXPECT_EQ(store.ReadNumber("N", 5), 5) << "no number";
    EXPECT_EQ(store.ReadNumber("E", 5), 5);

    EXPECT_TRUE(store.WriteText("K", "mine"));
    EXPECT_EQ(Disk(),
              "[A]\r\nv=x[S]\r\nw=[S]\r\n[S]\r\nK=mine\r\nE=\r\nD=1\r\nN=abc\r\n[T]\r\nK=7\r\nD=2");
}

TEST_F(IniStoreTest, KeyThatEndsAnotherKeyIsDistinct) {
    SettingsStore store;
    Open(store);
    store.WriteText("ab", "1");
    store.WriteText("b", "2");
    EXPECT_EQ(store.ReadText("ab", ""), "1");
    EXPECT_EQ(store.ReadText("b", ""), "2");
}

TEST_F(IniStoreTest, NamesThatWouldBreakTheFileAreRefused) {
    SettingsStore store;
    Open(store);
    store.WriteText("A", "1");
    const Text before = store.Copy();
    for (const Text& key : {Text("x\r\n[T]"), Text("a=b"), Text("[S]"), Text("c\n")}) {
        EXPECT_FALSE(store.WriteText(key, "v")) << key;
    }
    store.SetSection("S]x");
    EXPECT_FALSE(store.WriteText("A", "v"));
    EXPECT_EQ(Disk(), before);
}

TEST_F(IniStoreTest, DamagedFilesNeverBreakTheStore) {
    const struct {
        const char* name;
        Bytes content;
    } rows[] = {
        {"truncated header", "[S"},
        {"header without bracket", "[S\r\nA=1"},
        {"binary", Bytes("\x00\xff\x81\r\n[\x00]\xfe", 9)},
        {"lone lead byte before CR LF", "[S]\r\nA=\x81\r\nB=2"},
        {"CR without LF", "[S]\rA=1\r"},
        {"duplicate section and key", "[S]\r\nA=1\r\nA=2\r\n[S]\r\nA=3"},
        {"escape only", "[S]\r\nA=" + U("┊*┊")},
        {"header with junk", "[S]junk\r\nA=1"},
    };
    for (const auto& row : rows) {
        Seed(row.content);
        SettingsStore store;
        Open(store);
        store.ReadText("A", "d");
        store.ReadNumber("A", 0);
        store.WriteText("A", "new");
        store.WriteText("B", "b");
        EXPECT_EQ(store.ReadText("A", ""), "new") << row.name;
        EXPECT_EQ(store.ReadText("B", ""), "b") << row.name;
        EXPECT_EQ(Disk(), store.Copy()) << row.name;
    }
}

TEST_F(IniStoreTest, LoneLeadByteDoesNotSwallowTheNextLine) {
    Seed("[S]\r\nA=\x81\r\nB=2");
    SettingsStore store;
    Open(store);
    EXPECT_EQ(store.ReadText("A", ""), "\x81");
    EXPECT_EQ(store.ReadText("B", ""), "2");
}

TEST_F(IniStoreTest, WriteFiredInsideThePumpIsQueued) {
    SettingsStore store;
    Open(store);
    store.SetPump([] { Ui().ProcessPendingEvents(); });
    bool nested = false;
    bool nestedResult = true;
    m_ui.onPump = [&] {
        if (!nested) {
            nested = true;
            nestedResult = store.WriteText("inner", "2");
            EXPECT_EQ(store.ReadText("inner", "none"), "none");
        }
    };
    EXPECT_TRUE(store.WriteText("outer", "1"));
    EXPECT_FALSE(nestedResult);
    EXPECT_EQ(store.Copy(), "[S]\r\ninner=2\r\nouter=1");
    EXPECT_EQ(Disk(), store.Copy());
    EXPECT_TRUE(m_ui.messages.empty());
}

TEST_F(IniStoreTest, FailedFileWriteIsMendedByTheNextOne) {
    PosixFileSystem real;
    FaultyFileSystem faulty(real);
    ServicesOverride fs(Platform{&faulty, nullptr, nullptr, nullptr});
    SettingsStore store;
    Open(store);
    store.WriteText("A", "1");
    faulty.FailNth(FaultyFileSystem::Op::WriteAt, 1);
    store.WriteText("A", std::string(30, 'x'));
    store.WriteText("B", "2");
    EXPECT_EQ(store.Copy(), "[S]\r\nB=2\r\nA=" + std::string(30, 'x'));
    EXPECT_EQ(Disk(), store.Copy());
}

TEST_F(IniStoreTest, ByteArraysLiveInSideFiles) {
    SettingsStore store;
    ASSERT_TRUE(store.OpenFile(m_path, m_dir));
    store.SetSection("S");
    const Bytes bytes("a\0b\r\n\0", 6);
    EXPECT_EQ(store.ReadBytes("k", "def"), "def");
    EXPECT_TRUE(store.WriteBytes("k", bytes));
    EXPECT_EQ(Fs().ReadWholeFile(m_dir + "/inibin/S-k.ibn"), bytes);
    EXPECT_EQ(store.ReadBytes("k", "def"), bytes);
    EXPECT_TRUE(store.Copy().empty());

    // A name with a path separator stays inside the folder.
    EXPECT_TRUE(store.WriteBytes("../../x", "1"));
    EXPECT_TRUE(Fs().IsFile(m_dir + "/inibin/S-.._.._x.ibn"));
    EXPECT_EQ(store.ReadBytes("../../x", ""), "1");
}

TEST_F(IniStoreTest, MissingFileIsCreatedEmpty) {
    SettingsStore store;
    EXPECT_TRUE(store.OpenFile(m_path));
    EXPECT_TRUE(Fs().IsFile(m_path));
    EXPECT_EQ(Disk(), "");
    EXPECT_EQ(store.ReadText("A", "d"), "d");
}

TEST_F(IniStoreTest, Gb18030FileReadsBackUnchanged) {
    // [主界面] / 编辑框=中文 in GB18030 (same as code page 936 for these characters).
    const Bytes content = "[" + U("主界面") + "]\r\n" + U("编辑框") + "=" + U("中文");
    Seed(content);
    SettingsStore store;
    Open(store, U("主界面"));
    EXPECT_EQ(store.ReadText(U("编辑框"), ""), U("中文"));
    store.WriteText(U("编辑框"), U("中文"));
    EXPECT_EQ(Disk(), content);
}

// Two copies of the program on one settings file: the first holds it, the second reads it
// and changes only its memory; nobody writes over bytes it did not read or write itself.
TEST_F(IniStoreTest, TwoCopiesOnOneFile) {
    Seed("[S]\r\nA=1");
    SettingsStore first;
    Open(first);
    SettingsStore second;
    EXPECT_FALSE(second.OpenFile(m_path));
    second.SetSection("S");
    EXPECT_EQ(second.ReadText("A", ""), "1");
    first.WriteText("A", "2");
    second.WriteText("A", "3");
    second.WriteText("B", "x");
    EXPECT_EQ(second.ReadText("A", ""), "3");
    second.Close();
    EXPECT_EQ(Disk(), "[S]\r\nA=2");

    // A change made behind the holder's back is kept: the holder stops writing.
    std::ofstream(m_path, std::ios::binary | std::ios::in | std::ios::out) << "[S]\r\nA=edit";
    first.WriteText("A", "4");
    EXPECT_EQ(Disk(), "[S]\r\nA=edit");
    EXPECT_EQ(first.ReadText("A", ""), "4");
    first.Close();

    // Once the first copy is gone the file can be held again.
    SettingsStore third;
    Open(third);
    third.WriteText("A", "5");
    EXPECT_EQ(Disk(), "[S]\r\nA=5");
}

}  // namespace
}  // namespace qs
