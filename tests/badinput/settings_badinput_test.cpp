// The settings store opened on files it did not write.
#include <gtest/gtest.h>

#include <random>

#include "platform/services.h"
#include "settings/ini_store.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

struct IniRow {
    const char* name;
    std::string file;
    std::string section;
    std::string key;
    std::string expected;  // read before any write; "<d>" for the default
};

void PrintTo(const IniRow& row, std::ostream* out) {
    *out << row.name;
}

std::string Binary() {
    std::mt19937 gen(3);
    std::string s(2000, '\0');
    for (char& c : s) {
        c = static_cast<char>(gen() & 0xFF);
    }
    return s;
}

std::string Enormous() {
    std::string s = "[S]";
    for (int i = 0; i < 400000; ++i) {
        s += "\r\nkey" + std::to_string(i) + "=value";
    }
    return s + "\r\nlast=found";
}

class IniBadInput : public ::testing::TestWithParam<IniRow> {};

// Reads what the file says, then a write lands, the file equals the copy, the value reads
// back, and every other byte of the file is still there.
TEST_P(IniBadInput, ReadsSoundlyAndWritesWithoutDamage) {
    const IniRow& row = GetParam();
    TempFolder temp;
    const Text path = temp.File("Qirnsplit.ini");
    temp.Write("Qirnsplit.ini", row.file);
    SettingsStore store;
    ASSERT_TRUE(store.OpenFile(path));
    store.SetSection(row.section);
    EXPECT_EQ(store.ReadText(row.key, "<d>"), row.expected);

    store.SetSection("W");
    ASSERT_TRUE(store.WriteText("k", "written"));
    EXPECT_EQ(temp.Read("Qirnsplit.ini"), store.Copy());
    EXPECT_EQ(store.ReadText("k", "<d>"), "written");
    EXPECT_NE(store.Copy().find(row.file), std::string::npos) << "old content was damaged";
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniBadInput,
    ::testing::Values(
        IniRow{"Empty", "", "S", "k", "<d>"},
        IniRow{"TruncatedInTheValue", "[S]\r\nk=12", "S", "k", "12"},
        IniRow{"TruncatedInTheHeader", "[S]\r\nk=1\r\n[T", "S", "k", "1"},
        IniRow{"Binary", Binary(), "S", "k", "<d>"},
        IniRow{"Enormous", Enormous(), "S", "last", "found"},
        IniRow{"HeaderWithoutBracket", "[S\r\nk=v", "S", "k", "<d>"},
        IniRow{"DuplicateSectionsFirstWins", "[S]\r\nk=1\r\n[S]\r\nk=2", "S", "k", "1"},
        IniRow{"DuplicateKeysFirstWins", "[S]\r\nk=1\r\nk=2", "S", "k", "1"},
        IniRow{"CrWithoutLf", "[S]\rk=1\r", "S", "k", "<d>"},
        IniRow{"LfWithoutCr", "[S]\nk=1\n", "S", "k", "<d>"},
        // "┊*┊" stands for a line break
        IniRow{"EscapedLineBreak", "[S]\r\nk=" + U("a┊*┊b"), "S", "k", "a\r\nb"},
        IniRow{"NulBytes", std::string("[S]\r\nk=a\0b", 10), "S", "k", std::string("a\0b", 3)},
        // 81 is a lead byte without its trail: an ordinary byte of the name
        IniRow{"InvalidLeadByteInKey", "[S]\r\n\x81=v", "S", "\x81", "v"},
        IniRow{"InvalidBytesInSection", "[\xFF\xFF]\r\nk=v", "\xFF\xFF", "k", "v"}),
    [](const auto& row) { return std::string(row.param.name); });

struct WriteRow {
    const char* name;
    std::string section;
    std::string key;
    std::string value;
    bool accepted;
};

void PrintTo(const WriteRow& row, std::ostream* out) {
    *out << row.name;
}

class IniBadWrite : public ::testing::TestWithParam<WriteRow> {};

// Names and values that would break the file's lines are refused and change nothing; the
// others read back.
TEST_P(IniBadWrite, RefusedOrReadBack) {
    const WriteRow& row = GetParam();
    TempFolder temp;
    const std::string before = "[S]\r\nk=old\r\n[T]\r\nx=1";
    temp.Write("Qirnsplit.ini", before);
    SettingsStore store;
    ASSERT_TRUE(store.OpenFile(temp.File("Qirnsplit.ini")));
    store.SetSection(row.section);
    EXPECT_EQ(store.WriteText(row.key, row.value), row.accepted);
    EXPECT_EQ(temp.Read("Qirnsplit.ini"), store.Copy());
    if (row.accepted) {
        EXPECT_EQ(store.ReadText(row.key, "<d>"), row.value);
    } else {
        EXPECT_EQ(store.Copy(), before);
    }
    store.SetSection("T");
    EXPECT_EQ(store.ReadText("x", "<d>"), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Writes, IniBadWrite,
    ::testing::Values(WriteRow{"LeadByteThenLineBreak", "S", "k", "a\x81\r\n[T]\r\nx=2", false},
                      WriteRow{"ValueWithLineBreaks", "S", "k", "a\r\nb\r\n", true},
                      WriteRow{"LoneLeadByteAtEnd", "S", "k", "v\x81", true},
                      WriteRow{"KeyWithEquals", "S", "a=b", "v", false},
                      WriteRow{"KeyLikeAHeader", "S", "[T]", "v", false},
                      WriteRow{"SectionWithBracket", "S]", "k", "v", false},
                      WriteRow{"SectionWithLineBreak", "S\r\n", "k", "v", false},
                      WriteRow{"InvalidGb18030Key", "S", "\xFF\xFE", "v", true},
                      WriteRow{"InvalidGb18030Value", "S", "k", "\x80\xFF\x81", true}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace qs
