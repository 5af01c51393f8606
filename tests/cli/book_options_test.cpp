// Book options of the command line (chapters, output encoding, 繁简), run as a program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <zip.h>
#include <nlohmann/json.hpp>

#include "platform/chinese_converter.h"
#include "platform/services.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Outcome {
    int status;
    std::string out, err;
};

// args are shell words, already quoted where needed.
Outcome Program(const fs::path& dir, const std::string& args) {
    const std::string command =
        "cd '" + dir.string() + "' && LANG=C.UTF-8 " QS_PROGRAM " " + args + " >../out 2>../err";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir.parent_path() / "out"),
            Slurp(dir.parent_path() / "err")};
}

std::string Book(int chapters) {
    std::string book = "书名\r\n\r\n";
    for (int n = 1; n <= chapters; ++n) {
        book += "第" + std::to_string(n) + "章 风起\r\n　　第一次见面，他就笑了。\r\n\r\n";
    }
    return book;
}

class BookOptionsTest : public ::testing::Test {
protected:
    BookOptionsTest() : dir(fs::path(temp.Path()) / "w") { fs::create_directories(dir); }
    void Put(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    TempFolder temp;
    fs::path dir;
};

TEST_F(BookOptionsTest, ChaptersSplitAndMergeBackToTheSameBytes) {
    const std::string book = Book(30);
    Put("book.txt", book);
    const Outcome dry = Program(dir, "split --chapters --chapters-per-piece 7 --dry-run book.txt");
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("book_2.txt\t"), std::string::npos);
    EXPECT_NE(dry.out.find("\t第8章 风起\n"), std::string::npos) << dry.out;
    EXPECT_FALSE(fs::exists(dir / "book"));

    ASSERT_EQ(Program(dir, "split --name-from-text --chapters book.txt").status, 0);
    EXPECT_TRUE(fs::exists(dir / "book" / "000 书名.txt"));
    EXPECT_TRUE(fs::exists(dir / "book" / "030 第30章 风起.txt"));
    fs::remove(dir / "book.txt");
    const Outcome merged = Program(dir, "merge book");
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(Slurp(dir / "000 书名等31个文件.txt"), book);
    EXPECT_EQ(Program(dir, "split '--chapters=([' x.txt").status, 2);
}

TEST_F(BookOptionsTest, OutputEncodingIsExactOrTheOutputIsMissing) {
    Put("a.txt", "第1章 中文\r\n甲\r\n第2章 笑😀\r\n乙\r\n");
    struct Row {
        const char* name;
        const char* mark;
        bool second;  // the piece with the emoji is written
    } rows[] = {
        {"utf-8", "", true},
        {"utf-8-mark", "\xEF\xBB\xBF", true},
        {"gb18030", "", true},
        {"gbk", "", false},
        {"big5", "", false},
        {"big5-hkscs", "", false},
        {"utf-16le", "\xFF\xFE", true},
        {"utf-16be", "\xFE\xFF", true},
    };
    for (const Row& row : rows) {
        fs::remove_all(dir / "a");
        const Outcome run =
            Program(dir, std::string("split --chapters --to ") + row.name + " a.txt");
        EXPECT_EQ(run.status, row.second ? 0 : 1) << row.name << run.err;
        const std::string first = Slurp(dir / "a" / "a_1.txt");
        EXPECT_EQ(first.substr(0, std::string(row.mark).size()), row.mark) << row.name;
        EXPECT_EQ(fs::exists(dir / "a" / "a_2.txt"), row.second) << row.name;
        if (!row.second) {
            EXPECT_NE(run.err.find("无法转换编码：“😀”"), std::string::npos) << row.name << run.err;
            EXPECT_EQ(first.find('?'), std::string::npos);
        }
    }
    EXPECT_EQ(Program(dir, "merge --to latin1 a").status, 2);
}

TEST_F(BookOptionsTest, ChineseConversionBothWays) {
    if (!Zh().Available()) {
        EXPECT_EQ(Program(dir, "merge --zh s2t .").status, 2);
        GTEST_SKIP() << "built without OpenCC";
    }
    fs::create_directories(dir / "s");
    std::ofstream(dir / "s" / "1.txt", std::ios::binary) << "汉字简体，头发。";
    ASSERT_EQ(Program(dir, "merge --zh s2t --in-folder s").status, 0);
    EXPECT_EQ(Slurp(dir / "s" / "1等1个文件.txt"), "漢字簡體，頭髮。");
    Put("t.txt", "漢字簡體");
    ASSERT_EQ(Program(dir, "split --chapters --zh t2s --no-subfolder t.txt").status, 0);
    EXPECT_EQ(Slurp(dir / "t_1.txt"), "汉字简体");
}

// The named entry of a zip archive; empty when it cannot be read.
std::string ZipEntry(zip_t* zip, const char* name) {
    zip_stat_t stat;
    zip_file_t* file = zip_stat(zip, name, 0, &stat) == 0 ? zip_fopen(zip, name, 0) : nullptr;
    std::string bytes;
    if (file != nullptr) {
        bytes.resize(stat.size);
        if (zip_fread(file, bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) {
            bytes.clear();
        }
        zip_fclose(file);
    }
    return bytes;
}

std::size_t Count(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++n;
    }
    return n;
}

// A GBK novel of 40 chapters as a book for e-readers (繁简-converted where the program can):
// epubcheck finds nothing wrong, the title page comes first, the table of contents lists
// every heading. A large text without headings is written as found but reported, in the
// dry run too, and the run still succeeds.
TEST_F(BookOptionsTest, EpubBookIsValidAndUncutBooksAreReported) {
    std::string novel = Book(40);
    novel.insert(novel.find("第7章"), "　　<b>&amp; \"引\" \x01</b>\r\n");
    Put("book.txt", U(novel));  // GBK
    const bool zh = Zh().Available();
    const Outcome dry = Program(dir, std::string("split --chapters --epub --dry-run ") +
                                         (zh ? "--zh s2t " : "") + "book.txt");
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("book/book.epub\t"), std::string::npos) << dry.out;
    EXPECT_FALSE(fs::exists(dir / "book"));
    const Outcome run = Program(
        dir, std::string("split --chapters --epub ") + (zh ? "--zh s2t " : "") + "book.txt");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("book/book.epub\t"), std::string::npos) << run.out;
    const fs::path epub = dir / "book" / "book.epub";
    ASSERT_TRUE(fs::exists(epub));
    EXPECT_FALSE(fs::exists(dir / "book" / "book_1.txt"));

    // The jar is run by java: a container may not run it as a program.
    const std::string check = "java -jar \"$(readlink -f \"$(command -v epubcheck)\")\" -q '" +
                              epub.string() + "' >'" + (dir.parent_path() / "check").string() +
                              "' 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0)
        << "epubcheck (installed by scripts/setup.sh) missing or failed:\n"
        << Slurp(dir.parent_path() / "check");

    int error = 0;
    zip_t* zip = zip_open(epub.c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(zip, nullptr);
    const std::string opf = ZipEntry(zip, "OEBPS/content.opf");
    const std::string nav = ZipEntry(zip, "OEBPS/nav.xhtml");
    const std::string sixth = ZipEntry(zip, "OEBPS/c6.xhtml");
    zip_close(zip);
    EXPECT_NE(opf.find(zh ? "<dc:title>書名</dc:title>" : "<dc:title>书名</dc:title>"),
              std::string::npos);
    EXPECT_NE(opf.find("<spine toc=\"ncx\">\n<itemref idref=\"title\"/>\n<itemref idref=\"c1\"/>"),
              std::string::npos);
    EXPECT_EQ(Count(nav, "<li>"), 41u);
    EXPECT_NE(nav.find(zh ? ">第40章 風起</a>" : ">第40章 风起</a>"), std::string::npos);
    EXPECT_NE(sixth.find("&lt;b&gt;&amp;amp; &quot;引&quot; &lt;/b&gt;"), std::string::npos)
        << sixth;
    EXPECT_EQ(Program(dir, "split --epub book.txt").status, 2);
    EXPECT_EQ(Program(dir, "split --chapters --epub --to gbk book.txt").status, 2);

    std::string plain = "书名\r\n第一章 开始\r\n";
    while (plain.size() < 150 * 1024) {
        plain += "　　他走了很远的路，终于到了家。\r\n";
    }
    Put("plain.txt", plain);
    const Outcome uncut = Program(dir, "split --chapters --dry-run --json plain.txt");
    EXPECT_EQ(uncut.status, 0);
    EXPECT_NE(uncut.out.find("\"warnings\":[{\"headings\":1,"), std::string::npos) << uncut.out;
    const Outcome told = Program(dir, "split --chapters plain.txt");
    EXPECT_EQ(told.status, 0);
    EXPECT_NE(told.err.find("does not look cut into chapters: "), std::string::npos) << told.err;
    EXPECT_TRUE(fs::exists(dir / "plain" / "plain_2.txt"));
}

// Past a limit on the size of files (ulimit -f) a write fails: every output it stops, a
// book's too, is reported with the system's reason, the source is kept, and the program is
// not ended by the signal that the limit sends.
TEST_F(BookOptionsTest, OutputsPastAFileSizeLimitAreToldWithTheirReason) {
    // Chapters of letters that do not compress, so that the book is as large as the text.
    std::string book = Book(30);
    unsigned state = 1;
    for (std::size_t at = book.find("\r\n\r\n"); at != std::string::npos;
         at = book.find("\r\n\r\n", at + 4004)) {
        std::string letters(4000, 'a');
        for (char& c : letters) {
            c = static_cast<char>('a' + (state = state * 1103515245u + 12345u) % 26);
        }
        book.insert(at, letters);
    }
    Put("book.txt", book);
    for (const char* mode : {"--parts 2", "--chapters --epub"}) {
        const std::string command = "cd '" + dir.string() +
                                    "' && ulimit -f 32 && LANG=C.UTF-8 " QS_PROGRAM
                                    " split --json --delete-sources " +
                                    mode + " book.txt >../out 2>../err";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << mode;
        EXPECT_EQ(WEXITSTATUS(status), 1) << mode << Slurp(dir.parent_path() / "err");
        const auto report = nlohmann::json::parse(Slurp(dir.parent_path() / "out"));
        ASSERT_FALSE(report["failures"].empty()) << mode;
        EXPECT_EQ(report["failures"][0]["errno"], "EFBIG") << mode;
        EXPECT_TRUE(report["deleted"].empty()) << mode;
        EXPECT_TRUE(fs::exists(dir / "book.txt")) << mode;
        fs::remove_all(dir / "book");
    }
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

// Real web novels and classics, where the checkout has them beside it: the contents the dry
// run finds must have as many entries as each book's heading count.
TEST_F(BookOptionsTest, RealNovelsGetTheirWholeContents) {
    const struct {
        const char* file;
        std::size_t entries;
    } books[] = {
        {"canghaihua_gbk.txt", 45},     {"douluo_shenjie_gb2312.txt", 120},
        {"fengshen_big5.txt", 100},     {"ganshi_biji_utf8.txt", 64},
        {"guangzhizi_gbk.txt", 369},    {"guichuideng_jingjue_gbk.txt", 34},
        {"longzu2_gb18030.txt", 20},    {"luxun_quanji_utf8bom.txt", 300},
        {"shuihu_utf8.txt", 71},        {"weiwei_yixiao_gbk.txt", 49},
        {"yaolao_chuanqi_gbk.txt", 42},
    };
    if (!fs::exists(QS_NOVELS)) {
        GTEST_SKIP() << "no novels beside the checkout";
    }
    for (const auto& book : books) {
        const fs::path path = fs::path(QS_NOVELS) / book.file;
        const Outcome dry =
            Program(dir, "split --chapters --dry-run --json '" + path.string() + "'");
        ASSERT_EQ(dry.status, 0) << book.file << dry.err;
        const auto report = nlohmann::json::parse(dry.out);
        EXPECT_EQ(report["sources"][0]["toc"].size(), book.entries) << book.file;
    }
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

// A rule list as readers keep it: the enabled rule that fits is used, and alone it means a
// split at chapters; with another mode it is refused rather than replacing it.
TEST_F(BookOptionsTest, ChapterRulesPerVolumeAndMergeInHeadingOrder) {
    std::string ruled = "书名\n\n";
    for (int n = 1; n <= 12; ++n) {
        ruled += "§" + std::to_string(n) + " 风起\n　　第一次见面，他就笑了。他说明天再来。\n\n";
    }
    Put("ruled.txt", ruled);
    Put("rules.json",
        R"([{"name":"关闭","rule":"^书","example":"书名","serialNumber":1,"enable":false},
            {"name":"节号","rule":"^§\\d+","example":"§12 标题","serialNumber":2,"enable":true}])");
    const Outcome dry = Program(dir, "split --chapter-rules rules.json --dry-run --json ruled.txt");
    ASSERT_EQ(dry.status, 0) << dry.err;
    const auto source = nlohmann::json::parse(dry.out)["sources"][0];
    EXPECT_EQ(source["rule"], "节号");
    EXPECT_EQ(source["toc"].size(), 12u);
    EXPECT_EQ(Program(dir, "split --lines 5 --chapter-rules rules.json ruled.txt").status, 2);
    Put("bad.json", R"([{"name":"坏","rule":"(","enable":true}])");
    EXPECT_EQ(Program(dir, "split --chapter-rules bad.json ruled.txt").status, 2);

    std::string volumes = "书名\n\n";
    for (int v = 1; v <= 3; ++v) {
        volumes += "第" + std::to_string(v) + "卷 山河\n\n";
        for (int n = 1; n <= 4; ++n) {
            volumes += "第" + std::to_string(n) + "章 风起\n　　第一次见面，他就笑了。\n\n";
        }
    }
    Put("volumes.txt", volumes);
    ASSERT_EQ(Program(dir, "split --chapters --per-volume volumes.txt").status, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "volumes"), {}), 4);  // title page too

    // Chapter files under names that say nothing of their order come back as the book.
    const std::string book = Book(25);
    Put("book.txt", book);
    ASSERT_EQ(Program(dir, "split --chapters --name-from-text book.txt").status, 0);
    fs::create_directories(dir / "shuffled");
    int k = 0;
    for (const auto& piece : fs::directory_iterator(dir / "book")) {
        fs::copy_file(piece.path(),
                      dir / "shuffled" / (std::to_string((++k * 7919) % 101) + ".txt"));
    }
    const Outcome order =
        Program(dir, "merge --order headings --in-folder --dry-run --json shuffled");
    ASSERT_EQ(order.status, 0) << order.err;
    const auto unit = nlohmann::json::parse(order.out)["ordered"][0];
    EXPECT_EQ(unit["members"].size(), 26u);
    EXPECT_EQ(unit["toc"].size(), 25u);
    EXPECT_EQ(unit["warnings"].size(), 0u);
    ASSERT_EQ(Program(dir, "merge --order headings --in-folder shuffled").status, 0);
    bool same = false;
    for (const auto& f : fs::directory_iterator(dir / "shuffled")) {
        same = same ||
               (f.path().string().find("个文件") != std::string::npos && Slurp(f.path()) == book);
    }
    EXPECT_TRUE(same);
}

}  // namespace
}  // namespace qs
