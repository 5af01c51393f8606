#include "split/split_modes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "platform/services.h"
#include "split_fixture.h"

namespace qs {
namespace {

class SplitModesTest : public SplitFixture {
protected:
    // The pieces base_1 .. base_n that exist, in order.
    std::vector<std::string> Pieces(const char* base, const char* ext = ".txt") {
        std::vector<std::string> out;
        for (int k = 1;; ++k) {
            const Text name = Text(base) + "_" + std::to_string(k) + ext;
            if (!Fs().Exists(temp.File(name))) {
                break;
            }
            out.push_back(temp.Read(name));
        }
        return out;
    }
    std::string Joined(const std::vector<std::string>& pieces) {
        std::string all;
        for (const auto& p : pieces)
            all += p;
        return all;
    }
};

TEST_F(SplitModesTest, PartsKeepEveryByte) {
    struct Row {
        const char* name;
        std::string content;
        std::int32_t parts;
        std::vector<std::size_t> sizes;
    } rows[] = {
        {"five bytes in ten parts", "abcde", 10, {0, 0, 0, 0, 0, 0, 0, 0, 0, 5}},
        {"empty file in three parts", "", 3, {0, 0, 0}},
        {"ten bytes in three parts", "0123456789", 3, {3, 3, 4}},
    };
    for (const Row& row : rows) {
        TempFolder folder;
        auto& ctx = Context();
        ctx.outputFolder = folder.Path() + "/";
        folder.Write("s.txt", row.content);
        SetMode(SplitIntoPartsParams{row.parts});
        ASSERT_EQ(SplitIntoParts(ctx, folder.File("s.txt")), ModeResult::Done) << row.name;
        std::string all;
        for (std::size_t k = 0; k < row.sizes.size(); ++k) {
            const std::string piece = folder.Read("s_" + std::to_string(k + 1) + ".txt");
            EXPECT_EQ(piece.size(), row.sizes[k]) << row.name << " piece " << k + 1;
            all += piece;
        }
        EXPECT_FALSE(
            Fs().Exists(folder.File("s_" + std::to_string(row.sizes.size() + 1) + ".txt")));
        EXPECT_EQ(all, row.content) << row.name;
    }
}

TEST_F(SplitModesTest, HugePartCountOnASmallFileIsBounded) {
    // One rule for every length: empty pieces and a last one with the whole file, the
    // surplus empty ones not made.
    const struct {
        std::string content;
        std::int32_t parts;
    } rows[] = {{"abcde", 2147483647}, {std::string(10001, 'x'), 10002}};
    for (const auto& row : rows) {
        TempFolder folder;
        auto& ctx = Context();
        ctx.outputFolder = folder.Path() + "/";
        folder.Write("s.txt", row.content);
        SetMode(SplitIntoPartsParams{row.parts});
        ASSERT_EQ(SplitIntoParts(ctx, folder.File("s.txt")), ModeResult::Done);
        EXPECT_EQ(ctx.state.piecesMade, kMaxPartsBeyondLength) << row.parts;
        EXPECT_EQ(folder.Read("s_1.txt"), "") << row.parts;
        EXPECT_EQ(folder.Read("s_" + std::to_string(kMaxPartsBeyondLength) + ".txt"), row.content);
    }
}

TEST_F(SplitModesTest, BySizeCutsAtTheSize) {
    struct Row {
        const char* name;
        float size;
        int unit;
        std::size_t length;
        std::vector<std::size_t> sizes;
    } rows[] = {
        {"4 of 10", 4, 0, 10, {4, 4, 2}},
        {"5 of 10", 5, 0, 10, {5, 5}},
        {"3.12 KB", 3.12f, 1, 7000, {3194, 3194, 612}},
        {"empty file", 4, 0, 0, {}},
        {"below one byte", 0.5f, 0, 10, {}},
    };
    for (const Row& row : rows) {
        TempFolder folder;
        auto& ctx = Context();
        ctx.outputFolder = folder.Path() + "/";
        std::string content(row.length, 'x');
        for (std::size_t i = 0; i < content.size(); ++i)
            content[i] = static_cast<char>('a' + i % 26);
        folder.Write("s.txt", content);
        SetMode(SplitBySizeParams{row.size, row.unit});
        ASSERT_EQ(SplitBySize(ctx, folder.File("s.txt")), ModeResult::Done) << row.name;
        std::string all;
        for (std::size_t k = 0; k < row.sizes.size(); ++k) {
            const std::string piece = folder.Read("s_" + std::to_string(k + 1) + ".txt");
            EXPECT_EQ(piece.size(), row.sizes[k]) << row.name;
            all += piece;
        }
        EXPECT_EQ(ctx.state.piecesMade, static_cast<std::int64_t>(row.sizes.size())) << row.name;
        if (!row.sizes.empty()) {
            EXPECT_EQ(all, content) << row.name;
        }
    }
}

TEST_F(SplitModesTest, ValidationMessagesAndFields) {
    struct Row {
        const char* name;
        ModeResult (*mode)(SplitContext&, const Text&);
        SplitModeParams params;
        SplitField field;
        const char* message;
    } rows[] = {
        {"parts", SplitIntoParts, SplitIntoPartsParams{0}, SplitField::PartCount, "份数必须大于0"},
        {"bytes", SplitBySize, SplitBySizeParams{0, 0}, SplitField::ByteSize, "字节长度不能等于0"},
        {"lines", SplitByLineCount, SplitByLinesParams{0, 0}, SplitField::LineMin, "行数至少 1"},
        {"chars", SplitByCharCount, SplitByCharsParams{0, 0}, SplitField::CharMin, "字数至少 1 个"},
    };
    temp.Write("s.txt", "abc");
    for (const Row& row : rows) {
        events.refusals.clear();
        SetMode(row.params);
        EXPECT_EQ(row.mode(Context(), temp.File("s.txt")), ModeResult::ValidationFailed)
            << row.name;
        ASSERT_EQ(events.refusals.size(), 1u) << row.name;
        EXPECT_EQ(events.refusals[0].message, U(row.message)) << row.name;
        EXPECT_EQ(events.refusals[0].field, row.field) << row.name;
    }
    EXPECT_FALSE(Fs().Exists(temp.File("s_1.txt")));
}

TEST_F(SplitModesTest, LinesWithSwappedBoundsStayInRange) {
    std::string content;
    for (int i = 0; i < 200; ++i)
        content += "line" + std::to_string(i) + "\n";
    temp.Write("s.txt", content);
    SetMode(SplitByLinesParams{10, 5});
    auto& ctx = Context();
    ASSERT_EQ(SplitByLineCount(ctx, temp.File("s.txt")), ModeResult::Done);
    const auto pieces = Pieces("s");
    ASSERT_GE(pieces.size(), 20u);
    std::string joined;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const auto lines = std::count(pieces[k].begin(), pieces[k].end(), '\n') + 1;
        if (k + 1 < pieces.size()) {
            EXPECT_GE(lines, 5);
            EXPECT_LE(lines, 10);
        }
        EXPECT_NE(pieces[k].back(), '\n');
        joined += (k ? "\r\n" : "") + pieces[k];
    }
    // Lone LFs became CR LF between lines; the final line break is gone.
    std::string expected;
    for (int i = 0; i < 200; ++i)
        expected += (i ? "\r\nline" : "line") + std::to_string(i);
    EXPECT_EQ(joined, expected);
    ASSERT_FALSE(events.stages.empty());
    EXPECT_EQ(events.stages.back(), JobStage::Cutting);
}

TEST_F(SplitModesTest, LinesBlankLinesAndCtrlZ) {
    struct Row {
        const char* name;
        std::string content;
        bool ignoreBlank;
        std::vector<std::string> pieces;
    } rows[] = {
        {"blank counted", "a\r\n\r\nb", false, {"a\r\n", "b"}},
        // a, TAB + full-width space line, b
        {"blank skipped", "a\r\n\t\xE3\x80\x80 \r\nb", true, {"a\r\nb"}},
        {"0x1A is an ordinary byte",
         "a\x1A"
         "b\r\nc",
         false,
         {"a\x1A"
          "b\r\nc"}},
    };
    for (const Row& row : rows) {
        TempFolder folder;
        auto& ctx = Context();
        ctx.outputFolder = folder.Path() + "/";
        folder.Write("s.txt", row.content);
        SetMode(SplitByLinesParams{2, 2});
        Params().skipBlankLines = row.ignoreBlank;
        ASSERT_EQ(SplitByLineCount(ctx, folder.File("s.txt")), ModeResult::Done);
        for (std::size_t k = 0; k < row.pieces.size(); ++k) {
            const std::string piece = folder.Read("s_" + std::to_string(k + 1) + ".txt");
            // UTF-8 sources come back as UTF-8 with a mark.
            const std::string body = piece.rfind("\xEF\xBB\xBF", 0) == 0 ? piece.substr(3) : piece;
            EXPECT_EQ(body, row.pieces[k]) << row.name << " piece " << k + 1;
        }
        EXPECT_FALSE(
            Fs().Exists(folder.File("s_" + std::to_string(row.pieces.size() + 1) + ".txt")))
            << row.name;
    }
}

TEST_F(SplitModesTest, CharsCountDoubleByteAndCrLfAsOne) {
    // ab 中 CR LF c, in the internal code page (raw source)
    temp.Write("s.txt", "ab\xD6\xD0\r\nc");
    SetMode(SplitByCharsParams{3, 3});
    auto& ctx = Context();
    ASSERT_EQ(SplitByCharCount(ctx, temp.File("s.txt")), ModeResult::Done);
    EXPECT_EQ(temp.Read("s_1.txt"), "ab\xD6\xD0");
    EXPECT_EQ(temp.Read("s_2.txt"), "\r\nc");
    EXPECT_FALSE(Fs().Exists(temp.File("s_3.txt")));
}

TEST_F(SplitModesTest, SeparatorPieces) {
    struct Row {
        const char* name;
        std::string content;
        std::vector<std::string> pieces;
    } rows[] = {
        {"separator at both ends", "SaSbS", {"", "a", "b"}},
        {"no separator", "abc", {"abc"}},
        {"empty text", "", {}},
    };
    for (const Row& row : rows) {
        TempFolder folder;
        auto& ctx = Context();
        ctx.outputFolder = folder.Path() + "/";
        folder.Write("s.txt", row.content);
        SetMode(SplitAtSeparatorParams{"S"});
        ASSERT_EQ(SplitAtSeparator(ctx, folder.File("s.txt")), ModeResult::Done);
        for (std::size_t k = 0; k < row.pieces.size(); ++k) {
            EXPECT_EQ(folder.Read("s_" + std::to_string(k + 1) + ".txt"), row.pieces[k])
                << row.name;
        }
        EXPECT_EQ(ctx.state.piecesMade, static_cast<std::int64_t>(row.pieces.size())) << row.name;
    }
}

TEST_F(SplitModesTest, EmptySeparatorOpensTheInputDialog) {
    temp.Write("s.txt", "abc");
    SetMode(SplitAtSeparatorParams{});
    EXPECT_EQ(SplitAtSeparator(Context(), temp.File("s.txt")), ModeResult::ValidationFailed);
    ASSERT_EQ(events.refusals.size(), 1u);
    EXPECT_EQ(events.refusals[0].message, U("请输入用于分割的字符串！"));
    EXPECT_EQ(events.refusals[0].field, SplitField::Separator);
    EXPECT_FALSE(Fs().Exists(temp.File("s_1.txt")));
}

// UTF-16LE "ab\ncd\n" with its mark.
const std::string kUtf16 = std::string(
    "\xFF\xFE"
    "a\0b\0\n\0c\0d\0\n\0",
    14);

TEST_F(SplitModesTest, Utf16MarkInTextModesOnEveryPieceInByteModesOnlyTheFirst) {
    temp.Write("u.txt", kUtf16);
    SetMode(SplitByLinesParams{1, 1});
    ASSERT_EQ(SplitByLineCount(Context(), temp.File("u.txt")), ModeResult::Done);
    EXPECT_EQ(temp.Read("u_1.txt"), std::string("\xFF\xFE"
                                                "a\0b\0",
                                                6));
    EXPECT_EQ(temp.Read("u_2.txt"), std::string("\xFF\xFE"
                                                "c\0d\0",
                                                6));

    TempFolder other;
    auto& ctx = Context();
    ctx.outputFolder = other.Path() + "/";
    SetMode(SplitIntoPartsParams{2});
    ASSERT_EQ(SplitIntoParts(ctx, temp.File("u.txt")), ModeResult::Done);
    EXPECT_EQ(other.Read("u_1.txt").substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(other.Read("u_2.txt"), kUtf16.substr(7));
}

TEST_F(SplitModesTest, Utf8PiecesCarryAMarkOnlyWhenTheSourceDid) {
    const std::string body = "\xE4\xB8\xAD\n\xE6\x96\x87";  // 中 LF 文
    SetMode(SplitByLinesParams{1, 1});
    temp.Write("plain.txt", body);
    ASSERT_EQ(SplitByLineCount(Context(), temp.File("plain.txt")), ModeResult::Done);
    EXPECT_EQ(temp.Read("plain_1.txt"), "\xE4\xB8\xAD");
    EXPECT_EQ(temp.Read("plain_2.txt"), "\xE6\x96\x87");
    temp.Write("marked.txt", "\xEF\xBB\xBF" + body);
    ASSERT_EQ(SplitByLineCount(Context(), temp.File("marked.txt")), ModeResult::Done);
    EXPECT_EQ(temp.Read("marked_1.txt"), "\xEF\xBB\xBF\xE4\xB8\xAD");
    EXPECT_EQ(temp.Read("marked_2.txt"), "\xEF\xBB\xBF\xE6\x96\x87");
}

// For every encoding: the decoded pieces of a text-mode split give the source's text back.
TEST_F(SplitModesTest, TextModesRoundTripInEveryEncoding) {
    // 第一章 abc 中文，结束。 with line breaks
    const TextEncoding encodings[] = {TextEncoding::Gb18030, TextEncoding::Utf8,
                                      TextEncoding::Utf16Le, TextEncoding::Utf16Be,
                                      TextEncoding::Big5,    TextEncoding::Big5Hkscs};
    for (TextEncoding encoding : encodings) {
        // Big5 is only recognised through an HTML charset declaration.
        const bool big5 = encoding >= TextEncoding::Big5;
        const Text text = big5 ? U(encoding == TextEncoding::Big5
                                       ? "<html><head><meta charset=\"big5\"></head>\r\n"
                                         "第一章 abc，繁體字測試。\r\nline four 四\r\n"
                                       : "<html><head><meta charset=\"big5-hkscs\"></head>"
                                         "\r\n第一章 abc，繁體字測試。\r\nline four 四\r\n")
                               : U("第一章 abc\r\n中文，结束。\r\n繁體字測試\r\nline four 四\r\n");
        for (int mode = 0; mode < 3; ++mode) {
            TempFolder folder;
            folder.Write("s.txt", EncodeText(text, {encoding, true}).value_or(text));
            auto& ctx = Context();
            ctx.outputFolder = folder.Path() + "/";
            SetMode(SplitAtSeparatorParams{U("，")});
            const Text path = folder.File("s.txt");
            if (mode == 0)
                SplitByLineCount(ctx, path);
            if (mode == 1)
                SplitByCharCount(ctx, path);
            if (mode == 2)
                SplitAtSeparator(ctx, path);
            EXPECT_EQ(ctx.state.source.encoding, encoding);
            Text joined;
            for (int k = 1;; ++k) {
                const Text piece = folder.File("s_" + std::to_string(k) + ".txt");
                if (!Fs().Exists(piece))
                    break;
                const DecodedText decoded = DecodeTextFile(piece, encoding);
                joined += (k > 1 && mode == 0 ? "\r\n" : "") + decoded.text;
                if (k > 1 && mode == 2)
                    joined.insert(joined.size() - decoded.text.size(), U("，"));
            }
            const Text expected = mode == 0 ? text.substr(0, text.size() - 2) : text;
            EXPECT_EQ(ToUtf8Lossy(joined), ToUtf8Lossy(expected))
                << "encoding " << static_cast<int>(encoding) << " mode " << mode;
        }
    }
}

// What an editor saves for an empty text: in every text mode, like an empty file.
TEST_F(SplitModesTest, AMarkAloneIsAnEmptyText) {
    SetMode(SplitAtSeparatorParams{"S"});
    for (const char* content : {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
        for (int mode = 0; mode < 3; ++mode) {
            temp.Write("s.txt", content);
            auto& ctx = Context();
            const Text path = temp.File("s.txt");
            const auto split = mode == 0   ? SplitByLineCount
                               : mode == 1 ? SplitByCharCount
                                           : SplitAtSeparator;
            ASSERT_EQ(split(ctx, path), ModeResult::Done);
            EXPECT_EQ(Joined(Pieces("s")), "") << ToUtf8Lossy(content) << " mode " << mode;
            EXPECT_TRUE(events.failures.empty());
        }
    }
}

}  // namespace
}  // namespace qs
