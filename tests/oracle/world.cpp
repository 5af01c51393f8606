#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "oracle.h"
#include "platform/native_names.h"

namespace qs::oracle {
namespace fs = std::filesystem;

std::optional<std::string> Iconv(std::string_view in, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(in.size() * 4 + 16, '\0');
    char* ip = const_cast<char*>(in.data());
    std::size_t il = in.size();
    char* op = out.data();
    std::size_t ol = out.size();
    const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r != 0 || il != 0) {
        return std::nullopt;  // an error, or a character replaced by an approximation
    }
    out.resize(out.size() - ol);
    return out;
}

Text InternalPath(const Text& internalRoot, const std::string& rel) {
    Text internal;
    return Utf8ToInternal(rel, internal) ? internalRoot + "/" + internal : Text();
}

Tree Snapshot(const std::string& nativeRoot) {
    Tree tree;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(nativeRoot, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) {
            break;
        }
        const std::string path = it->path().native();
        Node node;
        struct stat l {
        }, s{};
        ::lstat(path.c_str(), &l);
        const bool resolves = ::stat(path.c_str(), &s) == 0;
        node.id = {s.st_dev, s.st_ino};
        if (S_ISLNK(l.st_mode)) {
            node.kind = !resolves            ? Node::Other
                        : S_ISDIR(s.st_mode) ? Node::FolderLink
                        : S_ISREG(s.st_mode) ? Node::FileLink
                                             : Node::Other;
        } else {
            node.kind = S_ISDIR(l.st_mode)    ? Node::Folder
                        : S_ISREG(l.st_mode)  ? Node::File
                        : S_ISFIFO(l.st_mode) ? Node::Pipe
                                              : Node::Other;
        }
        if (node.kind == Node::File || node.kind == Node::FileLink) {
            std::ifstream in(path, std::ios::binary);
            node.bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        tree[path.substr(nativeRoot.size() + 1)] = std::move(node);
    }
    return tree;
}

// --- the recorder ---

namespace {

class RecordingWriter : public ForwardingWriter {
public:
    RecordingWriter(Recorder& owner, Text path, std::unique_ptr<AtomicWriter> inner)
        : ForwardingWriter(std::move(inner)), m_owner(owner), m_path(std::move(path)) {}
    NameResult CommitNew(const Text& path) override {
        const NameResult result = Inner().CommitNew(path);
        if (result == NameResult::Named) {
            m_owner.Note(Event::Commit, path, m_owner.IdOf(path), m_owner.ContentOf(path));
        }
        return result;
    }
    bool Commit() override {
        const auto replaced = m_owner.RawOf(m_path);
        const bool ok = Inner().Commit();
        if (ok) {
            m_owner.Freed(replaced);
            m_owner.Note(Event::Commit, m_path, m_owner.IdOf(m_path), m_owner.ContentOf(m_path));
        }
        return ok;
    }

private:
    Recorder& m_owner;
    Text m_path;
};

}  // namespace

std::optional<Id> Recorder::IdOf(const Text& path) {
    const auto raw = m_real.FileIdentity(Folded(path));
    return raw ? std::optional<Id>(Current(*raw)) : std::nullopt;
}

Id Recorder::Current(Id raw) {
    const std::lock_guard lock(m_mutex);
    const auto freed = m_freed.find(raw);
    return freed == m_freed.end() ? raw : Id{raw.first + (freed->second << 48), raw.second};
}

std::optional<Id> Recorder::NativeRawOf(const std::string& native) {
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
        return std::nullopt;
    }
    return Id{st.st_dev, st.st_ino};
}

std::optional<Id> Recorder::RawOf(const Text& path) {
    std::string native;
    return InternalToNative(Folded(path), native) ? NativeRawOf(native) : std::nullopt;
}

void Recorder::Freed(std::optional<Id> raw) {
    if (raw) {
        const std::lock_guard lock(m_mutex);
        ++m_freed[*raw];
    }
}

std::optional<Bytes> Recorder::ReadWholeFile(const Text& path) {
    const auto id = IdOf(path);
    auto bytes = FaultyFileSystem::ReadWholeFile(path);
    Note(bytes ? Event::Read : Event::ReadFailed, path, id);
    return bytes;
}

std::unique_ptr<ReadHandle> Recorder::OpenRead(const Text& path) {
    const auto id = IdOf(path);
    auto handle = FaultyFileSystem::OpenRead(path);
    Note(handle ? Event::Read : Event::ReadFailed, path, id);
    return handle;
}

std::unique_ptr<AtomicWriter> Recorder::CreateAtomic(const Text& path) {
    Note(Event::Create, path, std::nullopt);
    auto inner = FaultyFileSystem::CreateAtomic(path);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<RecordingWriter>(*this, path, std::move(inner));
}

bool Recorder::DeleteFile(const Text& path) {
    const auto id = IdOf(path);
    const auto raw = RawOf(path);
    const bool ok = FaultyFileSystem::DeleteFile(path);
    if (ok) {
        Note(Event::Delete, path, id);
        Freed(raw);
    }
    return ok;
}

bool Recorder::RemoveEmptyFolder(const Text& path) {
    const auto raw = RawOf(path);
    const bool ok = FaultyFileSystem::RemoveEmptyFolder(path);
    if (ok) {
        Freed(raw);
    }
    return ok;
}

std::optional<std::vector<DirEntry>> Recorder::List(const Text& folder) {
    const auto id = IdOf(folder);
    Note(Event::List, folder, id);
    // A walk that follows a link back into itself is reported by the checker; it is cut
    // short here so that it ends at all.
    if (id) {
        const std::lock_guard lock(m_mutex);
        if (m_listedPaths[*id].insert(folder).second && m_listedPaths[*id].size() > 4) {
            return std::nullopt;
        }
    }
    return FaultyFileSystem::List(folder);
}

// --- the world generator ---

namespace {

const std::vector<std::string> kSimplified = {"中文", "第一行", "测试数据", "你好，世界。", "简单",
                                              "汉字", "😀",      "，",       "。",           "！"};
const std::vector<std::string> kTraditional = {"中文",   "測試", "資料", "繁體字",
                                               "第一行", "，",   "。"};
const std::vector<std::string> kAscii = {"hello", "line two", "a", "b c", "--", "x", "<p>", "3.14"};
const std::vector<std::string> kBreaks = {"\r\n", "\n", "\r", "\r\n\r\n", "\n\n", "\t", " ", "　"};

std::string Words(Rng& rng, const std::vector<std::string>& wide) {
    std::string text;
    for (int n = rng.Int(0, 24); n > 0; --n) {
        const int kind = rng.Int(0, 2);
        text += kind == 0 ? rng.Pick(wide) : kind == 1 ? rng.Pick(kAscii) : rng.Pick(kBreaks);
    }
    return text;
}

std::string Encode(const std::string& utf8, const char* charset) {
    return Iconv(utf8, "UTF-8", charset).value_or("plain");
}

// truth: the charset the text was written in (see Truths), empty where it may be anything.
std::string Content(Rng& rng, std::string& truth) {
    const std::string bom8 = "\xEF\xBB\xBF", le = "\xFF\xFE", be = "\xFE\xFF";
    const int kind = rng.Int(0, 15);
    static const std::string damagedUtf8 = "UTF-8" + kDamaged;
    static const std::string damagedUtf16 = "UTF-16LE" + kDamaged;
    const char* truths[] = {
        "GB18030", "",         "UTF-8",   "UTF-8",  "UTF-16LE",          "UTF-16BE",
        "GB18030", "BIG5",     "",        "UTF-8",  damagedUtf8.c_str(), damagedUtf16.c_str(),
        "",        "UTF-16LE", "GB18030", "GB18030"};
    truth = truths[kind];
    switch (kind) {
        case 0:
            return "";
        case 1: {
            const std::string mark = rng.Pick(std::vector<std::string>{bom8, le, be});
            truth = mark == bom8 ? "UTF-8" : mark == le ? "UTF-16LE" : "UTF-16BE";
            return mark;
        }
        case 2:
            return bom8 + Words(rng, kSimplified);
        case 3: {
            // Now and then (drawing nothing, so the seeds keep their worlds) cut in its last
            // character, as a copy of a given byte count is.
            std::string text = Words(rng, kSimplified);
            if (text.size() % 5 == 0 && !text.empty() &&
                static_cast<unsigned char>(text.back()) >= 0x80) {
                text.pop_back();
                truth = damagedUtf8;
            }
            return text;
        }
        case 4:
            return le + Encode(Words(rng, kSimplified), "UTF-16LE");
        case 5:
            return be + Encode(Words(rng, kSimplified), "UTF-16BE");
        case 6:
            return Encode(Words(rng, kSimplified), "GB18030");
        case 7:
            return Encode(Words(rng, kTraditional), "BIG5");
        case 8: {
            const int which = rng.Int(0, 3);
            const char* declarations[] = {
                "<meta charset=\"UTF-8\">", "<META CHARSET=utf-8>",
                "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">",
                "<meta charset='Big5-HKSCS'>"};
            const char* charsets[] = {"UTF-8", "UTF-8", "BIG5", "BIG5-HKSCS"};
            truth = charsets[which];
            const std::string page =
                std::string("<html><head>") + declarations[which] + "</head><body>" +
                Words(rng, which < 2 ? kSimplified : kTraditional) + "</body></html>";
            return Encode(page, charsets[which]);
        }
        case 9:  // declares Big5, holds UTF-8
            return "<html><head><meta charset=\"Big5\"></head><body>中文" +
                   Words(rng, kSimplified) + "</body></html>";
        case 10:  // a mark and one byte that is not UTF-8
            return bom8 + Words(rng, kSimplified) + "\xFF" + Words(rng, kSimplified);
        case 11:  // half a surrogate pair
            return le + Encode(Words(rng, kSimplified), "UTF-16LE") + "\x3D\xD8" + "a\0";
        case 12: {  // bytes that are no text at all
            std::string bytes;
            for (int n = rng.Int(1, 40); n > 0; --n) {
                bytes += rng.Pick(std::vector<std::string>{std::string(1, '\0'), "\x80", "\xFF",
                                                           "\x1A", "\r", "\n", "a"});
            }
            return bytes;
        }
        case 13:
            return Encode(Words(rng, kSimplified), "UTF-16LE");  // no mark
        default:
            return Words(rng, {"a", "bc"});
    }
}

std::string FileName(Rng& rng) {
    const std::string n105(105, 'n');
    std::string wide82;
    for (int i = 0; i < 82; ++i) {
        wide82 += "字";
    }
    static const std::vector<std::string> plain = {
        "a.txt",    "b.TXT",     "notes",    "x.txt",   "x_1.txt",   "a等3个文件.txt", "第一章.txt",
        "中文.htm", "page.html", ".profile", "a.b.txt", "readme.md", "报告 (2).txt"};
    switch (rng.Int(0, 9)) {
        case 0:
            return std::string(251, 'l') + ".txt";  // 255 bytes
        case 1:
            return n105 + rng.Pick(std::vector<std::string>{"A.txt", "B.txt"});
        case 2:
            return wide82 + rng.Pick(std::vector<std::string>{"甲.txt", "乙.txt"});
        case 3:
            return rng.Pick(std::vector<std::string>{"\xD6\xD0\xCE\xC4.txt", "bad\xFF.txt"});
        default:
            return rng.Pick(plain);
    }
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void Fill(Rng& rng, const std::string& folder, int depth, Truths* truths) {
    std::vector<std::string> files;
    for (int n = rng.Int(1, depth == 0 ? 7 : 4); n > 0; --n) {
        const std::string name = FileName(rng);
        if (!fs::exists(folder + "/" + name)) {
            std::string truth;
            Put(folder + "/" + name, Content(rng, truth));
            files.push_back(name);
            if (truths != nullptr && !truth.empty()) {
                (*truths)[folder + "/" + name] = truth;
            }
        }
    }
    if (rng.Chance(0.2)) {
        ::mkfifo((folder + "/pipe.txt").c_str(), 0600);
    }
    if (rng.Chance(0.2) && !files.empty()) {
        fs::create_symlink(rng.Pick(files), folder + "/link.txt");
    }
    if (depth > 0 && rng.Chance(0.3)) {
        fs::create_directory_symlink(
            "..", folder + "/" + rng.Pick(std::vector<std::string>{"up", "up.txt"}));
    }
    if (depth < 2) {
        for (int n = rng.Int(0, 2); n > 0; --n) {
            const std::string sub =
                folder + "/" +
                rng.Pick(std::vector<std::string>{"sub", "子目录", "d.txt", "\xD7\xD3"});
            if (fs::create_directory(sub)) {
                Fill(rng, sub, depth + 1, truths);
            }
        }
    }
}

}  // namespace

void MakeWorld(Rng& rng, const std::string& nativeRoot, Truths* truths) {
    fs::create_directories(nativeRoot);
    Fill(rng, nativeRoot, 0, truths);
}

}  // namespace qs::oracle
