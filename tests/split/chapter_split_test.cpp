#include "split/chapter_split.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <map>

#include <random>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "job/chapter_heading.h"
#include "platform/services.h"
#include "split/piece_writer.h"
#include "split_fixture.h"
#include "text/characters.h"

namespace qs {
namespace {

TEST(ChapterHeadingTest, RecognisesHeadingsOnly) {
    struct Row {
        const char* name;
        const char* line;
        bool heading;
    };
    const Row rows[] = {
        {"chinese numerals", "第一章 风起", true},
        {"unit alone", "第十二回", true},
        {"spaces and colon", "第 12 章：归来", true},
        {"full-width digits", "第１２节 夜", true},
        {"volume number", "第一百零一卷", true},
        {"volume with title", "第两千三百集 终", true},
        {"capital numerals", "第壹佰贰拾部", true},
        {"zero", "第〇篇", true},
        {"traditional units", "第兩萬節 夜話", true},
        {"after 正文", "　　正文 第三章 山", true},
        {"named", "\t序章 开端", true},
        {"named alone", "序", true},
        {"named with number", "番外2 雪", true},
        {"afterword", "后记", true},
        {"english", "Chapter 7 The Road", true},
        {"english capitals", "CHAPTER 12", true},
        {"title attached", "第一章天地初开", true},
        {"title attached to 回", "第三回宴桃园豪杰三结义", true},
        {"attached to 话", "第5话雨夜", true},
        {"equals around", "===第3章 大唐男儿===", true},
        {"dashes and stars", "--- *第4章* ---", true},
        {"lenticular brackets", "【第五章】重逢", true},
        {"white brackets", "〖第六章〗", true},
        {"square brackets", "[第7章] 夜行", true},
        {"corner brackets", "「第八章」", true},
        {"volume and chapter", "第九卷 第二章 标题", true},
        {"no 第", "二百二十章 大结局", true},
        {"no 第, line end", "一百回", true},
        {"volume lead", "    上卷 第一回　王教头私走延安府　九纹龙大闹史家村", true},
        {"web residue lead", "《》目录 第一回　灵根育孕源流出　心性修持大道生", true},
        {"short comma title", "第五章 你好，世界", true},
        {"sentence", "第一次见面，他就笑了。", false},
        {"long sentence after heading", "第一章的内容我已经看完了，写得真是太好了。", false},
        {"long line ending in 。", "第二章 他走了很远很远很远的路终于到了家。", false},
        {"章节", "第一章节", false},
        {"节课", "第二节课上老师来了", false},
        {"回合", "第三回合他就倒下了", false},
        {"封", "第一封信是母亲写的", false},
        {"本", "第四本书记载着上古的事", false},
        {"次", "第三次", false},
        {"部分", "第三部分讲的是历史", false},
        {"集团", "第一集团军开上去了", false},
        {"篇张", "第五篇张贴在墙上", false},
        {"卷 then text", "第一卷起的边", false},
        {"no 第 with digits", "12章 开始", false},
        {"no 第, title attached", "二百二十章大结局", false},
        {"no 第, volume unit", "三卷 山", false},
        {"lead too long", "这是一个很长的前缀文字 第一章 风起", false},
        {"lead with comma", "他说，第一章 风起", false},
        {"lead before named", "上卷 序章", false},
        {"named followed by word", "后记得他来过", false},
        {"english lower case", "chapter 7", false},
        {"english without space", "Chapter7", false},
        {"no number", "第章", false},
        {"decoration only", "======", false},
        {"empty", "", false},
        {"too long",
         "第一章 "
         "这一行太长了这一行太长了这一行太长了这一行太长了这一行太长了这一行太长了这一行太长了这一"
         "行太长了这一行太长了这一",
         false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IsChapterHeading(U(row.line)), row.heading) << row.name << ": " << row.line;
    }
    EXPECT_EQ(HeadingTitle(U("　　第一章 风起　 ")), U("第一章 风起"));
    EXPECT_EQ(HeadingLabel(U(" ===第3章 大唐男儿=== ")), U("第3章 大唐男儿"));
    EXPECT_EQ(HeadingLabel(U("【第五章】重逢")), U("【第五章】重逢"));
}

// A generated book: title page, then chapters in every numeral style, a volume heading
// before every tenth chapter, lines that look like headings but are not, mixed line ends.
struct Book {
    Text text;
    std::vector<Text> headings;  // in order; a volume heading and its chapter as one
};

Book MakeBook(int chapters) {
    static const char* const styles[] = {"第%d章", "第%s章 风起", "第 %d 回：归来", "第%s节"};
    static const char* const small[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九"};
    Book book;
    book.text = U("斗转星移\r\n作者：某人\r\n\r\n");
    for (int n = 1; n <= chapters; ++n) {
        const std::string chinese = n < 10 ? small[n - 1] : std::string(small[n / 10 - 1]) + "十";
        char line[64];
        const char* style = styles[n % 4];
        if (n % 2 == 1) {
            std::snprintf(line, sizeof line, style, chinese.c_str());
        } else {
            std::snprintf(line, sizeof line, style, n);
        }
        Text heading;
        if (n % 10 == 1) {
            heading = U("第" + std::to_string(n / 10 + 1) + "卷 大荒") + "\r\n\r\n";
        }
        heading += U(line);
        book.headings.push_back(heading);
        book.text += heading + (n % 2 ? "\r\n" : "\n");
        book.text += U("　　第一次见面，他就笑了。\r\n\r\n　　风从山上来。\n");
    }
    return book;
}

TEST(FindChapterPiecesTest, PiecesStartAtHeadingsAndCoverTheText) {
    const Book book = MakeBook(37);
    for (const std::int32_t perPiece : {1, 10}) {
        const auto pieces = FindChapterPieces(book.text, perPiece);
        ASSERT_EQ(pieces.size(), 1 + (book.headings.size() + perPiece - 1) / perPiece);
        EXPECT_TRUE(pieces[0].heading.empty());
        Text joined;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            const Text piece = book.text.substr(pieces[k].start, pieces[k].end - pieces[k].start);
            joined += piece;
            if (k > 0) {
                const Text& heading = book.headings[(k - 1) * perPiece];
                EXPECT_EQ(piece.substr(0, heading.size()), heading) << perPiece << " " << k;
            }
        }
        EXPECT_EQ(joined, book.text);
    }
    // No heading: one piece; blank lines before the first heading go with it; empty text.
    EXPECT_EQ(FindChapterPieces(U("没有章节\r\n"), 1).size(), 1u);
    const auto blank = FindChapterPieces(U("\r\n　\r\n第一章\r\n甲"), 1);
    ASSERT_EQ(blank.size(), 1u);
    EXPECT_EQ(blank[0].heading, U("第一章"));
    EXPECT_TRUE(FindChapterPieces("", 1).empty());
    // A custom expression; one that does not compile is refused.
    const std::optional<HeadingRule> rule = CompileHeadingRule("r", U("^卷"));
    ASSERT_TRUE(rule);
    EXPECT_EQ(FindChapterPieces(U("卷一\n甲\n卷二\n乙"), 1, nullptr, {*rule}).size(), 2u);
    EXPECT_FALSE(CompileHeadingRule("r", "(["));
}

// Heading forms of novels as they circulate, each chapter with prose that only looks like
// headings: one piece per chapter, and a book that is cut is not reported as uncut.
TEST(FindChapterPiecesTest, CirculatingHeadingFormsGiveAPiecePerChapter) {
    const char* const forms[] = {"    上卷 第%s回　王教头私走延安府　九纹龙大闹史家村",
                                 "《》目录 第%s回　灵根育孕源流出　心性修持大道生",
                                 "===第%s章 大唐男儿===",
                                 "【第%s章】重逢",
                                 "第%s章天地初开",
                                 "%s章 风起"};
    const char* const prose[] = {"第一封信是母亲写的",
                                 "第四本书记载着上古的事",
                                 "第二节课上老师来了",
                                 "第三部分讲的是历史",
                                 "第一集团军开上去了",
                                 "第五篇张贴在墙上",
                                 "第一章的内容我已经看完了，写得真是太好了。"};
    const char* const numerals[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九", "十"};
    for (const char* form : forms) {
        Text book = U("书名\r\n");
        for (int n = 0; n < 10; ++n) {
            char line[160];
            std::snprintf(line, sizeof line, form, numerals[n]);
            book += U(line) + "\r\n";
            for (const char* p : prose) {
                book += U(p) + "\r\n";
            }
        }
        ChapterStats stats;
        EXPECT_EQ(FindChapterPieces(book, 1, &stats).size(), 11u) << form;
        EXPECT_EQ(stats.headings, 10u) << form;
    }
    struct Row {
        const char* name;
        std::size_t bytes;
        ChapterStats stats;
        bool uncut;
    } rows[] = {
        {"small book, no heading", 100 * 1024, {0, 100 * 1024}, false},
        {"large book, two headings", 100 * 1024 + 1, {2, 1000}, true},
        {"large book, three headings", 300 * 1024, {3, 100 * 1024}, false},
        {"one chapter holds more than half", 300 * 1024, {40, 150 * 1024 + 1}, true},
        {"one chapter holds half", 300 * 1024, {40, 150 * 1024}, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(LooksUncut(row.bytes, row.stats), row.uncut) << row.name;
    }
}

class ChapterSplitTest : public SplitFixture {
protected:
    ChapterSplitTest() { SetMode(SplitAtChaptersParams{}); }
    SplitAtChaptersParams& Chapters() { return std::get<SplitAtChaptersParams>(Params().mode); }
};

TEST_F(ChapterSplitTest, NumberedOrNamedAfterTheHeading) {
    std::string utf8;
    const Book book = MakeBook(12);
    ASSERT_TRUE(InternalToUtf8(book.text, utf8));
    temp.Write("book.txt", utf8);
    ASSERT_EQ(RunSplitMode(Context(), temp.File("book.txt")), ModeResult::Done);
    std::string joined;
    for (int k = 1; k <= 13; ++k) {
        joined += temp.Read("book_" + std::to_string(k) + ".txt");
    }
    EXPECT_EQ(joined, utf8);
    EXPECT_FALSE(Fs().Exists(temp.File("book_14.txt")));

    TempFolder named;
    Params().nameFromText = true;
    Chapters().perPiece = 5;
    auto& ctx = Context();
    ctx.outputFolder = named.Path() + "/";
    ASSERT_EQ(SplitAtChapters(ctx, temp.File("book.txt")), ModeResult::Done);
    EXPECT_EQ(ctx.state.piecesMade, 4);
    EXPECT_TRUE(Fs().Exists(named.File(U("000 斗转星移.txt"))));
    EXPECT_TRUE(Fs().Exists(named.File(U("001 第1卷 大荒.txt"))));
    EXPECT_TRUE(Fs().Exists(named.File(U("002 第 6 回：归来.txt"))));
    EXPECT_TRUE(Fs().Exists(named.File(U("003 第2卷 大荒.txt"))));
}

// Read in tiny slices, in any encoding (UTF-8 cut in its own bytes), and streamed to their
// files, books give the pieces that the scan of their whole text gives, named after their
// headings as before.
TEST_F(ChapterSplitTest, SlicedBooksGiveThePiecesOfTheWholeText) {
    const TextFormat formats[] = {{TextEncoding::Utf8, true},
                                  {TextEncoding::Utf16Be, true},
                                  {TextEncoding::Gbk, false},
                                  {TextEncoding::Gb18030, false},
                                  {TextEncoding::Utf8, false}};
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 gen(seed);
        Text book = MakeBook(static_cast<int>(gen() % 14)).text;
        // Now and then chapters of so many short lines that the scan converts them in blocks.
        if (seed % 8 == 0) {
            Text lines;
            for (int k = 0; k < 400; ++k) {
                lines += U("　　风从山上来。" + std::to_string(k) + (k % 7 ? "\n" : "\r\n"));
            }
            book = ReplaceAll(book, U("　　风从山上来。\n"), lines);
        }
        // Now and then a CR alone ends a line, which slice edges may part from nothing.
        for (std::size_t at = book.find("\r\n"); at != Text::npos; at = book.find("\r\n", at + 1)) {
            if (gen() % 3 == 0) {
                book.erase(at + 1, 1);
            }
        }
        TempFolder folder;
        folder.Write("b.txt", EncodeText(book, formats[seed % 5]).value_or(""));
        const DecodedText whole = DecodeBytes(folder.Read("b.txt"));
        Params().nameFromText = seed % 3 == 0;
        auto& ctx = Context();
        ctx.outputFolder = folder.Path() + "/";
        ctx.sliceBytes = 1 + gen() % 9;
        ctx.pieceHoldBytes = 1 + gen() % 40;
        ASSERT_EQ(SplitAtChapters(ctx, folder.File("b.txt")), ModeResult::Done);
        EXPECT_EQ(ctx.state.piecesInUtf8, whole.format.encoding == TextEncoding::Utf8);
        const auto pieces = FindChapterPieces(whole.text, 1);
        ASSERT_EQ(ctx.state.piecesMade, static_cast<std::int64_t>(pieces.size())) << seed;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            const Text title = pieces[k].heading.empty()
                                   ? FirstLineTitle(whole.text.substr(pieces[k].start))
                                   : pieces[k].heading;
            Text name = std::to_string(k + (pieces[0].heading.empty() ? 0 : 1));
            name.insert(0, 3 - name.size(), '0');
            name = seed % 3 != 0 ? "b_" + std::to_string(k + 1)
                                 : (title.empty() ? name : name + " " + SanitizeFileName(title));
            const Text text = whole.text.substr(pieces[k].start, pieces[k].end - pieces[k].start);
            EXPECT_EQ(folder.Read(name + ".txt"), EncodeText(text, whole.format).value_or(""))
                << "seed " << seed << " piece " << k;
        }
    }
}

// Every entry of every book in folder, by book and entry name; the time of making left out.
std::map<std::string, std::string> BooksIn(const Text& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        int error = 0;
        zip_t* zip = zip_open(file.path().c_str(), ZIP_RDONLY, &error);
        for (zip_int64_t k = 0; zip && k < zip_get_num_entries(zip, 0); ++k) {
            zip_stat_t stat;
            zip_file_t* entry =
                zip_stat_index(zip, k, 0, &stat) == 0 ? zip_fopen_index(zip, k, 0) : nullptr;
            std::string bytes(stat.size, '\0');
            if (!entry || zip_fread(entry, bytes.data(), stat.size) != zip_int64_t(stat.size)) {
                bytes = "(unreadable)";
            }
            const std::size_t at = bytes.find("dcterms:modified\">");
            entries[file.path().filename().string() + ":" + stat.name] =
                at == std::string::npos ? bytes : bytes.erase(at, bytes.find('<', at) - at);
            zip_fclose(entry);
        }
        zip_close(zip);
    }
    return entries;
}

// A book read in slices of a few bytes holds, entry for entry, what the same book read in one
// slice holds, whatever the slice edges part (a CR from its LF, a character, a heading) and
// however little of a line may be held, with and without its front matter, one book in all
// or one for each volume.
TEST_F(ChapterSplitTest, SlicedBooksMakeTheBooksOfTheWholeText) {
    const TextFormat formats[] = {
        {TextEncoding::Utf8, true}, {TextEncoding::Gbk, false}, {TextEncoding::Utf16Le, true}};
    for (unsigned seed = 1; seed <= 24; ++seed) {
        std::mt19937 gen(seed);
        Text book = MakeBook(static_cast<int>(gen() % 24)).text;
        for (std::size_t at = book.find("\r\n"); at != Text::npos; at = book.find("\r\n", at + 1)) {
            if (gen() % 3 == 0) {
                book.erase(at + 1, 1);
            }
        }
        if (seed % 4 == 0) {
            book.erase(0, book.find(U("第")));
        }
        Chapters().epub = true;
        Chapters().perVolume = seed % 2 == 0;
        std::map<std::string, std::string> made[2];
        for (int whole = 0; whole < 2; ++whole) {
            TempFolder folder;
            TempFolder out;
            folder.Write("b.txt", EncodeText(book, formats[seed % 3]).value_or(""));
            auto& ctx = Context();
            ctx.outputFolder = out.Path() + "/";
            ctx.sliceBytes = whole ? std::size_t{1} << 24 : 1 + gen() % 9;
            // Lines longer than a piece may hold go into their books in parts.
            ctx.pieceHoldBytes = whole ? std::size_t{1} << 24 : 12 + gen() % 40;
            ASSERT_EQ(SplitAtChapters(ctx, folder.File("b.txt")), ModeResult::Done);
            EXPECT_EQ(ctx.state.piecesFailed, 0) << seed;
            made[whole] = BooksIn(out.Path());
        }
        EXPECT_FALSE(made[1].empty()) << seed;
        EXPECT_EQ(made[0], made[1]) << seed;
    }
}

}  // namespace
}  // namespace qs
