#include "job/book_contents.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "job/chapter_heading.h"

namespace qs {
namespace {

// Lines of real books, each with where it stands (file of ../shared/novels: line), and what
// a line would be as a heading by its shape alone: the family, its number, whether the
// shape alone makes it one. The book's evidence decides the rest (BookEvidenceTest).
TEST(HeadingShapeTest, RealHeadingsAndDecoys) {
    struct Row {
        const char* from;
        const char* line;
        const char* form;  // nullptr: never a heading
        long long number;  // -1: none
        bool strong;
    };
    const Row rows[] = {
        {"douluo_shenjie_gb2312.txt:7", "第001章神界委员会", "第章", 1, true},
        {"douluo_shenjie_gb2312.txt:5747", "第103章我们会回来的！", "第章", 103, true},
        {"longzu1_gbk.txt:6", "　　第一幕 卡塞尔之门·Cassell College", "第幕", 1, true},
        {"longzu1_gbk.txt:8", "　　1.路明非", "N.", 1, false},
        {"longzu1_gbk.txt:5741", "　　【1】潜入", "[N]", 1, false},
        {"longzu1_gbk.txt:5739", "　　第七幕完", nullptr, -1, false},
        {"longzu2_gb18030.txt:9555", "　　第十五幕·首杀计划", "第幕", 15, true},
        {"longzu2_gb18030.txt:47", "尾声 每个人心中都有个死小孩 ", "named", -1, true},
        {"weiwei_yixiao_gbk.txt:5", "part1 被抛弃了>______<", "part", 1, false},
        {"weiwei_yixiao_gbk.txt:2859", "22", "N", 22, false},
        {"weiwei_yixiao_gbk.txt:8107", "番外1 A大美女排行榜", "named", 1, true},
        {"weiwei_yixiao_gbk.txt:8149", "番外2：大神宿舍的排行", "named", 2, true},
        {"weiwei_yixiao_gbk.txt:193", "大神啊！", nullptr, -1, false},
        {"canghaihua_gbk.txt:69", "第一章", "第章", 1, true},
        {"canghaihua_gbk.txt:1393", "2、吴邪的破局", "N、", 2, false},
        {"ganshi_biji_utf8.txt:4", "1  相识", "N ", 1, false},
        {"ganshi_biji_utf8.txt:1308", "13 断头灯 上", "N ", 13, false},
        {"ganshi_biji_utf8.txt:86", "    2.", "N.", 2, false},
        {"shuihu_utf8.txt:1", "楔子　張天師祈禳瘟疫　洪太尉誤走妖魔", "named", -1, true},
        {"shuihu_utf8.txt:146", "第一回　王教頭私走延安府　九紋龍大鬧史家村", "第回", 1, true},
        {"guangzhizi_gbk.txt:4", "第一卷　初级魔法学院 ", "第卷", 1, true},
        {"guangzhizi_gbk.txt:1774",
         "第十二章　在遇海月 [更多精彩，更多好书，尽在[5 １ 7 Ｚ . c Ｏ m]", "第章", 12, true},
        {"yaolao_chuanqi_gbk.txt:7", "【药老传奇】【第一辑 初露锋芒】", "第辑", 1, true},
        {"yaolao_chuanqi_gbk.txt:2781", "【药老传奇】【第二集 出逃异族】", "第集", 2, true},
        {"guichuideng_jingjue_gbk.txt:4", "　　引子", "named", -1, true},
        {"luxun_quanji_utf8bom.txt:24", "第2章 狂人日记(1)", "第章", 2, true},
        {"longzu2_gb18030.txt:1405", "第四节……“英雄”救“美”", "第节", 4, true},
        {"made up", "第四十集第四十集", "第集", 40, true},
        {"made up", "第一次见面，他就笑了。", nullptr, -1, false},
        {"made up", "第一集团军开上去了", nullptr, -1, false},
        {"made up", "1.5公斤的米", nullptr, -1, false},
        {"made up", "12345 不是章号", nullptr, -1, false},
    };
    for (const Row& row : rows) {
        const std::optional<HeadingShape> shape = ShapeOfLine(U(row.line));
        ASSERT_EQ(shape.has_value(), row.form != nullptr) << row.from << ": " << row.line;
        if (!shape) {
            continue;
        }
        EXPECT_EQ(shape->form, row.form) << row.from;
        EXPECT_EQ(shape->number.value_or(-1), row.number) << row.from;
        EXPECT_EQ(shape->strong, row.strong) << row.from;
    }
}

std::string Chinese(int n) {
    static const char* const digit[] = {"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
    std::string s;
    if (n >= 100) {
        s += std::string(digit[n / 100]) + "百";
        if (n % 100 != 0 && n % 100 < 10) {
            s += "零";
        }
    }
    if (n % 100 >= 10) {
        s += (n % 100 >= 20 || n >= 100 ? std::string(digit[n % 100 / 10]) : "") + "十";
    }
    return n % 10 != 0 ? s + digit[n % 10] : s;
}

// A generated book and what it truly holds.
struct TrueBook {
    Text text;
    std::vector<std::pair<std::string, int>> toc;         // title (UTF-8), level
    std::set<std::pair<std::size_t, long long>> missing;  // run, number
    std::multiset<long long> duplicates;
    std::size_t frontLines = 0;
};

TrueBook MakeBook(std::mt19937& random) {
    const auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    static const char* const forms[] = {"第%d章 ",     "第%c章　", "第%d回 ", "第%c幕 ",
                                        "Chapter %d ", "%d.",      "%d "};
    const char* form = forms[random() % 7];
    const int volumes = chance(50) ? 1 + static_cast<int>(random() % 4) : 0;
    const bool restart = volumes > 0 && chance(50);
    static const char* const prose[] = {"第一次见面，他就笑了。", "第三部分讲的是历史。",
                                        "他说：“明天再来。”", "风从山上来，吹过了河。"};
    TrueBook book;
    std::string body;  // UTF-8
    std::vector<std::string> listed;
    std::size_t run = 0;
    int number = 0;
    int serial = 0;
    for (int v = 0; v < std::max(volumes, 1); ++v) {
        if (volumes > 0) {
            const std::string title = "第" + Chinese(v + 1) + "卷 山河" + std::to_string(v);
            body += title + "\n\n";
            book.toc.push_back({title, 1});
            listed.push_back(title);
            if (restart) {
                number = 0;
                run += v > 0 ? 1 : 0;
            }
        }
        const int chapters = 3 + static_cast<int>(random() % 12);
        for (int k = 0; k < chapters; ++k) {
            ++number;
            if (k > 0 && k + 1 < chapters && chance(8)) {
                book.missing.insert({run, number++});
            }
            std::string title = form;
            const std::size_t at = title.find('%');
            const std::string n = title[at + 1] == 'c' ? Chinese(number) : std::to_string(number);
            title =
                title.substr(0, at) + n + title.substr(at + 2) + "题" + std::to_string(++serial);
            std::string text;
            for (int l = 0; l < 6; ++l) {
                text += "　　" + std::string(prose[random() % 4]) +
                        std::to_string(random() % 1000) + (chance(50) ? "\r\n" : "\n");
            }
            const int copies = chance(6) ? 2 : 1;
            for (int c = 0; c < copies; ++c) {
                body += title + "\n" + text + "\n";
                book.toc.push_back({title, 2});
            }
            if (copies == 2) {
                book.duplicates.insert(number);
            }
            listed.push_back(title);
        }
    }
    std::string front = "山河志\n作者：某人\n\n";
    if (chance(50)) {
        front += "目录\n";
        for (const std::string& line : listed) {
            front += line + "\n";
        }
        front += "------------\n";
        book.frontLines = listed.size();
    }
    book.text = U(front + body);
    return book;
}

// Random books with volumes (numbered on or from 1 in each), gaps, chapters posted twice and
// a contents of their own at the front: what the scan finds is what the generator made.
TEST(BookEvidenceTest, GeneratedBooksGiveTheirTrueContentsAndWarnings) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        std::mt19937 random(seed);
        const TrueBook truth = MakeBook(random);
        const BookContents found = ContentsOfText(truth.text);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", rule " + found.rule);
        EXPECT_EQ(found.frontContentsLines, truth.frontLines);
        ASSERT_EQ(found.toc.size(), truth.toc.size());
        for (std::size_t e = 0; e < truth.toc.size(); ++e) {
            EXPECT_EQ(found.toc[e].title, U(truth.toc[e].first)) << e;
            EXPECT_EQ(found.toc[e].level, truth.toc[e].second) << truth.toc[e].first;
        }
        std::multiset<long long> duplicates;
        std::set<long long> missing;
        for (const ChapterWarning& w : found.warnings) {
            switch (w.kind) {
                case ChapterWarning::Kind::Duplicate:
                    duplicates.insert(w.numbers.at(0));
                    break;
                case ChapterWarning::Kind::Missing:
                    missing.insert(w.numbers.begin(), w.numbers.end());
                    break;
                default:
                    ADD_FAILURE() << "unexpected warning: " << WarningKindName(w.kind);
            }
        }
        std::set<long long> missingTrue;
        for (const auto& m : truth.missing) {
            missingTrue.insert(m.second);
        }
        EXPECT_EQ(duplicates, truth.duplicates);
        std::size_t missingCount = 0;
        for (const ChapterWarning& w : found.warnings) {
            missingCount += w.kind == ChapterWarning::Kind::Missing ? w.numbers.size() : 0;
        }
        EXPECT_EQ(missingCount, truth.missing.size());  // each number told once
        EXPECT_EQ(missing, missingTrue);
    }
}

// A run of more headings than any book lists, with nothing between, is a list: text of the
// chapter it stands in (the scan keeps no more of it than of a book's own contents).
TEST(BookEvidenceTest, AnEndlessRunOfHeadingsIsText) {
    const std::string prose = "　　风从山上来，吹过了河。他说：“明天再来。”\n";
    std::string text = "第1章 山\n" + prose + "第2章 河\n" + prose;
    for (int n = 1; n <= 100001; ++n) {
        text += "第" + std::to_string(n) + "回\n";
    }
    const BookContents found = ContentsOfText(U(text + prose + "第3章 风\n" + prose));
    ASSERT_EQ(found.toc.size(), 3u);
    EXPECT_EQ(found.toc[2].title, U("第3章 风"));
    EXPECT_TRUE(found.warnings.empty());
}

}  // namespace
}  // namespace qs
