#include <sys/stat.h>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "merge/merge_core.h"
#include "merge/merge_separator.h"
#include "merge_fixture.h"
#include "platform/native_names.h"
#include "support/conversions.h"
#include "support/faulty_file_system.h"

namespace qs::testing {
namespace {

const std::string kMark = "\xEF\xBB\xBF";

TEST(MergeOutputNaming, NameFromFirstMemberAndCount) {
    struct Row {
        const char* name;
        const char* first;
        std::size_t count;
        const char* expected;
    } rows[] = {
        {"chapter", "/d/书/第一章.txt", 12, "第一章等12个文件.txt"},
        {"one file", "/d/a.txt", 1, "a等1个文件.txt"},
        {"no extension has no trailing dot", "/d/README", 3, "README等3个文件"},
        {"leading dot only", "/d/.profile", 2, "等2个文件.profile"},
        {"several dots", "/d/a.b.c.txt", 4, "a.b.c等4个文件.txt"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(MergeOutputName(ParsePath(U(row.first)), row.count), U(row.expected)) << row.name;
    }
    // A name that would not fit in a folder entry loses the end of its base name, whole
    // characters only; the variant number and the extension stay.
    const Text wide = U(std::string(3 * 84, 'x').replace(0, 3, "字"));
    for (int variant : {1, 2, 12}) {
        const Text name = MergeOutputName(ParsePath("/d/" + wide + ".txt"), 7, variant);
        std::string native;
        ASSERT_TRUE(InternalToNative(name, native));
        EXPECT_LE(native.size(), 255u);
        EXPECT_GT(native.size(), 250u);
        const std::string tail = variant == 1 ? "" : " (" + std::to_string(variant) + ")";
        EXPECT_TRUE(name.starts_with(U("字xx"))) << variant;
        EXPECT_TRUE(name.ends_with(U("等7个文件" + tail + ".txt"))) << variant;
    }
    // A base name of which not one character fits gives way to the count alone.
    const Text ext = "." + Text(240, 'e');
    EXPECT_EQ(MergeOutputName(ParsePath("/d/" + U("中中") + ext), 3), U("等3个文件") + ext);
}

TEST(MergeOutputNaming, FolderBesideFirstOrInItsParent) {
    struct Row {
        const char* name;
        const char* first;
        bool parent;
        const char* expected;
    } rows[] = {
        {"beside", "/x/y/a.txt", false, "/x/y"},
        {"deep folder goes one up", "/x/y/a.txt", true, "/x"},
        {"folder in the root goes to the root", "/y/a.txt", true, ""},
        {"file in the root stays there", "/a.txt", true, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(MergeOutputFolder(ParsePath(U(row.first)), row.parent), U(row.expected))
            << row.name;
    }
}

using MergeCoreTest = MergeTest;

TEST_F(MergeCoreTest, OneFileGivesItsExactBytesInTheParentFolder) {
    const Text a = Put("d/a.txt", std::string("A\0B\r\n", 5));
    const MergeResult result = Merge({a});
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.outputPath, m_temp.File(U("a等1个文件.txt")));
    EXPECT_EQ(Read(U("a等1个文件.txt")), std::string("A\0B\r\n", 5));
    EXPECT_TRUE(Failures().empty());
}

TEST_F(MergeCoreTest, ExtensionlessFirstMemberBesideItself) {
    Params().saveInParentFolder = false;
    const Text readme = Put("d/README", "r");
    const Text b = Put("d/b.txt", "b");
    Merge({readme, b});
    EXPECT_EQ(Read(U("d/README等2个文件")), "rb");
}

TEST_F(MergeCoreTest, EachFileIsToldAsItBegins) {
    const Text a = Put("d/a.txt", "a");
    const Text b = Put(U("d/第二章.txt"), "b");
    Merge({a, b});
    EXPECT_EQ(events.started, (std::vector<Text>{"(1/2)a.txt", U("(2/2)第二章.txt")}));
}

TEST_F(MergeCoreTest, EmptyListChangesNothing) {
    EXPECT_FALSE(Merge({}).written);
    EXPECT_TRUE(events.started.empty());
    EXPECT_TRUE(Fs().List(m_temp.Path()).value().empty());
}

TEST_F(MergeCoreTest, SeparatorOnlyBetweenMembers) {
    Params().separatorText = "--";
    const Text a = Put("d/a.txt", "A");
    const Text empty = Put("d/e.txt", "");
    const Text missing = m_temp.File("d/missing.txt");
    const Text b = Put("d/b.txt", "B");
    Merge({a, empty, missing, b});
    EXPECT_EQ(Read(U("a等4个文件.txt")), "A------B");
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_EQ(Failures().at(0), U("无法读取：") + missing);
}

TEST_F(MergeCoreTest, SeparatorSources) {
    const Text sepFile = Put("sep.bin", std::string("\0|", 2));
    const Text zeroFile = Put("zero.bin", "");
    struct Row {
        const char* name;
        MergeSeparatorKind kind;
        Text text;
        Text path;
        std::string expected;
    } rows[] = {
        {"first start: empty string", MergeSeparatorKind::String, "", "", "AB"},
        {"line break is 0D 0A", MergeSeparatorKind::String, "\r\n", "", "A\r\nB"},
        {"backslash n stays two characters", MergeSeparatorKind::String, "\\n", "", "A\\nB"},
        {"file bytes, zero byte included", MergeSeparatorKind::File, "x", sepFile,
         std::string("A\0|B", 4)},
        {"0-byte file", MergeSeparatorKind::File, "x", zeroFile, "AB"},
        {"missing file", MergeSeparatorKind::File, "x", sepFile + "-gone", "AB"},
        {"empty path", MergeSeparatorKind::File, "x", "", "AB"},
        {"none", MergeSeparatorKind::None, "x", sepFile, "AB"},
    };
    int k = 0;
    for (const Row& row : rows) {
        Params().separatorKind = row.kind;
        Params().separatorText = row.text;
        Params().separatorPath = row.path;
        const Text folder = "u" + std::to_string(++k);
        const Text a = Put(folder + "/sub/a.txt", "A");
        const Text b = Put(folder + "/sub/b.txt", "B");
        Merge({a, b});
        EXPECT_EQ(Read(folder + U("/a等2个文件.txt")), row.expected) << row.name;
    }
}

TEST_F(MergeCoreTest, EncodingProcessing) {
    const std::string zhongUtf8 = "\xE4\xB8\xAD";  // 中
    const std::string wenGbk = "\xCE\xC4";         // 文
    const std::string ziUtf8 = "\xE5\xAD\x97";     // 字
    struct Row {
        const char* name;
        bool processing;
        std::vector<std::string> members;
        std::string expected;
    } rows[] = {
        {"UTF-8, raw, UTF-8: one mark at the start",
         true,
         {kMark + zhongUtf8, wenGbk, ziUtf8},
         kMark + zhongUtf8 + "\xE6\x96\x87" + ziUtf8},
        {"UTF-8 then raw stays in the internal code page",
         true,
         {kMark + zhongUtf8, wenGbk},
         "\xD6\xD0" + wenGbk},
        {"without processing the second mark stays in the middle",
         false,
         {kMark + zhongUtf8, kMark + ziUtf8},
         kMark + zhongUtf8 + kMark + ziUtf8},
        {"unmarked UTF-8 members stay unmarked", true, {zhongUtf8, ziUtf8}, zhongUtf8 + ziUtf8},
        {"a mark alone contributes nothing",
         true,
         {zhongUtf8 + "\xE6\x96\x87", kMark, "\xFF\xFE", zhongUtf8 + "a", "\xFE\xFF"},
         zhongUtf8 + "\xE6\x96\x87" + zhongUtf8 + "a"},
        {"zero byte of a member survives the re-encoding",
         true,
         {kMark + zhongUtf8, std::string("a\0b", 3) + ziUtf8},
         kMark + zhongUtf8 + std::string("a\0b", 3) + ziUtf8},
    };
    int k = 0;
    for (const Row& row : rows) {
        Params().processTextEncoding = row.processing;
        const Text folder = "e" + std::to_string(++k);
        TextList paths;
        for (std::size_t i = 0; i < row.members.size(); ++i) {
            paths.push_back(Put(folder + "/d/m" + std::to_string(i) + ".txt", row.members[i]));
        }
        Merge(paths);
        EXPECT_EQ(Read(folder + "/m0" + U("等") + std::to_string(paths.size()) + U("个文件.txt")),
                  row.expected)
            << row.name;
    }
}

TEST_F(MergeCoreTest, ReencodingKeepsAZeroByteSeparator) {
    Params().processTextEncoding = true;
    Params().separatorText = std::string("\0\r\n", 3);
    const Text a = Put("d/a.txt", kMark + "\xE4\xB8\xAD");
    const Text b = Put("d/b.txt", kMark + "\xE5\xAD\x97");
    Merge({a, b});
    EXPECT_EQ(Read(U("a等2个文件.txt")),
              kMark + "\xE4\xB8\xAD" + std::string("\0\r\n", 3) + "\xE5\xAD\x97");
}

// No character of a member changes without the message saying so, and no output carries a
// mark or declaration that its bytes contradict.
TEST_F(MergeCoreTest, WhatCannotBeConvertedIsListedNeverChanged) {
    Params().processTextEncoding = true;
    Params().deleteSources = true;
    const std::string zhong = "\xE4\xB8\xAD";  // 中
    const std::string big5Page =
        "<html><head><META charset='Big5'></head><body>\xC1\x63\xC5\xE9</body></html>";  // 繁體
    // 简体中文的文字，我们这里说的是简体中文。 in GBK: clearly GB18030, though Big5 decodes it too
    const std::string simplifiedGbk =
        "\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4\xB5\xC4\xCE\xC4\xD7\xD6\xA3\xAC\xCE\xD2\xC3\xC7\xD5\xE2"
        "\xC0\xEF\xCB\xB5\xB5\xC4\xCA\xC7\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4\xA1\xA3";
    const std::string tie = "\xB2\xC4\xA4\x40";  // 第一 in Big5, also GB18030
    const std::string big5PageAsUtf8 = ToUtf8Lossy(ConvertCharset(big5Page, "BIG5", "GB18030"));
    struct Row {
        const char* name;
        std::vector<std::string> members;
        std::string expected;
        std::vector<std::string> failures;  // label + "@" + member index, or "@out"
    } rows[] = {
        {"the last member's encoding cannot hold an earlier character: UTF-8 with its mark",
         {"\xF0\x9F\x98\x80", big5Page},  // 😀 has no Big5 form
         kMark + "\xF0\x9F\x98\x80" + big5PageAsUtf8,
         {"无法转换编码：@out"}},
        {"UTF-8 with a mark and an invalid byte: its damage is not converted, it is kept",
         {zhong, kMark + "a\xFF"},
         zhong,
         {"无法转换编码：@1", "未删除原文件：@1"}},
        {"UTF-16 with a broken pair: its damage is not converted, it is kept",
         {"\xFF\xFE\x3D\xD8\x61\x00", zhong},
         zhong,
         {"无法转换编码：@0", "未删除原文件：@0"}},
        {"a page declaring Big5 that holds UTF-8 is read as UTF-8",
         {"<meta charset=big5>" + zhong},
         "<meta charset=big5>" + zhong,
         {}},
        {"a Big5 declaration never heads an output in the internal code page",
         {big5Page, simplifiedGbk},
         kMark + big5PageAsUtf8 + ToUtf8Lossy(simplifiedGbk),
         {"无法转换编码：@out"}},
        {"a text as good in GB18030 as in Big5 takes its unit's Big5, and is no fact to delete on",
         {tie, big5Page},
         tie + big5Page,
         {"未删除原文件：@0"}},
        {"an empty or plain ASCII member is no evidence against the unit's Big5",
         {tie, "", "ascii", big5Page},
         tie + "ascii" + big5Page,
         {"未删除原文件：@0"}},
        {"such a text converted as the locale reads it is listed",
         {tie, kMark + zhong},
         kMark + ToUtf8Lossy(DecodeBytes(tie).text) + zhong,
         {"编码未能确定：@0", "未删除原文件：@0"}},
        {"bytes that are no text are left out and kept",
         {"\x80\xFF", kMark + zhong},
         kMark + zhong,
         {"无法识别编码：@0", "未删除原文件：@0"}},
    };
    int k = 0;
    for (const Row& row : rows) {
        const Text folder = "c" + std::to_string(++k);
        TextList paths;
        for (std::size_t i = 0; i < row.members.size(); ++i) {
            paths.push_back(Put(folder + "/d/m" + std::to_string(i) + ".txt", row.members[i]));
        }
        events.failures.clear();
        const MergeResult result = Merge(paths);
        EXPECT_EQ(Read(folder + "/m0" + U("等") + std::to_string(paths.size()) + U("个文件.txt")),
                  row.expected)
            << row.name;
        TextList expected;
        for (const std::string& failure : row.failures) {
            const std::size_t at = failure.find('@');
            const std::string which = failure.substr(at + 1);
            expected.push_back(U(failure.substr(0, at)) +
                               (which == "out" ? result.outputPath : paths[std::stoul(which)]));
        }
        EXPECT_EQ(Failures(), expected) << row.name;
    }
}

TEST_F(MergeCoreTest, StopAfterThirdOfTen) {
    Params().separatorText = "|";
    for (bool deleting : {false, true}) {
        Params().deleteSources = deleting;
        const Text folder = deleting ? "del" : "keep";
        TextList paths;
        for (int i = 1; i <= 10; ++i) {
            paths.push_back(Put(folder + "/d/f" + std::to_string(i) + ".txt", std::to_string(i)));
        }
        events.stop = false;
        AtPump(3, [this] { events.stop = true; });
        const MergeResult result = Merge(paths);
        EXPECT_EQ(result.outputPath, m_temp.File(folder + U("/f1等10个文件.txt")));
        EXPECT_EQ(Read(folder + U("/f1等10个文件.txt")), "1|2|3|") << folder;
        for (int i = 1; i <= 10; ++i) {
            const bool gone = deleting && i <= 3;
            EXPECT_EQ(Exists(folder + "/d/f" + std::to_string(i) + ".txt"), !gone)
                << folder << " file " << i;
        }
    }
}

// An earlier output merged again is a member like any other: the new output never
// replaces it, it takes the next free " (k)" name.
TEST_F(MergeCoreTest, OutputNeverReplacesAMember) {
    Params().saveInParentFolder = false;
    Params().deleteSources = true;
    struct Row {
        const char* name;
        const char* spelling;
    } rows[] = {{"same path", "/"}, {"same file, other spelling", "/./"}};
    int k = 0;
    for (const Row& row : rows) {
        const Text folder = "s" + std::to_string(++k);
        const Text a = Put(folder + "/a.txt", "A");
        Put(folder + U("/a等2个文件.txt"), "OLD");
        Put(folder + U("/a等2个文件 (2).txt"), "TAKEN");
        const Text earlier = m_temp.File(folder) + row.spelling + U("a等2个文件.txt");
        events.failures.clear();
        const MergeResult result = Merge({a, earlier});
        EXPECT_TRUE(result.written) << row.name;
        EXPECT_EQ(result.membersMerged, 2) << row.name;
        EXPECT_EQ(result.outputPath, m_temp.File(folder + U("/a等2个文件 (3).txt"))) << row.name;
        EXPECT_EQ(Read(folder + U("/a等2个文件 (3).txt")), "AOLD") << row.name;
        EXPECT_EQ(Read(folder + U("/a等2个文件 (2).txt")), "TAKEN") << row.name;
        EXPECT_FALSE(Exists(folder + "/a.txt")) << row.name;
        EXPECT_FALSE(Exists(folder + U("/a等2个文件.txt"))) << row.name;
        EXPECT_TRUE(Failures().empty()) << row.name;
    }
}

TEST_F(MergeCoreTest, FailedOutputKeepsTargetAndSources) {
    FaultyFileSystem faulty(Fs());
    ServicesOverride use(Platform{&faulty, nullptr, nullptr, nullptr});
    Params().deleteSources = true;
    const Text a = Put("d/a.txt", "A");
    const Text b = Put("d/b.txt", "B");
    Put(U("a等2个文件.txt"), "OLD");
    faulty.FailNth(FaultyFileSystem::Op::Commit, 1);
    const MergeResult result = Merge({a, b});
    EXPECT_FALSE(result.written);
    EXPECT_EQ(Read(U("a等2个文件.txt")), "OLD");
    EXPECT_TRUE(Exists("d/a.txt"));
    EXPECT_TRUE(Exists("d/b.txt"));
    auto entries = Fs().List(m_temp.Path());
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->size(), 2u) << "no temporary file is left";
    EXPECT_EQ(Failures(), (TextList{U("无法写入：") + result.outputPath, U("未删除原文件：") + a,
                                    U("未删除原文件：") + b}));
}

TEST_F(MergeCoreTest, OutputIsOnDiskBeforeMembersGo) {
    FaultyFileSystem faulty(Fs());
    ServicesOverride use(Platform{&faulty, nullptr, nullptr, nullptr});
    // Without deletion nothing is forced; with it the output and its folder, and when
    // either cannot be forced the members stay.
    for (int failingSync : {-1, 0, 1, 2}) {
        faulty.Reset();
        Params().deleteSources = failingSync >= 0;
        const Text a = Put("d/a.txt", "A");
        const Text b = Put("d/b.txt", "B");
        if (failingSync > 0) {
            faulty.FailNth(FaultyFileSystem::Op::Sync, failingSync);
        }
        const int before = faulty.Count(FaultyFileSystem::Op::Sync);
        Merge({a, b});
        EXPECT_EQ(faulty.Count(FaultyFileSystem::Op::Sync) - before,
                  failingSync < 0 ? 0 : (failingSync == 1 ? 1 : 2))
            << failingSync;
        EXPECT_EQ(Exists("d/a.txt"), failingSync != 0) << failingSync;
        EXPECT_EQ(Read(U("a等2个文件.txt")), "AB") << failingSync;
        events.failures.clear();
    }
}

TEST_F(MergeCoreTest, UncreatableOutputReadsNothing) {
    FaultyFileSystem faulty(Fs());
    ServicesOverride use(Platform{&faulty, nullptr, nullptr, nullptr});
    const Text a = Put("d/a.txt", "A");
    faulty.FailNth(FaultyFileSystem::Op::Create, 0);
    EXPECT_FALSE(Merge({a}).written);
    EXPECT_EQ(faulty.Count(FaultyFileSystem::Op::OpenRead), 0);
    EXPECT_EQ(Failures().size(), 1u);
}

TEST_F(MergeCoreTest, UnreadableMemberIsNotDeleted) {
    FaultyFileSystem faulty(Fs());
    ServicesOverride use(Platform{&faulty, nullptr, nullptr, nullptr});
    Params().deleteSources = true;
    const Text a = Put("d/a.txt", "A");
    const Text b = Put("d/b.txt", "BBBB");
    const Text c = Put("d/c.txt", "C");
    faulty.FailPath(FaultyFileSystem::Op::Read, "b.txt");
    const MergeResult result = Merge({a, b, c});
    EXPECT_TRUE(result.written);
    EXPECT_EQ(Read(U("a等3个文件.txt")), "AC");
    EXPECT_FALSE(Exists("d/a.txt"));
    EXPECT_TRUE(Exists("d/b.txt"));
    EXPECT_FALSE(Exists("d/c.txt"));
    EXPECT_EQ(Failures(), (TextList{U("无法读取：") + b, U("未删除原文件：") + b}));
}

TEST_F(MergeCoreTest, MemberFailingMidwayLeavesNoOutputAndDeletesNothing) {
    FaultyFileSystem faulty(Fs());
    ServicesOverride use(Platform{&faulty, nullptr, nullptr, nullptr});
    Params().deleteSources = true;
    const Text a = Put("d/a.txt", "A");
    const Text b = Put("d/b.txt", std::string(9 << 20, 'b'));
    // A copy is one read: a's goes through, b's stops halfway.
    faulty.FailNth(FaultyFileSystem::Op::Read, 2, FaultyFileSystem::Fault::ShortRead);
    const MergeResult result = Merge({a, b});
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(Exists(U("a等2个文件.txt")));
    EXPECT_FALSE(Exists(U("d/a等2个文件.txt")));
    EXPECT_TRUE(Exists("d/a.txt"));
    EXPECT_TRUE(Exists("d/b.txt"));
}

TEST_F(MergeCoreTest, ReadOnlySourceAndBigMember) {
    std::string big(9 << 20, 'x');  // more than two copy chunks
    big[0] = 'a';
    big.back() = 'z';
    const Text a = Put("d/a.txt", big);
    const Text b = Put("d/b.txt", "B");
    std::string native;
    ASSERT_TRUE(InternalToUtf8(a, native));
    ASSERT_EQ(::chmod(native.c_str(), 0444), 0);
    Merge({a, b});
    EXPECT_EQ(Read(U("a等2个文件.txt")), big + "B");
}

}  // namespace
}  // namespace qs::testing
