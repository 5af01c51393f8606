// The text modes read, cut and write their source in slices. Random texts in every encoding,
// read with tiny slices and pieces held only briefly (so that slice edges fall inside
// characters, CR LF pairs and separators), must give exactly the pieces that the rules
// give on the whole decoded text.
#include <gtest/gtest.h>

#include <random>

#include "encoding/charset_converter.h"
#include "encoding/text_slices.h"
#include "pattern/regex_facade.h"
#include "platform/random.h"
#include "split/split_modes.h"
#include "split_fixture.h"
#include "text/characters.h"

namespace qs {
namespace {

class StreamedTextTest : public SplitFixture {};

// The source's bytes: a random text in a random encoding, now and then with a damaged byte;
// longer than a few blocks of 64 bytes when asked.
Bytes RandomSource(std::mt19937& gen, int longest = 60) {
    static const char* const kAlphabet[] = {"a",  "Z",    " ",      "\t",         "\r",
                                            "\n", "\r\n", "\u3000", "中",         "文",
                                            "◆",  "◇",    "\uFEFF", "\U00020000", "<"};
    Text text;
    const int length = std::uniform_int_distribution<int>(0, longest)(gen);
    for (int k = 0; k < length; ++k) {
        const char* pick = kAlphabet[gen() % std::size(kAlphabet)];
        Text internal;
        Utf8ToInternal(pick, internal);
        text += internal;
    }
    Bytes bytes;
    switch (gen() % 6) {
        case 0:
            bytes = text;  // the internal code page itself: raw
            break;
        case 1:
        case 2:
            bytes = EncodeText(text, {TextEncoding::Utf8, gen() % 2 == 0}).value_or(text);
            break;
        case 3:
            bytes = EncodeText(text, {TextEncoding::Utf16Le, true}).value_or(text);
            break;
        case 4:
            bytes = EncodeText(text, {TextEncoding::Utf16Be, true}).value_or(text);
            break;
        case 5:
            // Big5 as declared, or UTF-8 under an older declaration.
            bytes =
                "<meta charset=Big5>" +
                EncodeText(text, {gen() % 2 == 0 ? TextEncoding::Big5 : TextEncoding::Utf8, false})
                    .value_or(text);
            break;
    }
    if (text.empty() && gen() % 2 == 0) {
        bytes = ByteOrderMark(
            static_cast<TextEncoding>(static_cast<int>(TextEncoding::Utf8) + gen() % 3));
    }
    // UTF-8 look-alikes that no exact conversion accepts: overlong, surrogate, beyond U+10FFFF.
    static const char* const kDamage[] = {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80",
                                          "\xF4\x90\x80\x80", "\xF0\x80\x80\x80"};
    if (!bytes.empty() && gen() % 5 == 0) {
        bytes[gen() % bytes.size()] = static_cast<char>(gen());
    } else if (gen() % 5 == 0) {
        bytes.insert(gen() % (bytes.size() + 1), kDamage[gen() % std::size(kDamage)]);
    }
    return bytes;
}

// The pieces the rules give on the whole text, in the order written.
TextList ExpectedPieces(SplitFixture::Mode mode, const Text& text, std::size_t n, bool ignoreBlank,
                        const Text& separator) {
    TextList pieces;
    if (mode == SplitFixture::Mode::Separator) {
        return SplitText(text, separator);
    }
    if (mode == SplitFixture::Mode::Chars) {
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t length = ByteLengthOfChars(std::string_view(text).substr(pos), n);
            pieces.push_back(text.substr(pos, length));
            pos += length;
        }
        return pieces;
    }
    RegexObject lineBreaks;
    lineBreaks.Compile("\r(?!\n)|(?<!\r)\n");
    const Text normalized = lineBreaks.Replace(text, "\r\n");
    std::size_t lines = 0;
    for (std::size_t pos = 0; pos < normalized.size();) {
        std::size_t lf = normalized.find('\n', pos);
        const bool ended = lf != Text::npos;
        lf = ended ? lf : normalized.size();
        Text line = normalized.substr(pos, lf - pos);
        if (ended && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        pos = ended ? lf + 1 : lf;
        Text stripped = ReplaceAll(line, "\t", "");
        stripped = ReplaceAll(ReplaceAll(stripped, " ", ""), U("\u3000"), "");
        if (ignoreBlank && stripped.empty()) {
            continue;
        }
        if (lines++ % n == 0) {
            pieces.push_back(line);
        } else {
            pieces.back() += "\r\n" + line;
        }
    }
    return pieces;
}

TEST_F(StreamedTextTest, SlicedPiecesAreThoseOfTheWholeText) {
    for (unsigned seed = 1; seed <= 400; ++seed) {
        std::mt19937 gen(seed);
        // One in four long, in slices that hold whole blocks of lines.
        const bool blocks = seed % 4 == 0;
        const Bytes source = RandomSource(gen, blocks ? 500 : 60);
        const std::size_t slice = blocks ? 65 + gen() % 300 : 1 + gen() % 9;
        const DecodedText whole = DecodeBytes(source);

        TempFolder folder;
        folder.Write("s.txt", source);
        TextSliceReader reader(slice);
        ASSERT_TRUE(reader.Open(folder.File("s.txt")));
        Text streamed;
        for (std::string_view part; reader.Next(part) && !part.empty();) {
            streamed += part;
        }
        ASSERT_EQ(streamed, whole.text) << "seed " << seed;
        ASSERT_EQ(reader.Format().encoding, whole.format.encoding) << "seed " << seed;
        ASSERT_EQ(reader.Format().mark, whole.format.mark) << "seed " << seed;

        const auto mode = static_cast<Mode>(gen() % 3);
        const std::size_t n = 1 + gen() % (blocks ? 40 : 4);
        const bool ignoreBlank = gen() % 2 == 0;
        const Text separator = gen() % 2 == 0 ? U("◆◇") : U("\r");
        const auto count = static_cast<std::int32_t>(n);
        Params().skipBlankLines = ignoreBlank;
        auto& ctx = Context();
        ctx.outputFolder = folder.Path() + "/";
        ctx.sliceBytes = slice;
        ctx.pieceHoldBytes = 1 + gen() % (blocks ? 1000 : 12);
        ctx.waitingPieces = seed % 4;
        ASSERT_EQ(RunMode(ctx, ModeOf(mode, count, count, separator), folder.File("s.txt")),
                  ModeResult::Done);

        // A source in no encoding the program reads gives no pieces.
        const TextList expected = whole.exact || whole.damage.Any()
                                      ? ExpectedPieces(mode, whole.text, n, ignoreBlank, separator)
                                      : TextList();
        ASSERT_EQ(ctx.state.piecesMade, static_cast<std::int64_t>(expected.size()))
            << "seed " << seed << " " << ::testing::PrintToString(source);
        for (std::size_t k = 0; k < expected.size(); ++k) {
            // An empty piece of a marked source is the mark alone.
            const Bytes wanted =
                expected[k].empty() && whole.format.mark
                    ? Bytes(ByteOrderMark(whole.format.encoding))
                    : EncodeTextKeepingBytes(expected[k], whole.format).value_or(expected[k]);
            ASSERT_EQ(folder.Read("s_" + std::to_string(k + 1) + ".txt"), wanted)
                << "seed " << seed << " piece " << k + 1;
        }
    }
}

// Lines that keep their breaks are the source's own bytes, whatever its encoding, damage and
// slices: joined, the pieces are the source; there are as many as the line rules give on its
// text, and each but the last ends with a break (a CR LF never parted).
TEST_F(StreamedTextTest, KeptLineBreaksJoinToTheSource) {
    for (unsigned seed = 1; seed <= 400; ++seed) {
        std::mt19937 gen(seed);
        const Bytes source = RandomSource(gen);
        const DecodedText whole = DecodeBytes(source);
        const std::size_t n = 1 + gen() % 4;
        TempFolder folder;
        folder.Write("s.txt", source);
        const auto count = static_cast<std::int32_t>(n);
        auto& ctx = Context();
        ctx.outputFolder = folder.Path() + "/";
        ctx.sliceBytes = 1 + gen() % 9;
        ctx.pieceHoldBytes = 1 + gen() % 12;
        ASSERT_EQ(RunMode(ctx, SplitByLinesParams{count, count, true}, folder.File("s.txt")),
                  ModeResult::Done);
        const bool readable = whole.exact || whole.damage.Any();
        // A mark alone is one piece.
        const std::size_t lines = ExpectedPieces(Mode::Lines, whole.text, n, false, {}).size();
        const std::size_t expected = !readable ? 0 : lines > 0 || source.empty() ? lines : 1;
        ASSERT_EQ(ctx.state.piecesMade, static_cast<std::int64_t>(expected))
            << "seed " << seed << " " << ::testing::PrintToString(source);
        const TextEncoding encoding = whole.format.encoding;
        const std::size_t unit =
            encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be ? 2 : 1;
        Bytes joined;
        for (std::size_t k = 1; k <= expected; ++k) {
            const Bytes piece = folder.Read("s_" + std::to_string(k) + ".txt");
            const std::size_t last = piece.size() - (encoding == TextEncoding::Utf16Le ? 2 : 1);
            ASSERT_TRUE(k == expected ||
                        (piece.size() >= unit && (piece[last] == '\n' || piece[last] == '\r')))
                << "seed " << seed << " piece " << k;
            joined += piece;
        }
        if (readable) {
            ASSERT_EQ(joined, source) << "seed " << seed;
        }
    }
}

// A UTF-8 body is cut as it is. Named after their text or written in another encoding, its
// pieces are those of the same text from a source that is decoded.
TEST_F(StreamedTextTest, Utf8BodiesCutAsTheyAreGiveThePiecesOfTheirText) {
    const Text text =
        U("第一句话很长很长很长很长很长很长。◆◇第二句话也很长很长很长很长！◆◇\r\n尾◆");
    const struct {
        const char* output;
        bool randomNames;
    } rows[] = {{"", false}, {"", true}, {"utf-16le", false}, {"gbk", true}};
    for (const auto& row : rows) {
        Params().output.encoding = ParseOutputEncoding(row.output);
        Params().nameFromText = row.randomNames;
        std::map<Text, Text> pieces[2];
        for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Utf16Le}) {
            TempFolder folder;
            folder.Write("s.txt", EncodeText(text, {encoding, true}).value_or(text));
            auto& ctx = Context();
            ctx.outputFolder = folder.Path() + "/";
            ctx.sliceBytes = 5;
            ctx.pieceHoldBytes = row.randomNames ? 1000 : 7;
            ASSERT_EQ(RunMode(ctx, SplitAtSeparatorParams{U("◆◇")}, folder.File("s.txt")),
                      ModeResult::Done);
            EXPECT_EQ(ctx.state.piecesInUtf8, encoding == TextEncoding::Utf8);
            const auto entries = Fs().List(folder.Path());
            ASSERT_TRUE(entries);
            for (const DirEntry& entry : *entries) {
                const Bytes bytes = folder.Read(entry.name);
                // Without an output encoding each piece is in its source's.
                pieces[encoding == TextEncoding::Utf8][entry.name] =
                    *row.output ? bytes : DecodeBytes(bytes).text;
            }
        }
        EXPECT_EQ(pieces[0].size(), 4u) << row.output;
        pieces[0].erase("s.txt");
        pieces[1].erase("s.txt");
        EXPECT_EQ(pieces[0], pieces[1]) << row.output << row.randomNames;
    }
}

// Random UTF-8 texts (LF, CR and CR LF mixed, characters of one to four bytes, marks) cut in
// their own bytes in every text mode, with slices and held pieces so small that their edges
// fall inside characters, line breaks and separators, give byte for byte the pieces of the
// path that decodes the text, under any output encoding and with names taken from the text
// (from as much of a large piece's beginning, wherever it was held).
TEST_F(StreamedTextTest, Utf8BodiesCutInTheirOwnBytesGiveTheDecodedPathsPieces) {
    static const char* const kAlphabet[] = {"a", " ",  "\t", "\r", "\n",         "\r\n",  "\u3000",
                                            "é", "中", "◆",  "◇",  "\U00020000", "\uFEFF"};
    static const char* const kOutputs[] = {"", "", "utf-16le", "gbk", "utf-8-mark"};
    int cutInOwnBytes = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 gen(seed);
        const char* output = kOutputs[gen() % std::size(kOutputs)];
        // GBK drops U+FEFF: a stretch of a streamed piece holding nothing else fails on either
        // path, wherever its edges fall.
        const std::size_t letters = std::size(kAlphabet) - (output == kOutputs[3] ? 1 : 0);
        std::string utf8;
        for (int k = std::uniform_int_distribution<int>(0, 80)(gen); k > 0; --k) {
            utf8 += kAlphabet[gen() % letters];
        }
        Bytes source = (gen() % 2 ? "\xEF\xBB\xBF" : "") + utf8;
        // Now and then the internal code page, which the line mode's early cut gives up.
        if (seed % 8 == 0 && Utf8ToInternal(utf8, source)) {
            source.insert(0, "\xA4\xA4");
        }
        const auto mode = static_cast<Mode>(gen() % 3);
        const auto min = static_cast<std::int32_t>(1 + gen() % 4);
        const auto max = static_cast<std::int32_t>(min + static_cast<std::int32_t>(gen() % 3));
        Params().skipBlankLines = gen() % 2 == 0;
        Params().nameFromText = gen() % 4 == 0;
        const Text separator = gen() % 2 ? U("◆◇") : U("\r\n");
        Params().output.encoding = ParseOutputEncoding(output);
        const std::size_t slice = 1 + gen() % 9, hold = 1 + gen() % 12, names = 1 + gen() % 24;
        std::map<Text, Bytes> pieces[2];
        for (const bool own : {true, false}) {
            TempFolder folder;
            folder.Write("s.txt", source);
            auto& ctx = Context();
            ctx.outputFolder = folder.Path() + "/";
            ctx.sliceBytes = slice;
            ctx.pieceHoldBytes = hold;
            ctx.nameTextBytes = names;
            ctx.cutUtf8Bodies = own;
            ctx.waitingPieces = seed % 4;
            FixRandomSeed(seed);
            ASSERT_EQ(RunMode(ctx, ModeOf(mode, min, max, separator), folder.File("s.txt")),
                      ModeResult::Done);
            cutInOwnBytes += ctx.state.piecesInUtf8 ? 1 : 0;
            const auto entries = Fs().List(folder.Path());
            for (const DirEntry& entry : entries.value_or(std::vector<DirEntry>())) {
                pieces[own][entry.name] = folder.Read(entry.name);
            }
        }
        ASSERT_EQ(pieces[0], pieces[1]) << "seed " << seed;
    }
    EXPECT_GT(cutInOwnBytes, 250);
}

// A piece named after its text that is too large to hold goes to its file as it comes, its
// name drawn from its beginning: memory does not grow with one long line.
TEST_F(StreamedTextTest, ALargeNamedPieceIsNamedAfterItsBeginning) {
    Text tail;
    for (int k = 0; k < 200; ++k) {
        tail += U("后面的句子不能做名字，");
    }
    const Text text = U("开头的这一句话做名字，") + tail;
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Gb18030}) {
        TempFolder folder;
        folder.Write("s.txt", EncodeText(text, {encoding, false}).value_or(text));
        Params().nameFromText = true;
        auto& ctx = Context();
        ctx.outputFolder = folder.Path() + "/";
        ctx.sliceBytes = 64;
        ctx.pieceHoldBytes = 16;
        ctx.nameTextBytes = 22;  // the first sentence and its comma
        ASSERT_EQ(RunMode(ctx, SplitByLinesParams{1, 1}, folder.File("s.txt")), ModeResult::Done);
        EXPECT_EQ(folder.Read(U("开头的这一句话做名字.txt")), folder.Read("s.txt"));
    }
}

}  // namespace
}  // namespace qs
