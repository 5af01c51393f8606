// The split and merge jobs on files and options they were not made for.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "support/engine_jobs.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

class JobBench {
public:
    JobBench() { h.PlainJobs(false); }
    SplitParams& Split() { return h.split.params; }
    std::string Native(const Text& path) { return ToUtf8Lossy(path); }
    // Every file of the folder but the source, in natural name order of the piece number.
    std::vector<std::string> Pieces(const std::string& base, const std::string& ext) {
        std::vector<std::string> pieces;
        for (int i = 1;; ++i) {
            std::ifstream in(Native(h.temp.Path()) + "/" + base + "_" + std::to_string(i) + ext,
                             std::ios::binary);
            if (!in) {
                break;
            }
            pieces.emplace_back(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
        }
        return pieces;
    }
    std::string Joined(const std::vector<std::string>& pieces) {
        std::string all;
        for (const auto& p : pieces) {
            all += p;
        }
        return all;
    }
    std::string Messages() { return h.Messages(); }
    EngineJobs h;
};

enum class Mode { Parts, Bytes, Lines, Chars, Separator };

struct OptionRow {
    const char* name;
    Mode mode;
    std::string first;    // part count, byte size, lower bound, separator
    std::string second;   // unit index, upper bound
    const char* refusal;  // the validation message, or nullptr
    int pieces;           // expected count; -1: any count of at least one
};

void PrintTo(const OptionRow& row, std::ostream* out) {
    *out << row.name;
}

const std::string kTen = "0123456789";
const std::string kMax = std::to_string(INT32_MAX);
const std::string kMin = std::to_string(INT32_MIN);

class SplitOptionBadInput : public ::testing::TestWithParam<OptionRow> {};

// Either refused with its message, or the pieces give the source back byte for byte; the
// source is never touched.
TEST_P(SplitOptionBadInput, RefusedOrSplitExactly) {
    const OptionRow& row = GetParam();
    JobBench b;
    // The numbers are read from their texts as the window's edits and the command line's
    // options read them.
    const auto number = [](const std::string& text) { return ParseLeadingInt(text); };
    switch (row.mode) {
        case Mode::Parts:
            b.Split().mode = SplitIntoPartsParams{number(row.first)};
            break;
        case Mode::Bytes:
            b.Split().mode = SplitBySizeParams{ParseLeadingFloat(row.first), std::stoi(row.second)};
            break;
        case Mode::Lines:
            b.Split().mode = SplitByLinesParams{number(row.first), number(row.second)};
            break;
        case Mode::Chars:
            b.Split().mode = SplitByCharsParams{number(row.first), number(row.second)};
            break;
        case Mode::Separator:
            b.Split().mode = SplitAtSeparatorParams{row.first};
            break;
    }
    b.h.temp.Write("a.txt", kTen);
    b.h.Split({b.h.temp.File("a.txt")});
    EXPECT_EQ(b.h.temp.Read("a.txt"), kTen);
    const auto pieces = b.Pieces("a", ".txt");
    if (row.refusal != nullptr) {
        EXPECT_NE(b.Messages().find(row.refusal), std::string::npos) << b.Messages();
        EXPECT_TRUE(pieces.empty());
        return;
    }
    if (row.pieces >= 0) {
        EXPECT_EQ(static_cast<int>(pieces.size()), row.pieces);
    } else {
        EXPECT_FALSE(pieces.empty());
    }
    // The separator belongs to no piece.
    EXPECT_EQ(b.Joined(pieces), row.mode == Mode::Separator && row.first == kTen ? "" : kTen);
}

INSTANTIATE_TEST_SUITE_P(
    Options, SplitOptionBadInput,
    ::testing::Values(
        OptionRow{"PartsIntMin", Mode::Parts, kMin, "", "份数必须大于0", 0},
        OptionRow{"PartsIntMax", Mode::Parts, kMax, "", nullptr, -1},
        OptionRow{"PartsBeyondIntMax", Mode::Parts, "99999999999999", "", nullptr, -1},
        OptionRow{"PartsText", Mode::Parts, "abc", "", "份数必须大于0", 0},
        // only the leading "1" of "1e-8" is a number: pieces of one byte
        OptionRow{"BytesTinyExponent", Mode::Bytes, "1e-8", "0", nullptr, 10},
        OptionRow{"BytesHugeExponent", Mode::Bytes, "1e30", "3", nullptr, 1},
        // beyond the range of the size's float: no size at all
        OptionRow{"BytesBeyondFloat", Mode::Bytes, "99999999999999999999999999999999999999999", "3",
                  "字节长度不能等于0", 0},
        OptionRow{"BytesNaN", Mode::Bytes, "NaN", "0", "字节长度不能等于0", 0},
        OptionRow{"BytesTrailingLetters", Mode::Bytes, "3.12abc", "1", nullptr, 1},
        OptionRow{"BytesBelowOne", Mode::Bytes, "0.0000001", "0", "字节长度不能等于0", 0},
        OptionRow{"LinesIntMin", Mode::Lines, kMin, "5", "行数至少 1", 0},
        OptionRow{"LinesIntMax", Mode::Lines, kMax, kMax, nullptr, 1},
        OptionRow{"LinesReversedExtremes", Mode::Lines, kMax, "1", nullptr, -1},
        OptionRow{"CharsIntMin", Mode::Chars, "1", kMin, "字数至少 1 个", 0},
        OptionRow{"CharsIntMax", Mode::Chars, kMax, kMax, nullptr, 1},
        OptionRow{"SeparatorLongerThanTheFile", Mode::Separator, kTen + "!", "", nullptr, 1},
        // the empty text before the separator is a piece; the empty rest after it is not
        OptionRow{"SeparatorIsTheFile", Mode::Separator, kTen, "", nullptr, 1}),
    [](const auto& row) { return std::string(row.param.name); });

// Three parts of nothing are three empty pieces; the empty source may then go, since
// nothing of it is lost, but it never goes without its pieces.
TEST(SplitFileBadInput, EmptyFileLosesNothing) {
    JobBench b;
    b.Split().mode = SplitIntoPartsParams{3};
    b.Split().deleteSources = true;
    b.h.temp.Write("a.txt", "");
    b.h.Split({b.h.temp.File("a.txt")});
    const auto pieces = b.Pieces("a", ".txt");
    EXPECT_EQ(b.Joined(pieces), "");
    EXPECT_TRUE(fs::exists(b.Native(b.h.temp.File("a.txt"))) || pieces.size() == 3u);
}

TEST(SplitFileBadInput, MarkOnlyFileInTheLineModeKeepsItsBytes) {
    JobBench b;
    b.Split().mode = SplitByLinesParams{1, 1};
    b.Split().deleteSources = true;
    b.h.temp.Write("a.txt", "\xEF\xBB\xBF");
    b.h.Split({b.h.temp.File("a.txt")});
    // Either nothing came of it and the source stays, or its one piece is the same mark.
    const auto pieces = b.Pieces("a", ".txt");
    if (fs::exists(b.Native(b.h.temp.File("a.txt")))) {
        EXPECT_EQ(b.h.temp.Read("a.txt"), "\xEF\xBB\xBF");
    } else {
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_EQ(pieces[0].substr(0, 3), "\xEF\xBB\xBF");
    }
}

// Binary data through the character mode: no text, so no pieces, and the file as it was.
TEST(SplitFileBadInput, ExecutableAndRandomBytesInTheCharacterMode) {
    std::ifstream in("/bin/true", std::ios::binary);
    const std::string elf{std::istreambuf_iterator<char>(in), {}};
    std::mt19937 gen(11);
    std::string random(50000, '\0');
    for (char& c : random) {
        c = static_cast<char>(gen() % 3 == 0 ? 0 : gen() & 0xFF);
    }
    for (const std::string* bytes : {&elf, static_cast<const std::string*>(&random)}) {
        JobBench b;
        b.Split().mode = SplitByCharsParams{100, 3000};
        b.h.temp.Write("a.bin", *bytes);
        b.h.Split({b.h.temp.File("a.bin")});
        EXPECT_TRUE(b.Pieces("a", ".bin").empty());
        EXPECT_EQ(b.h.temp.Read("a.bin"), *bytes);
    }
}

TEST(SplitFileBadInput, LoneLeadByteSeparatorCutsNoCharacter) {
    JobBench b;
    b.Split().mode = SplitAtSeparatorParams{"\xFE"};
    // FE 41 is one character, the FE at the end stands alone: no GB18030 text, and no
    // separator is looked for in it; the file is left as it is.
    b.h.temp.Write("a.txt",
                   "ab\xFE"
                   "Acd\xFE");
    b.h.Split({b.h.temp.File("a.txt")});
    EXPECT_TRUE(b.Pieces("a", ".txt").empty());
    EXPECT_EQ(b.h.temp.Read("a.txt"),
              "ab\xFE"
              "Acd\xFE");
}

// One line of 24 MB without a break: one piece, the line itself (and at most a break).
TEST(SplitFileBadInput, OneHugeLineWithoutABreak) {
    JobBench b;
    b.Split().mode = SplitByLinesParams{1, 1};
    const std::string line(24u << 20, 'x');
    b.h.temp.Write("a.txt", line);
    b.h.Split({b.h.temp.File("a.txt")});
    const auto pieces = b.Pieces("a", ".txt");
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].substr(0, line.size()), line);
    EXPECT_LE(pieces[0].size(), line.size() + 2);
}

TEST(MergeBadInput, EmptySeparatorFileAddsNothing) {
    JobBench b;
    b.h.temp.Write("sep.bin", "");
    b.h.merge.params.separatorKind = MergeSeparatorKind::File;
    b.h.merge.params.separatorPath = b.h.temp.File("sep.bin");
    b.h.temp.Write("a.txt", "A");
    b.h.temp.Write("b.txt", "B");
    b.h.Merge({b.h.temp.File("a.txt"), b.h.temp.File("b.txt")});
    EXPECT_EQ(b.h.temp.Read(U("a等2个文件.txt")), "AB");
}

TEST(MergeBadInput, BinaryMembersAreCopiedExactly) {
    std::ifstream in("/bin/true", std::ios::binary);
    const std::string elf{std::istreambuf_iterator<char>(in), {}};
    for (const bool encoding : {false, true}) {
        JobBench b;
        b.h.merge.params.processTextEncoding = encoding;
        b.h.temp.Write("a.bin", elf);
        b.h.temp.Write("b.bin", std::string(3000, '\0'));
        b.h.Merge({b.h.temp.File("a.bin"), b.h.temp.File("b.bin")});
        // As text they are no text: nothing of them goes into the output.
        EXPECT_EQ(b.h.temp.Read(U("a等2个文件.bin")), encoding ? "" : elf + std::string(3000, '\0'))
            << "encoding " << encoding;
        EXPECT_EQ(b.h.temp.Read("a.bin"), elf);
    }
}

struct NameRow {
    const char* name;
    std::string file;  // UTF-8
};

void PrintTo(const NameRow& row, std::ostream* out) {
    *out << row.name;
}

class FileNameBadInput : public ::testing::TestWithParam<NameRow> {};

// Any name the file system takes: split into numbered pieces and merged; the source is
// untouched and the outputs hold its bytes.
TEST_P(FileNameBadInput, SplitAndMergeByName) {
    const NameRow& row = GetParam();
    JobBench b;
    b.Split().mode = SplitIntoPartsParams{2};
    const Text file = U(row.file);
    b.h.temp.Write(file, "abcd");
    b.h.Split({b.h.temp.File(file)});
    EXPECT_EQ(b.h.temp.Read(file), "abcd");
    std::string joined;
    int pieces = 0;
    for (const auto& e : fs::directory_iterator(b.Native(b.h.temp.Path()))) {
        const std::string n = e.path().filename().string();
        if (n != row.file && e.is_regular_file()) {
            ++pieces;
        }
    }
    EXPECT_EQ(pieces, 2) << b.Messages();
    b.h.events.failures.clear();  // what the merge tells is its own

    b.h.Merge({b.h.temp.File(file), b.h.temp.File(file)});
    bool merged = false;
    for (const auto& e : fs::directory_iterator(b.Native(b.h.temp.Path()))) {
        if (e.path().filename().string().find("等2个文件") != std::string::npos) {
            std::ifstream in(e.path(), std::ios::binary);
            merged = std::string(std::istreambuf_iterator<char>(in), {}) == "abcdabcd";
        }
    }
    EXPECT_TRUE(merged || !b.Messages().empty()) << b.Messages();
}

INSTANTIATE_TEST_SUITE_P(Names, FileNameBadInput,
                         ::testing::Values(NameRow{"Spaces", "  a  b  .txt"},
                                           NameRow{"Quotes", "'q\"uote'.txt"},
                                           NameRow{"LeadingDashes", "--rf -x.txt"},
                                           NameRow{"Newline", "a\nb.txt"},
                                           NameRow{"Punctuation", "!#$%&()*?[]{};,<>|~`@^.txt"},
                                           NameRow{"Name255Bytes", std::string(251, 'n') + ".txt"},
                                           NameRow{"Chinese255Bytes",
                                                   [] {
                                                       std::string s;
                                                       for (int i = 0; i < 83; ++i) {
                                                           s += "中";
                                                       }
                                                       return s + ".tx";
                                                   }()}),
                         [](const auto& row) { return std::string(row.param.name); });

// A path of about 4000 bytes: whatever fits is written, whatever does not is reported, and
// the source stays.
TEST(DeepPathBadInput, SplitInAFolderNearThePathLimit) {
    JobBench b;
    b.Split().mode = SplitIntoPartsParams{2};
    std::string deep = b.Native(b.h.temp.Path());
    Text internal = b.h.temp.Path();
    while (deep.size() < 3900) {
        deep += "/" + std::string(200, 'd');
        internal += "/" + std::string(200, 'd');
    }
    fs::create_directories(deep);
    const std::string source = deep + "/" + std::string(4050 - deep.size(), 's') + ".txt";
    {
        std::ofstream out(source, std::ios::binary);
        out << "abcd";
    }
    const Text sourceInternal = internal + source.substr(deep.size());
    b.h.Split({sourceInternal});
    std::ifstream in(source, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "abcd");
    int pieces = 0;
    for (const auto& e : fs::directory_iterator(deep)) {
        pieces += e.path().string() != source ? 1 : 0;
    }
    EXPECT_TRUE(pieces == 2 || !b.Messages().empty()) << b.Messages();
}

}  // namespace
}  // namespace qs
