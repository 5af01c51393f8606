#include "encoding/html_charset.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "encoding/text_decoder.h"

namespace qs {
namespace {

struct BetweenRow {
    const char* name;
    Text text;
    Text start;
    Text end;
    std::int64_t position;
    bool quotes;
    Text expected;
    std::int64_t positionAfter;
};

TEST(TextBetween, Table) {
    // The sentinel "#Qirn头#" is 8 bytes long, so positions on its copy are shifted by 8.
    const std::vector<BetweenRow> rows = {
        {"both markers", "a<b>c</b>d", "<b>", "</b>", 0, false, "c", 10},
        {"letter case ignored", "<HEAD>x</Head>", "<head>", "</head>", 0, false, "x", 15},
        {"negative position is the start", "[1]", "[", "]", -5, false, "1", 4},
        {"search from position", "[1][2]", "[", "]", 4, false, "2", 7},
        {"position past the end", "[1]", "[", "]", 99, false, "", 99},
        {"end marker missing keeps position", "<b>c", "<b>", "</b>", 2, false, "", 2},
        {"start marker missing", "c</b>", "<b>", "</b>", 0, false, "", 0},
        {"nothing between", "<b></b>", "<b>", "</b>", 0, false, "", 8},
        {"empty start marker is the beginning", "abc>def", "", ">", 0, false, "abc", 13},
        {"empty end marker is the end", "abc>def", ">", "", 0, false, "def", 16},
        {"both markers empty", "abc", "", "", 0, false, "abc", 20},
        {"quote notation expanded", "x=\"1\"y", "x=''", "''", 0, true, "1", 6},
        {"quote notation taken literally", "x=\"1\"y", "x=''", "''", 0, false, "", 0},
        // 3C cannot be a second byte: after a stray B1 the "<" is a character of its own.
        {"a stray lead byte takes no \"<\"", "\xB1<b>x</b><b>y</b>", "<b>", "</b>", 0, false, "x",
         10},
    };
    for (const auto& row : rows) {
        std::int64_t position = row.position;
        EXPECT_EQ(TextBetween(row.text, row.start, row.end, position, row.quotes), row.expected)
            << row.name;
        EXPECT_EQ(position, row.positionAfter) << row.name;
    }
}

TEST(ScanTextBetween, WalksOneSegmentPerCall) {
    const Text text = "<meta a><meta b><x>";
    std::int64_t position = 0;
    EXPECT_EQ(ScanTextBetween(text, "<meta", ">", position), " a");
    EXPECT_EQ(ScanTextBetween(text, "<meta", ">", position), " b");
    EXPECT_EQ(position, 17);
    EXPECT_EQ(ScanTextBetween(text, "<meta", ">", position), "");
    EXPECT_EQ(position, 17);
}

TEST(ScanTextBetween, RetriesWithoutDoubleQuotes) {
    std::int64_t position = 0;
    // '' becomes a double quote; the text has none, so the bare markers are tried.
    EXPECT_EQ(ScanTextBetween("<x>v</x>", "<''x''>", "</x>", position), "v");
    EXPECT_EQ(position, 9);

    position = 0;
    EXPECT_EQ(ScanTextBetween("<x>v</x>", "<''x''>", "</x>", position, true), "");
    position = 0;
    EXPECT_EQ(ScanTextBetween("<x>v</x>", "<\"x\">", "</x>", position, true), "v");
}

TEST(ExpandQuotes, Table) {
    const struct {
        const char* name;
        Text text;
        Text expected;
    } rows[] = {
        {"empty", "", ""},
        {"one pair", "''", "\""},
        {"three quotes: left pair first", "'''", "\"'"},
        {"two pairs", "''''", "\"\""},
        {"single quote stays", "a'b", "a'b"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ExpandQuotes(row.text), row.expected) << row.name;
    }
}

TEST(ContainsAlternatives, Table) {
    const Text big5 = ExpandQuotes("charset=Big5[fg]charset=''Big5''[fg]charset='Big5'");
    const struct {
        const char* name;
        Text text;
        Text list;
        bool any;
        bool expected;
    } rows[] = {
        {"any: single-quoted form", "meta charset='big5'", big5, true, true},
        {"any: double-quoted form", "meta charset=\"BIG5\"", big5, true, true},
        {"any: none occurs", "meta charset=gbk", big5, true, false},
        {"all: every one occurs", "a b", "a[fg]b", false, true},
        {"all: one is missing", "a", "a[fg]b", false, false},
        {"any: one is enough", "a", "a[fg]b", true, true},
        {"empty list, any", "a", "", true, false},
        {"empty list, all", "a", "", false, true},
        // 繁 in Big5 is C1 63: the "c" is its second byte, not the start of "charset".
        {"no match on a second byte",
         "\xC1"
         "charset=big5",
         big5, true, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ContainsAlternatives(row.text, row.list, row.any), row.expected) << row.name;
    }
}

TEST(DetectHtmlCharset, Table) {
    const struct {
        const char* name;
        Text text;
        int expected;
    } rows[] = {
        {"empty text", "", HtmlCharsetNone},
        {"charset attribute", "<html><head><meta charset=utf-8></head>", HtmlCharsetUtf8},
        {"content attribute",
         "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\"></head>",
         HtmlCharsetUtf8},
        {"capital tags",
         "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=BIG5\">"
         "</HEAD>",
         HtmlCharsetBig5},
        {"double-quoted big5", "<meta charset=\"big5\">", HtmlCharsetBig5},
        {"single-quoted big5", "<meta charset='Big5'>", HtmlCharsetBig5},
        {"bare Big5-HKSCS holds bare Big5", "<meta charset=Big5-HKSCS>", HtmlCharsetBig5},
        {"double-quoted Big5-HKSCS", "<meta charset=\"Big5-HKSCS\">", HtmlCharsetBig5Hkscs},
        {"single-quoted Big5-HKSCS", "<meta charset='big5-hkscs'>", HtmlCharsetBig5Hkscs},
        {"later meta tag", "<meta name=x><meta charset=big5>", HtmlCharsetBig5},
        {"empty meta tag ends the walk", "<meta><meta charset=big5>", HtmlCharsetNone},
        {"declaration outside any meta tag", "<head><title>charset=utf-8</title></head>",
         HtmlCharsetNone},
        {"meta tag after the head is not read", "<head><b></b></head><meta charset=utf-8>",
         HtmlCharsetNone},
        {"head with attributes: whole text", "<head lang=zh></head><meta charset=utf-8>",
         HtmlCharsetUtf8},
        {"empty head: whole text", "<head></head><meta charset=big5>", HtmlCharsetBig5},
        {"meta tag never closed", "<meta charset=utf-8", HtmlCharsetNone},
        {"other charset", "<meta charset=gb2312>", HtmlCharsetNone},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DetectHtmlCharset(row.text), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace qs
