#include "split/chapter_split.h"
#include "app/split_controls.h"

#include <gtest/gtest.h>

#include "platform/services.h"
#include "split/chapter_heading.h"
#include "split_fixture.h"

namespace qs {
namespace {

using namespace split_controls;

TEST(ChapterHeadingTest, RecognisesHeadingsOnly) {
    const std::pair<const char*, bool> rows[] = {
        {"第一章 风起", true},
        {"第十二回", true},
        {"第 12 章：归来", true},
        {"第１２节 夜", true},
        {"第一百零一卷", true},
        {"第两千三百集 终", true},
        {"第壹佰贰拾部", true},
        {"第〇篇", true},
        {"　　正文 第三章 山", true},
        {"\t序章 开端", true},
        {"序", true},
        {"番外2 雪", true},
        {"后记", true},
        {"Chapter 7 The Road", true},
        {"CHAPTER 12", true},
        {"第一次见面，他就笑了。", false},
        {"第一章节", false},
        {"后记得他来过", false},
        {"chapter 7", false},
        {"Chapter7", false},
        {"第章", false},
        {"", false},
        // 60 characters
        {"第一章 "
         "这一行太长了这一行太长了这一行太长了这一行太长了这一行太长了这一行太长了这一行太长了这一"
         "行太长了这一行太长了这一",
         false},
    };
    for (const auto& [line, heading] : rows) {
        EXPECT_EQ(IsChapterHeading(U(line)), heading) << line;
    }
    EXPECT_EQ(HeadingTitle(U("　　第一章 风起　 ")), U("第一章 风起"));
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
    HeadingTest test;
    ASSERT_TRUE(MakeHeadingTest(Text(), test));
    for (const std::int32_t perPiece : {1, 10}) {
        const auto pieces = FindChapterPieces(book.text, test, perPiece);
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
    EXPECT_EQ(FindChapterPieces(U("没有章节\r\n"), test, 1).size(), 1u);
    const auto blank = FindChapterPieces(U("\r\n　\r\n第一章\r\n甲"), test, 1);
    ASSERT_EQ(blank.size(), 1u);
    EXPECT_EQ(blank[0].heading, U("第一章"));
    EXPECT_TRUE(FindChapterPieces("", test, 1).empty());
    // A custom expression; one that does not compile is refused.
    ASSERT_TRUE(MakeHeadingTest(U("^卷"), test));
    EXPECT_EQ(FindChapterPieces(U("卷一\n甲\n卷二\n乙"), test, 1).size(), 2u);
    EXPECT_FALSE(MakeHeadingTest("([", test));
}

class ChapterSplitTest : public SplitFixture {
protected:
    ChapterSplitTest() {
        AddControl(ChapterCheck(), ControlKind::CheckBox, U("分组框分割"));
        Check(SeparatorRadio());
        Check(ChapterCheck());
    }
};

TEST_F(ChapterSplitTest, NumberedOrNamedAfterTheHeading) {
    std::string utf8;
    const Book book = MakeBook(12);
    ASSERT_TRUE(InternalToUtf8(book.text, utf8));
    temp.Write("book.txt", utf8);
    EXPECT_TRUE(std::holds_alternative<SplitAtChaptersSpec>(SplitSpecOf(form).mode));
    ASSERT_EQ(RunSplitMode(Context(), temp.File("book.txt")), ModeResult::Done);
    std::string joined;
    for (int k = 1; k <= 13; ++k) {
        joined += temp.Read("book_" + std::to_string(k) + ".txt");
    }
    EXPECT_EQ(joined, utf8);
    EXPECT_FALSE(Fs().Exists(temp.File("book_14.txt")));

    TempFolder named;
    Check(RandomRenameCheck());
    specs.adjust = [](SplitSpec& spec) { std::get<SplitAtChaptersSpec>(spec.mode).perPiece = 5; };
    auto& ctx = Context();
    ctx.outputFolder = named.Path() + "/";
    ASSERT_EQ(SplitAtChapters(ctx, temp.File("book.txt")), ModeResult::Done);
    EXPECT_EQ(ctx.state.piecesMade, 4);
    EXPECT_TRUE(Fs().Exists(named.File(U("000 斗转星移.txt"))));
    EXPECT_TRUE(Fs().Exists(named.File(U("001 第1卷 大荒.txt"))));
    EXPECT_TRUE(Fs().Exists(named.File(U("002 第 6 回：归来.txt"))));
    EXPECT_TRUE(Fs().Exists(named.File(U("003 第2卷 大荒.txt"))));
}

}  // namespace
}  // namespace qs
