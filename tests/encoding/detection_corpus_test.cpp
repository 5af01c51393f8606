// Detection measured on texts that Debian packages ship (scripts/setup.sh installs them):
// cut into pieces of 200 bytes and up, turned into every encoding with iconv, undeclared
// and declared. A file in an encoding the program reads must decode to its own text or be
// refused; one in any other charset, or binary data, must be refused.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "encoding/text_slices.h"
#include "platform/charset_detectors.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

using namespace std::string_literals;

std::optional<std::string> Iconv(const std::string& in, const char* from, const char* to) {
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(in.size() * 4 + 16, '\0');
    char* ip = const_cast<char*>(in.data());
    std::size_t il = in.size();
    char* op = out.data();
    std::size_t ol = out.size();
    const std::size_t irreversible = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (irreversible != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - ol);
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream s;
    s << file.rdbuf();
    return s.str();
}

// Pieces of whole lines, about 200, 400, 1000, 3000 and 10000 bytes in turn, those with
// something beyond ASCII; and the whole text.
std::vector<std::string> Pieces(const std::string& utf8) {
    static const std::size_t sizes[] = {200, 400, 1000, 3000, 10000};
    const auto beyondAscii = [](const std::string& s) {
        return std::any_of(s.begin(), s.end(), [](char c) { return c & 0x80; });
    };
    std::vector<std::string> pieces;
    std::string piece;
    std::size_t next = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t end = std::min(utf8.find('\n', at), utf8.size() - 1) + 1;
        piece.append(utf8, at, end - at);
        at = end;
        if (piece.size() >= sizes[next % 5] || at == utf8.size()) {
            if (beyondAscii(piece)) {
                pieces.push_back(piece);
            }
            piece.clear();
            ++next;
        }
    }
    if (pieces.size() > 1) {
        pieces.push_back(utf8);
    }
    return pieces;
}

struct Sample {
    std::string name;
    std::string truth;  // the iconv name; empty: must be refused
    std::string bytes;
    std::string utf8;  // its text
};

struct Source {
    const char* path;
    const char* charset;  // of the file
    std::vector<const char*> variants;
    bool supported;
};

const std::string kVim = "/usr/share/vim/vim90/";
const std::string kPython = "/usr/lib/python3.11/test/cjkencodings/";
const std::string kFortunes = "/usr/share/games/fortunes/";

std::vector<Source> Sources() {
    const std::vector<const char*> chinese = {"GB18030", "BIG5", "UTF-16LE", "UTF-16BE"};
    return {
        {"tutor/tutor.zh.euc", "GB2312", chinese, true},
        {"tutor/tutor.zh_tw.utf-8", "UTF-8", chinese, true},
        {"lang/menu_zh_tw.big5.vim", "BIG5", {"BIG5", "UTF-16LE"}, true},
        {"lang/menu_zh_cn.gbk.vim", "GBK", {"GB18030", "UTF-16BE"}, true},
        {"big5.txt", "BIG5", chinese, true},
        {"gb2312.txt", "GB2312", chinese, true},
        {"gbk.txt", "GBK", chinese, true},
        {"gb18030.txt", "GB18030", chinese, true},
        {"big5hkscs.txt", "BIG5-HKSCS", {"BIG5-HKSCS", "UTF-16LE"}, true},
        {"chinese", "UTF-8", chinese, true},
        {"tang300", "UTF-8", chinese, true},
        {"song100", "UTF-8", chinese, true},
        {"tutor/tutor.ja.sjis", "SHIFT_JIS", {"SHIFT_JIS"}, false},
        {"tutor/tutor.ja.euc", "EUC-JP", {"EUC-JP", "SHIFT_JIS"}, false},
        {"tutor/tutor.ko.euc", "EUC-KR", {"EUC-KR"}, false},
        {"shift_jis.txt", "SHIFT_JIS", {"SHIFT_JIS", "EUC-JP"}, false},
        {"euc_kr.txt", "EUC-KR", {"EUC-KR"}, false},
        {"tutor/tutor.zh_tw.utf-8", "UTF-8", {"EUC-TW"}, false},
        {"tutor/tutor.fr", "ISO-8859-1", {"ISO-8859-1"}, false},
        {"tutor/tutor.de", "ISO-8859-1", {"ISO-8859-1"}, false},
        {"tutor/tutor.pl.cp1250", "CP1250", {"CP1250"}, false},
        {"tutor/tutor.ru.cp1251", "CP1251", {"CP1251"}, false},
    };
}

std::string Where(const std::string& name) {
    for (const std::string& folder : {kVim, kPython, kFortunes}) {
        if (std::ifstream(folder + name).good()) {
            return folder + name;
        }
    }
    return {};
}

// Every sample, or the name of a source that is not installed.
std::vector<Sample> Corpus(std::string& missing) {
    std::vector<Sample> corpus;
    for (const Source& source : Sources()) {
        const std::string path = Where(source.path);
        if (path.empty()) {
            missing = source.path;
            return {};
        }
        std::string raw = ReadFile(path);
        // The first 40 KB of the long ones do.
        if (raw.size() > 40000) {
            raw.resize(raw.find('\n', 40000) + 1);
        }
        const std::optional<std::string> text = Iconv(raw, source.charset, "UTF-8");
        if (!text) {
            missing = std::string(source.path) + " (not " + source.charset + ")";
            return {};
        }
        const std::vector<std::string> pieces = Pieces(*text);
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            for (const char* charset : source.variants) {
                const std::optional<std::string> bytes = Iconv(pieces[k], "UTF-8", charset);
                if (!bytes || bytes->size() < 200) {
                    continue;
                }
                const std::string name =
                    std::string(source.path) + "#" + std::to_string(k) + ">" + charset;
                const std::string truth = source.supported ? charset : "";
                corpus.push_back({name, truth, *bytes, pieces[k]});
                if (source.supported && k % 4 == 0 && charset[0] == 'B') {
                    // A feed and a page that say what they are, and one that says it wrongly.
                    corpus.push_back({name + " xml", truth,
                                      "<?xml version=\"1.0\" encoding=\"big5\"?>\n" + *bytes,
                                      "<?xml version=\"1.0\" encoding=\"big5\"?>\n" + pieces[k]});
                    const std::string wrong = "<html><head><meta charset=\"utf-8\"></head><body>\n";
                    corpus.push_back({name + " html", truth, wrong + *bytes, wrong + pieces[k]});
                }
            }
        }
    }
    // The start of a Big5 file (further on it has a byte that iconv's Big5 lacks), catalogues
    // of messages, a picture.
    const std::string big5 = ReadFile(kVim + "tutor/tutor.zh.big5").substr(0, 1300);
    corpus.push_back({"tutor.zh.big5 head", "BIG5", big5, Iconv(big5, "BIG5", "UTF-8").value()});
    for (const std::string name :
         {"lang/zh_CN/LC_MESSAGES/vim.mo", "lang/zh_TW/LC_MESSAGES/vim.mo"}) {
        const std::string bytes = ReadFile(kVim + name);
        corpus.push_back({name, "", bytes, ""});
        corpus.push_back({name + " head", "", bytes.substr(0, 300), ""});
    }
    const std::string png = "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0"s;
    corpus.push_back({"picture", "", png + std::string(300, '\x7F'), ""});
    return corpus;
}

TEST(DetectionCorpus, EveryFileReadsAsItsOwnTextOrIsRefused) {
    std::string missing;
    const std::vector<Sample> corpus = Corpus(missing);
    ASSERT_TRUE(missing.empty()) << missing << " is missing: run scripts/setup.sh";

    struct Tally {
        int files = 0, right = 0, refused = 0, locale = 0, wrong = 0;
    };
    // A text too short to tell GB18030 from Big5 is read as the locale says: it is the
    // locale's if a Taiwanese one reads it otherwise.
    const auto decidedByLocale = [](const std::string& bytes, const DecodedText& decoded) {
        const char* before = std::getenv("LC_ALL");
        const std::string saved = before != nullptr ? before : "";
        setenv("LC_ALL", "zh_TW.UTF-8", 1);
        const DecodedText other = DecodeBytes(bytes);
        before != nullptr ? setenv("LC_ALL", saved.c_str(), 1) : unsetenv("LC_ALL");
        return other.exact != decoded.exact || other.text != decoded.text;
    };
    std::map<std::string, Tally> table;
    // Each library alone on the same files: its answer names the true encoding (GB2312 and
    // GBK count for GB18030, Big5 for Big5-HKSCS) or, for another charset, none of ours.
    const auto family = [](std::string name) {
        std::transform(name.begin(), name.end(), name.begin(), ::toupper);
        return name.starts_with("GB") ? "GB" : name.starts_with("BIG5") ? "BIG5" : name;
    };
    const auto ours = [&](const std::string& name) {
        const std::string f = family(name);
        return f == "GB" || f == "BIG5" || f.starts_with("UTF-16");
    };
    int icuRight = 0;
    int uchardetRight = 0;
    TempFolder folder;
    int supported = 0;
    int right = 0;
    for (const Sample& sample : corpus) {
        const DecodedText decoded = DecodeBytes(sample.bytes);
        const bool own = decoded.exact &&
                         Iconv(decoded.text, "GB18030", "UTF-8").value_or("\x01") == sample.utf8;
        Tally& row =
            table[sample.truth.empty() ? "refuse: " + sample.name.substr(sample.name.rfind('>') + 1)
                                       : sample.truth];
        ++row.files;
        const bool ok = sample.truth.empty() ? !decoded.exact : own;
        row.right += ok ? 1 : 0;
        row.refused += !decoded.exact ? 1 : 0;
        if (!ok && decoded.exact && decidedByLocale(sample.bytes, decoded)) {
            ++row.locale;
        } else if (!ok && decoded.exact) {
            ++row.wrong;
            ADD_FAILURE() << sample.name << ": read as " << CharsetName(decoded.format.encoding)
                          << " (code " << static_cast<int>(decoded.format.encoding)
                          << "), which is not its text";
        }
        const CharsetVotes votes = DetectCharsets(sample.bytes);
        const std::string icu = votes.icu.empty() ? "" : votes.icu.front().name;
        const auto libraryRight = [&](const std::string& name) {
            return sample.truth.empty() ? !ours(name) : family(name) == family(sample.truth);
        };
        icuRight += libraryRight(icu) ? 1 : 0;
        uchardetRight += libraryRight(votes.uchardet) ? 1 : 0;
        if (!sample.truth.empty()) {
            ++supported;
            right += own ? 1 : 0;
        }

        folder.Write("s", sample.bytes);
        TextSliceReader reader(997);
        ASSERT_TRUE(reader.Open(folder.File("s")));
        Text streamed;
        for (std::string_view slice; reader.Next(slice) && !slice.empty();) {
            streamed += slice;
        }
        EXPECT_EQ(reader.Exact(), decoded.exact) << sample.name;
        EXPECT_EQ(reader.Format().encoding, decoded.format.encoding) << sample.name;
        EXPECT_TRUE(!decoded.exact || streamed == decoded.text) << sample.name;
    }
    std::printf("%-24s %6s %6s %8s %7s %6s\n", "true encoding", "files", "right", "refused",
                "locale", "wrong");
    for (const auto& [name, row] : table) {
        std::printf("%-24s %6d %6d %8d %7d %6d\n", name.c_str(), row.files, row.right, row.refused,
                    row.locale, row.wrong);
    }
    std::printf("supported: %d of %d read right\n", right, supported);
    std::printf("each library alone, all %zu files: ICU %d right, uchardet %d right\n",
                corpus.size(), icuRight, uchardetRight);
    EXPECT_GE(right * 100, supported * 98);
}

}  // namespace
}  // namespace qs
