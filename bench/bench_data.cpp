#include "bench/bench_data.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unicode/ucnv.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <string_view>

namespace qs::bench {
namespace {

constexpr char16_t kSeparator[] = u"\u25C6\u25C7";  // ◆◇
constexpr char16_t kPunctuation[] = u"，。、；：！？";
// Stands in for a four-byte GB18030 character in the copies that cannot hold one.
constexpr char16_t kSubstitute = u'中';

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenStrict(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(name, &status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    return U_SUCCESS(status) ? std::move(converter) : nullptr;
}

bool Encode(UConverter* converter, std::u16string_view text, std::string& out) {
    out.resize(text.size() * 4 + 16);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                      text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) {
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

// An output file in one charset, written block by block.
class Sink {
public:
    Sink(const std::string& path, const char* charset, std::string_view mark, bool fourByte)
        : m_path(path), m_converter(OpenStrict(charset)), m_fourByte(fourByte) {
        m_file = std::fopen(path.c_str(), "wb");
        if (m_file != nullptr) {
            std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
            m_ok = m_converter != nullptr &&
                   std::fwrite(mark.data(), 1, mark.size(), m_file) == mark.size();
            m_bytes = static_cast<std::int64_t>(mark.size());
        }
    }
    ~Sink() { Close(); }

    // full holds four-byte characters, plain the same text with them substituted.
    void Put(std::u16string_view full, std::u16string_view plain) {
        if (!m_ok) {
            return;
        }
        if (!Encode(m_converter.get(), m_fourByte ? full : plain, m_buffer)) {
            std::fprintf(stderr, "bench: %s: a character has no counterpart\n", m_path.c_str());
            m_ok = false;
            return;
        }
        m_ok = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) == m_buffer.size();
        m_bytes += static_cast<std::int64_t>(m_buffer.size());
    }
    bool Close() {
        if (m_file != nullptr) {
            m_ok = std::fclose(m_file) == 0 && m_ok;
            m_file = nullptr;
        }
        return m_ok;
    }
    std::int64_t Bytes() const { return m_bytes; }

private:
    std::string m_path;
    ConverterPtr m_converter;
    bool m_fourByte;
    std::FILE* m_file = nullptr;
    bool m_ok = false;
    std::string m_buffer;
    std::int64_t m_bytes = 0;
};

// The ideographs that GBK and Big5 both hold, so that every copy can be exact.
std::u16string CommonIdeographs() {
    ConverterPtr big5 = OpenStrict("Big5");
    ConverterPtr gbk = OpenStrict("GBK");
    std::u16string pool;
    std::string out;
    for (char16_t c = 0x4E00; c <= 0x9FA5; ++c) {
        const std::u16string_view one(&c, 1);
        if (Encode(big5.get(), one, out) && out.size() == 2 && Encode(gbk.get(), one, out) &&
            out.size() == 2) {
            pool.push_back(c);
        }
    }
    return pool;
}

class TextMaker {
public:
    TextMaker() : m_pool(CommonIdeographs()), m_rng(20261208) {}

    // Lines of 30-200 characters ended by CR LF until the UTF-8 size reaches target bytes.
    // Returns the characters as the program counts them.
    std::int64_t Make(std::int64_t target, bool separators, std::vector<Sink*> sinks) {
        std::uniform_int_distribution<int> lineLength(30, 200);
        std::uniform_int_distribution<std::size_t> pick(0, m_pool.size() - 1);
        std::uniform_int_distribution<int> percent(0, 99);
        std::uniform_int_distribution<int> punctuation(0, 6);
        std::uniform_int_distribution<int> extensionA(0x3400, 0x4DB5);
        std::u16string full, plain;
        std::int64_t bytes = 0, chars = 0, sinceSeparator = 0;
        auto put = [&](char16_t f, char16_t p) {
            full.push_back(f);
            plain.push_back(p);
        };
        while (bytes < target) {
            if (separators && sinceSeparator >= 10240) {
                put(kSeparator[0], kSeparator[0]);
                put(kSeparator[1], kSeparator[1]);
                bytes += 6;
                chars += 2;
                sinceSeparator = 0;
            }
            const int length = lineLength(m_rng);
            for (int k = 0; k < length; ++k) {
                const int roll = percent(m_rng);
                if (roll < 6) {
                    const char16_t c = kPunctuation[punctuation(m_rng)];
                    put(c, c);
                } else if (roll < 7) {
                    put(static_cast<char16_t>(extensionA(m_rng)), kSubstitute);
                } else {
                    const char16_t c = m_pool[pick(m_rng)];
                    put(c, c);
                }
            }
            put(u'\r', u'\r');
            put(u'\n', u'\n');
            bytes += 3 * length + 2;
            sinceSeparator += 3 * length + 2;
            chars += length + 1;
            if (full.size() >= (1u << 17) || bytes >= target) {
                for (Sink* sink : sinks) {
                    sink->Put(full, plain);
                }
                full.clear();
                plain.clear();
            }
        }
        return chars;
    }

private:
    std::u16string m_pool;
    std::mt19937_64 m_rng;
};

// The merge members m000.txt .. m099.txt (UTF-8) of memberBytes each in data.mergeFolder, and
// when gbk the same texts in GBK in data.gbkMergeFolder.
bool MakeMembers(TextMaker& maker, std::int64_t memberBytes, bool gbk, BenchData& data) {
    if (::mkdir(data.mergeFolder.c_str(), 0777) != 0 ||
        (gbk && ::mkdir(data.gbkMergeFolder.c_str(), 0777) != 0)) {
        return false;
    }
    for (int k = 0; k < 100; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "m%03d.txt", k);
        Sink member(data.mergeFolder + "/" + name, "UTF-8", "", true);
        std::optional<Sink> gbkMember;
        std::vector<Sink*> sinks = {&member};
        if (gbk) {
            sinks.push_back(&gbkMember.emplace(data.gbkMergeFolder + "/" + name, "GBK", "", false));
        }
        maker.Make(memberBytes, false, sinks);
        if (!member.Close() || (gbkMember && !gbkMember->Close())) {
            return false;
        }
        data.mergeMembers.push_back(name);
        data.mergeBytes += member.Bytes();
    }
    return true;
}

}  // namespace

bool MakeLargeData(const std::string& folder, int sizeMb, LargeSet set, BenchData& data) {
    data.folder = folder;
    const std::int64_t mb = std::int64_t{1} << 20;
    TextMaker maker;
    switch (set) {
        case LargeSet::Utf8: {
            data.utf8 = folder + "/large-utf8.txt";
            Sink utf8(data.utf8, "UTF-8", "", true);
            data.utf8Chars = maker.Make(sizeMb * mb, true, {&utf8});
            data.utf8Bytes = utf8.Bytes();
            return utf8.Close();
        }
        case LargeSet::Gbk: {
            data.gbk = folder + "/large-gbk.txt";
            Sink gbk(data.gbk, "GBK", "", false);
            maker.Make(sizeMb * mb * 3 / 2, true, {&gbk});
            data.gbkBytes = gbk.Bytes();
            return gbk.Close();
        }
        case LargeSet::Members:
            data.mergeFolder = folder + "/large-members";
            return MakeMembers(maker, sizeMb * mb / 100, false, data);
    }
    return false;
}

const char* SeparatorUtf8() {
    return "\u25C6\u25C7";
}

const char* HeadingStart() {
    return "\u7B2C";  // 第
}

const char* HeadingEnd() {
    return "\u7AE0";  // 章
}

std::string SeparatorGbk() {
    std::string out;
    ConverterPtr gbk = OpenStrict("GBK");
    Encode(gbk.get(), kSeparator, out);
    return out;
}

namespace {

// Writes bytes bytes of unit repeated; false when the file cannot be written.
bool WriteRepeated(const std::string& path, std::string_view unit, std::int64_t bytes) {
    std::string block;
    while (block.size() < (1u << 20)) {
        block += unit;
    }
    FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out != nullptr;
    for (std::int64_t left = bytes; ok && left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, block.size()));
        ok = std::fwrite(block.data(), 1, n, out) == n;
        left -= static_cast<std::int64_t>(n);
    }
    return out != nullptr && std::fclose(out) == 0 && ok;
}

// The UTF-8 text with a heading line after the first line break past every ~100 KB.
bool WriteNovel(const std::string& from, const std::string& path) {
    constexpr std::int64_t kChapterBytes = 100 << 10;
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = in != nullptr && out != nullptr;
    std::string block(1u << 20, '\0');
    std::int64_t since = kChapterBytes;
    int chapter = 0;
    std::string kept;
    auto heading = [&chapter] {
        return std::string(HeadingStart()) + std::to_string(++chapter) + HeadingEnd() +
               " \u98CE\u8D77\u4E91\u6D8C\r\n";  // 风起云涌
    };
    // A book from the web often keeps a tag or two: the text is then looked at as markup too.
    kept = "<br>\r\n" + heading();
    since = 0;
    while (ok) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), in);
        if (got == 0) {
            break;
        }
        for (std::size_t i = 0; i < got; ++i) {
            kept.push_back(block[i]);
            if (++since >= kChapterBytes && block[i] == '\n') {
                kept += heading();
                since = 0;
            }
        }
        ok = std::fwrite(kept.data(), 1, kept.size(), out) == kept.size();
        kept.clear();
    }
    ok = ok && std::ferror(in) == 0;
    if (in != nullptr) {
        std::fclose(in);
    }
    return out != nullptr && std::fclose(out) == 0 && ok;
}

// Bytes bytes of lines that are each a heading with the next number.
bool WriteHeadingLines(const std::string& path, std::int64_t bytes) {
    FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out != nullptr;
    std::string block;
    std::int64_t written = 0;
    for (int chapter = 1; ok && written < bytes; ++chapter) {
        block += std::string(HeadingStart()) + std::to_string(chapter) + HeadingEnd() + "\n";
        if (block.size() >= (1u << 20)) {
            ok = std::fwrite(block.data(), 1, block.size(), out) == block.size();
            written += static_cast<std::int64_t>(block.size());
            block.clear();
        }
    }
    ok = ok && std::fwrite(block.data(), 1, block.size(), out) == block.size();
    return out != nullptr && std::fclose(out) == 0 && ok;
}

// The UTF-8 text with its line breaks left out.
bool WriteOneLine(const std::string& from, const std::string& path) {
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = in != nullptr && out != nullptr;
    std::string block(1u << 20, '\0');
    while (ok) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), in);
        if (got == 0) {
            break;
        }
        std::string kept;
        kept.reserve(got);
        for (std::size_t i = 0; i < got; ++i) {
            if (block[i] != '\n' && block[i] != '\r') {
                kept.push_back(block[i]);
            }
        }
        ok = std::fwrite(kept.data(), 1, kept.size(), out) == kept.size();
    }
    ok = ok && std::ferror(in) == 0;
    if (in != nullptr) {
        std::fclose(in);
    }
    return out != nullptr && std::fclose(out) == 0 && ok;
}

}  // namespace

bool MakeBenchData(const std::string& folder, int sizeMb, BenchData& data) {
    data.folder = folder;
    data.utf8 = folder + "/text-utf8.txt";
    data.utf8Mark = folder + "/text-utf8-mark.txt";
    data.gbk = folder + "/text-gbk.txt";
    data.utf16 = folder + "/text-utf16le.txt";
    data.big5 = folder + "/text-big5.txt";
    data.utf8Small = folder + "/small-utf8.txt";
    data.mergeFolder = folder + "/members";
    data.huge = folder + "/huge.bin";

    const std::int64_t mb = std::int64_t{1} << 20;
    TextMaker maker;
    {
        Sink utf8(data.utf8, "UTF-8", "", true);
        Sink utf8Mark(data.utf8Mark, "UTF-8", "\xEF\xBB\xBF", true);
        Sink gbk(data.gbk, "GBK", "", false);
        Sink utf16(data.utf16, "UTF-16LE", "\xFF\xFE", true);
        Sink big5(data.big5, "Big5", "", false);
        data.utf8Chars = maker.Make(sizeMb * mb, true, {&utf8, &utf8Mark, &gbk, &utf16, &big5});
        if (!utf8.Close() || !utf8Mark.Close() || !gbk.Close() || !utf16.Close() || !big5.Close()) {
            std::fprintf(stderr, "bench: cannot write the texts in %s\n", folder.c_str());
            return false;
        }
        data.utf8Bytes = utf8.Bytes();
        data.gbkBytes = gbk.Bytes();
        data.utf16Bytes = utf16.Bytes();
    }
    {
        Sink small(data.utf8Small, "UTF-8", "", true);
        maker.Make(sizeMb * mb / 10, false, {&small});
        if (!small.Close()) {
            return false;
        }
        data.utf8SmallBytes = small.Bytes();
    }

    data.oneLine = folder + "/shape-one-line.txt";
    data.tinyLines = folder + "/shape-tiny-lines.txt";
    data.onlyBreaks = folder + "/shape-only-breaks.txt";
    data.headingLines = folder + "/shape-heading-lines.txt";
    data.novel = folder + "/novel-utf8.txt";
    if (!WriteOneLine(data.utf8, data.oneLine) ||
        !WriteRepeated(data.tinyLines, "a\n", data.utf8Bytes) ||
        !WriteRepeated(data.onlyBreaks, "\n", data.utf8Bytes) ||
        !WriteHeadingLines(data.headingLines, data.utf8Bytes) ||
        !WriteNovel(data.utf8, data.novel)) {
        std::fprintf(stderr, "bench: cannot write the shapes in %s\n", folder.c_str());
        return false;
    }

    data.gbkMergeFolder = folder + "/members-gbk";
    if (!MakeMembers(maker, std::max<std::int64_t>(64 << 10, 2 * mb * sizeMb / 200), true, data)) {
        return false;
    }

    data.hugeBytes = 2500 * mb * sizeMb / 200;
    const int fd = ::open(data.huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(data.hugeBytes)) != 0) {
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace qs::bench
