#include <fstream>

#include "oracle.h"

namespace qs::oracle {
namespace {

const std::vector<std::string> kTraditionalWords = {
    "中文", "測試資料", "繁體字", "第一章", "臺灣", "這是一個", "，", "。", "「對話」", "書籍"};
const std::vector<std::string> kJapanese = {"日本語", "テキスト", "こんにちは", "ファイル", "。"};
const std::vector<std::string> kKorean = {"한국어", "안녕하세요", "파일", "텍스트", "."};
const std::vector<std::string> kGlue = {"\r\n", "\n", " ", "abc", "3.14", "<p>"};

std::string Encoded(const std::string& utf8, const char* charset) {
    return Iconv(utf8, "UTF-8", charset).value_or(utf8);  // every word has a form in each
}

std::string Sentence(Rng& rng, const std::vector<std::string>& words, int lo, int hi) {
    std::string text = words.front();  // never ASCII alone
    for (int n = rng.Int(lo, hi); n > 0; --n) {
        text += rng.Chance(0.7) ? rng.Pick(words) : rng.Pick(kGlue);
    }
    return text;
}

}  // namespace

void RewriteInOtherEncodings(Rng& rng, Truths& truths) {
    std::vector<std::string> files;
    for (const auto& [path, truth] : truths) {
        files.push_back(path);
    }
    for (int n = files.empty() ? 0 : rng.Int(1, 3); n > 0; --n) {
        const std::string& path = rng.Pick(files);
        std::string bytes;
        std::string truth;
        switch (rng.Int(0, 7)) {
            case 0:  // undeclared Big5, long enough to be told apart or not
                truth = "BIG5";
                bytes = Encoded(Sentence(rng, kTraditionalWords, 2, 120), "BIG5");
                break;
            case 1:  // a feed that says it is Big5
                truth = "BIG5";
                bytes = Encoded("<?xml version=\"1.0\" encoding=\"big5\"?>\n<rss>" +
                                    Sentence(rng, kTraditionalWords, 2, 40) + "</rss>",
                                "BIG5");
                break;
            case 2:
            case 3:  // UTF-16 without a mark
                truth = rng.Chance(0.5) ? "UTF-16LE" : "UTF-16BE";
                bytes =
                    Encoded(Sentence(rng, rng.Chance(0.5) ? kTraditionalWords : kJapanese, 4, 60),
                            truth.c_str());
                break;
            case 4:  // encodings the program does not read
                bytes = Encoded(Sentence(rng, kJapanese, 2, 60), "SHIFT_JIS");
                truth = kNoText;
                break;
            case 5:
                bytes = Encoded(Sentence(rng, kKorean, 2, 60), "EUC-KR");
                truth = kNoText;
                break;
            case 6:
                bytes = Encoded(Sentence(rng, kTraditionalWords, 2, 60), "EUC-TW");
                truth = kNoText;
                break;
            default: {  // a picture
                bytes = std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
                for (int k = rng.Int(8, 400); k > 0; --k) {
                    bytes += static_cast<char>(rng.Int(0, 255));
                }
                truth = kNoText;
            }
        }
        truths[path] = truth;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
}

void WriteHardTexts(Rng& rng, Truths& truths) {
    const std::vector<std::string> words = {"中文", "测试数据", "第一章", "这是一个", "，", "。"};
    const std::vector<std::string> wide = {"ＡＢＣ", "１２３", "あいうえお", "日本語", "。"};
    const std::string gbk = Encoded(Sentence(rng, words, 4, 200), "GB18030");
    std::string bytes = gbk + "\xCA";  // the last character cut in half
    std::string truth = "GB18030" + kDamaged;
    const int kind = rng.Int(0, 4);
    if (kind == 1) {  // a byte in the middle overwritten
        bytes = gbk;
        bytes[static_cast<std::size_t>(rng.Int(0, static_cast<int>(gbk.size()) - 1))] = '\xFF';
    } else if (kind == 2) {  // a UTF-16LE mark and an odd last byte
        bytes = "\xFF\xFE" + Encoded(Sentence(rng, words, 0, 60), "UTF-16LE") + "x";
        truth = "UTF-16LE" + kDamaged;
    } else if (kind == 3) {  // mostly ASCII, one Chinese character a line
        bytes.clear();
        for (int n = rng.Int(1, 40); n > 0; --n) {
            bytes += "item " + std::to_string(n) + ": " +
                     rng.Pick(std::vector<std::string>{"中", "書", "電", "說"}) + "\n";
        }
        bytes = Encoded(bytes, "BIG5");
        truth = "BIG5";
    } else if (kind == 4) {  // nothing but full-width characters
        bytes = Encoded(Sentence(rng, wide, 4, 60), "SHIFT_JIS");
        truth = kNoText;
    }
    std::vector<std::string> files;
    for (const auto& [path, given] : truths) {
        files.push_back(path);
    }
    if (!files.empty()) {
        const std::string& path = rng.Pick(files);
        truths[path] = truth;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
}

}  // namespace qs::oracle
