#include <gtest/gtest.h>

#include <set>

#include "encoding/charset_converter.h"
#include "platform/services.h"
#include "split/piece_writer.h"
#include "split/split_modes.h"
#include "split/title_sentence.h"
#include "split_fixture.h"
#include "text/characters.h"

namespace qs {
namespace {

TEST(SanitizeFileNameTest, ReplacesAndRemoves) {
    struct Row {
        const char* name;
        const char* in;
        const char* out;
    } rows[] = {
        {"reserved characters", "a\\b/c:d*e?f|g<h>i", "a＼b／c：d＊e？f｜g＜h＞i"},
        {"quotes and breaks", "\"x\"\r\ny\rz\n\tw", "xyzw"},
        {"kept as it is", " 名字 . ", " 名字 . "},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SanitizeFileName(U(row.in)), U(row.out)) << row.name;
    }
}

TEST(StripTagsTest, OnePass) {
    struct Row {
        const char* name;
        const char* in;
        const char* out;
    } rows[] = {
        {"paragraph", "<p>Hello</p>", "Hello"},
        {"nested brackets stay", "<<b>>", "<>"},
        {"stray close", "a > b", "a > b"},
        {"stray open", "a < b <i>c", "a < b c"},
        {"empty", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(StripTags(row.in), row.out) << row.name;
    }
}

TEST(PickTitleSentenceTest, Fragments) {
    EXPECT_EQ(PickTitleSentence("", 15), "");
    EXPECT_EQ(PickTitleSentence(U("，。！<b></b>\r\n"), 1), "");
    EXPECT_EQ(PickTitleSentence("<p>Hello</p>", 5), "Hello");
    // The period without a space does not cut.
    std::set<Text> seen;
    for (int i = 0; i < 50; ++i)
        seen.insert(PickTitleSentence("3.14 meters", 1));
    EXPECT_EQ(seen, (std::set<Text>{"3.14", "meters"}));
    // English: words are fragments; the fallback returns one as it is.
    seen.clear();
    for (int i = 0; i < 50; ++i)
        seen.insert(PickTitleSentence("the cat. sat", 15));
    EXPECT_TRUE(seen.count("the") || seen.count("cat") || seen.count("sat"));
    for (const Text& s : seen)
        EXPECT_TRUE(s == "the" || s == "cat" || s == "sat" || s.empty()) << s;
    // Chinese: a clause of 15 or more characters is returned whole.
    const Text clause = U("这是一个足够长的句子用来作为标题吧");
    EXPECT_EQ(PickTitleSentence(U("短句，") + clause + U("。又一短句！"), 15), clause);
    // Blank-only lines and blanks at line ends are cleaned away first.
    EXPECT_EQ(PickTitleSentence(U("  \t\r\n　abcdefghij　\r\n"), 5), U("abcdefghij"));
}

TEST(RandomPoolTest, VisitsEveryNumberOnce) {
    RandomPool pool;
    std::set<std::int32_t> drawn;
    for (int i = 0; i < 10; ++i)
        drawn.insert(pool.Draw(1, 10));
    EXPECT_EQ(drawn.size(), 10u);
    EXPECT_EQ(*drawn.begin(), 1);
    EXPECT_EQ(*drawn.rbegin(), 10);
}

class PieceNamingTest : public SplitFixture {
protected:
    void SplitOne(const char* name, const std::string& content, std::int32_t parts = 2) {
        temp.Write(name, content);
        SetMode(SplitIntoPartsParams{parts});
        ASSERT_EQ(SplitIntoParts(Context(), temp.File(name)), ModeResult::Done);
    }
};

TEST_F(PieceNamingTest, NumberedNames) {
    SplitOne("a.b.txt", "abcd");
    EXPECT_EQ(temp.Read("a.b_1.txt"), "ab");
    EXPECT_EQ(temp.Read("a.b_2.txt"), "cd");
    SplitOne("notes", "abcd");
    EXPECT_EQ(temp.Read("notes_2"), "cd");
    EXPECT_EQ(events.lastPiece, 2);
}

TEST_F(PieceNamingTest, RandomNames) {
    Params().nameFromText = true;
    // One fragment of 20 characters with an asterisk in it.
    const Text title = U("abcdefghij*klmnopqrs");
    SplitOne("s.txt", Bytes(title), 1);
    EXPECT_EQ(temp.Read(U("abcdefghij＊klmnopqrs") + ".txt"), ToUtf8Lossy(title));

    // An empty piece has no sentence: numbered.
    SplitOne("e.txt", "", 1);
    EXPECT_TRUE(Fs().Exists(temp.File("e_1.txt")));

    // 150 characters: cut to the first 100.
    SplitOne("long.txt", std::string(150, 'y'), 1);
    EXPECT_TRUE(Fs().Exists(temp.File(Text(100, 'y') + ".txt")));

    // Every candidate taken: " (2)" after the name, then " (3)".
    SplitOne("t1.txt", "sentence-longer-than-fifteen", 1);
    temp.Write("sentence.txt", "x");
    temp.Write("longer.txt", "x");
    temp.Write("than.txt", "x");
    temp.Write("fifteen.txt", "x");
    SplitOne("t2.txt", "sentence-longer-than-fifteen", 1);
    int variants = 0;
    for (const char* w : {"sentence", "longer", "than", "fifteen"}) {
        variants += Fs().Exists(temp.File(Text(w) + " (2).txt")) ? 1 : 0;
    }
    EXPECT_EQ(variants, 1);
    EXPECT_EQ(temp.Read("t2.txt"), "sentence-longer-than-fifteen");
}

TEST_F(PieceNamingTest, LargePiecesAreCopiedInChunks) {
    std::string content(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 + i / 4096);
    temp.Write("big.bin", content);
    SetMode(SplitBySizeParams{2, 2});
    ASSERT_EQ(SplitBySize(Context(), temp.File("big.bin")), ModeResult::Done);
    EXPECT_EQ(temp.Read("big_1.bin") + temp.Read("big_2.bin"), content);
    EXPECT_EQ(temp.Read("big_1.bin").size(), 2u * 1024 * 1024);
}

}  // namespace
}  // namespace qs
