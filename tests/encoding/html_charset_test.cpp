#include "encoding/html_charset.h"

#include <gtest/gtest.h>

#include "encoding/text_decoder.h"

namespace qs {
namespace {

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
