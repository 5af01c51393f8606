#include "epub/epub_book.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <optional>

#include "platform/loaded_library.h"
#include "platform/system_error.h"

namespace qs {
namespace {

constexpr std::string_view kXhtmlHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\"";

constexpr std::string_view kStyle =
    "body { margin: 0 0.5em; line-height: 1.6; }\n"
    "h1, h2 { text-align: center; margin: 1em 0; }\n"
    "p { margin: 0.2em 0; }\n";

// UTF-8 text as XML character data: markup characters escaped, the characters XML 1.0
// cannot hold (C0 controls but TAB, LF, CR; U+FFFE, U+FFFF) left out.
std::string Escape(std::string_view text) {
    const auto plain = [](unsigned char b) {
        return b >= 0x20 && b != '&' && b != '<' && b != '>' && b != '"' && b != 0xEF;
    };
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t run = i;
        while (run < text.size() && plain(static_cast<unsigned char>(text[run]))) {
            ++run;
        }
        out.append(text, i, run - i);
        if (run == text.size()) {
            break;
        }
        i = run;
        const char c = text[i];
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            continue;
        }
        if (b == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
            i += 2;
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

bool HasContent(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == 0xE3 && i + 2 < text.size() && text[i + 1] == '\x80' && text[i + 2] == '\x80') {
            i += 2;  // U+3000
        } else if (b > 0x20) {
            return true;
        }
    }
    return false;
}

namespace {

// The text without the spaces around it, for labels and titles.
std::string_view Trimmed(std::string_view text) {
    const auto spaceAt = [&](std::size_t i) -> std::size_t {
        if (text[i] == ' ' || text[i] == '\t') {
            return 1;
        }
        return text.substr(i, 3) == "\xE3\x80\x80" ? 3 : 0;
    };
    std::size_t first = 0;
    while (first < text.size() && spaceAt(first) > 0) {
        first += spaceAt(first);
    }
    std::size_t end = text.size();
    while (end > first) {
        if (text[end - 1] == ' ' || text[end - 1] == '\t') {
            --end;
        } else if (end - first >= 3 && text.substr(end - 3, 3) == "\xE3\x80\x80") {
            end -= 3;
        } else {
            break;
        }
    }
    return text.substr(first, end - first);
}

std::string LangAttributes(const EpubMetadata& m) {
    const std::string lang = Escape(m.language);
    return " xml:lang=\"" + lang + "\" lang=\"" + lang + "\">\n";
}

std::string ContainerXml() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<container version=\"1.0\" "
           "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
           "<rootfiles><rootfile full-path=\"OEBPS/content.opf\" "
           "media-type=\"application/oebps-package+xml\"/></rootfiles>\n</container>\n";
}

struct ZipApi {
    QS_FUNCTION(zip_error_init);
    QS_FUNCTION(zip_error_fini);
    QS_FUNCTION(zip_error_strerror);
    QS_FUNCTION(zip_strerror);
    QS_FUNCTION(zip_open);
    QS_FUNCTION(zip_error_init_with_code);
    QS_FUNCTION(zip_error_to_data);
    QS_FUNCTION(zip_source_function);
    QS_FUNCTION(zip_file_add);
    QS_FUNCTION(zip_set_file_compression);
    QS_FUNCTION(zip_close);
    QS_FUNCTION(zip_discard);
    QS_FUNCTION(zip_source_buffer);
    QS_FUNCTION(zip_source_free);
    QS_FUNCTION(zip_get_error);
    QS_FUNCTION(zip_error_code_system);
    QS_FUNCTION(zip_error_system_type);
};

bool BindZip(LoadedLibrary& library, ZipApi& api) {
    return QS_BIND(library, api, zip_error_init) && QS_BIND(library, api, zip_error_fini) &&
           QS_BIND(library, api, zip_error_strerror) && QS_BIND(library, api, zip_strerror) &&
           QS_BIND(library, api, zip_open) && QS_BIND(library, api, zip_error_init_with_code) &&
           QS_BIND(library, api, zip_error_to_data) && QS_BIND(library, api, zip_source_function) &&
           QS_BIND(library, api, zip_file_add) && QS_BIND(library, api, zip_set_file_compression) &&
           QS_BIND(library, api, zip_close) && QS_BIND(library, api, zip_discard) &&
           QS_BIND(library, api, zip_source_buffer) && QS_BIND(library, api, zip_source_free) &&
           QS_BIND(library, api, zip_get_error) && QS_BIND(library, api, zip_error_code_system) &&
           QS_BIND(library, api, zip_error_system_type);
}

// Only a split into a book needs the container library.
const ZipApi* Zip(std::string& why) {
    static LoadedApi<ZipApi> api(QS_LIBZIP_SONAME, BindZip);
    return api.Get(why);
}

struct ZipCloser {
    const ZipApi* z;
    void operator()(zip_t* zip) const { z->zip_discard(zip); }
};
std::string ZipMessage(const ZipApi& z, zip_error_t* error) {
    std::string message = z.zip_error_strerror(error);
    z.zip_error_fini(error);
    return message;
}

// The documents of a book being written: each made from its feed's lines as the container
// library reads it, the navigation gathered on the way for the package written after them.
class BookMaker {
public:
    BookMaker(EpubMetadata metadata, EpubFeed& feed)
        : m_metadata(std::move(metadata)), m_feed(feed) {
        if (Trimmed(m_metadata.title).empty()) {
            m_metadata.title = "未命名";
        }
    }

    static std::string DocumentName(std::size_t index) {
        return index == 0 ? "title.xhtml" : "c" + std::to_string(index) + ".xhtml";
    }

    // Appends the next bytes of document index to out; done after its last ones.
    bool MoreOfDocument(std::size_t index, std::string& out, bool& done) {
        if (!m_open) {
            m_open = true;
            m_title.clear();
            m_pending.clear();
            m_headings = 0;
            m_headWritten = false;
            m_bodyEmpty = true;
            m_paragraphOpen = false;
        }
        bool end = false;
        if (!m_feed.Lines(index, m_lines, end)) {
            return false;
        }
        const std::string name = DocumentName(index);
        for (const EpubLine& line : m_lines) {
            AddLine(index, name, line, out);
        }
        if (end) {
            EndDocument(index, name, out);
            m_open = false;
            ++m_made;
        }
        done = end;
        return true;
    }

    // Whether document index is the next to be made, and not begun yet.
    bool MayStart(std::size_t index) const { return !m_open && index == m_made; }
    bool DocumentsMade() const { return m_made == documents; }

    // The package, navigation and NCX, once every document was made.
    const std::string& Package(int which) {
        if (m_package[0].empty()) {
            m_metadata.identifier = m_feed.Identifier();
            MakePackage();
        }
        return m_package[which];
    }

    std::size_t documents = 0;

private:
    struct NavEntry {
        std::string label;  // escaped
        std::string href;
        int level = 2;
    };

    void AddLine(std::size_t index, const std::string& name, const EpubLine& line,
                 std::string& out) {
        if (m_paragraphOpen) {
            (m_headWritten ? out : m_pending) += Escape(line.text);
            if (!line.more) {
                (m_headWritten ? out : m_pending) += "</p>\n";
                m_paragraphOpen = false;
            }
            return;
        }
        if (!HasContent(line.text)) {
            return;
        }
        if (line.more && !m_headWritten) {
            // The body cannot wait for a title behind a paragraph too long to hold: the
            // document takes the book's.
            m_title = m_title.empty() ? Escape(Trimmed(m_metadata.title)) : m_title;
            WriteHead(index, out);
        }
        std::string& body = m_headWritten ? out : m_pending;
        switch (line.kind) {
            case EpubLine::Kind::Title:
                body += "<h1>" + Escape(line.text) + "</h1>\n";
                m_title = m_title.empty() ? Escape(Trimmed(line.text)) : m_title;
                break;
            case EpubLine::Kind::Heading: {
                const std::string id = "h" + std::to_string(++m_headings);
                const std::string label = Escape(Trimmed(line.text));
                const std::string h = line.level == 1 ? "h1" : "h2";
                body += "<" + h + " id=\"" + id + "\">" + label + "</" + h + ">\n";
                m_nav.push_back({label, name + "#" + id, line.level == 1 ? 1 : 2});
                m_title = m_title.empty() ? label : m_title;
                break;
            }
            case EpubLine::Kind::Paragraph:
                body += "<p>" + Escape(line.text) + (line.more ? "" : "</p>\n");
                m_paragraphOpen = line.more;
                break;
        }
        m_bodyEmpty = false;
        // The head carries the document's title: what comes before it waits for it.
        if (!m_headWritten && !m_title.empty()) {
            WriteHead(index, out);
        }
    }

    void WriteHead(std::size_t index, std::string& out) {
        out += kXhtmlHead;
        out += LangAttributes(m_metadata);
        out += "<head>\n<title>" + m_title + "</title>\n";
        out += "<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\"/>\n</head>\n<body>\n";
        out += index == 0 ? "<section epub:type=\"titlepage\">\n"
                          : "<section epub:type=\"chapter\">\n";
        out += m_pending;
        m_pending.clear();
        m_headWritten = true;
    }

    void EndDocument(std::size_t index, const std::string& name, std::string& out) {
        if (m_title.empty() || m_headings == 0) {
            const std::string label = m_title.empty() ? Escape(Trimmed(m_metadata.title)) : m_title;
            m_nav.push_back({label, name, 2});
            m_title = label;
        }
        if (m_bodyEmpty) {
            m_pending = "<h1>" + m_title + "</h1>\n";
        }
        if (!m_headWritten) {
            WriteHead(index, out);
        }
        out += "</section>\n</body>\n</html>\n";
    }

    void MakePackage() {
        const std::string title = Escape(Trimmed(m_metadata.title));
        const std::string id = Escape(m_metadata.identifier);
        std::string nav(kXhtmlHead);
        nav += LangAttributes(m_metadata);
        nav += "<head>\n<title>" + title + "</title>\n</head>\n<body>\n";
        nav += "<nav epub:type=\"toc\" id=\"toc\">\n<h1>目录</h1>\n<ol>\n";
        std::string ncx =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\">\n<head>\n"
            "<meta name=\"dtb:uid\" content=\"" +
            id +
            "\"/>\n<meta name=\"dtb:depth\" content=\"DEPTH\"/>\n"
            "<meta name=\"dtb:totalPageCount\" content=\"0\"/>\n"
            "<meta name=\"dtb:maxPageNumber\" content=\"0\"/>\n</head>\n"
            "<docTitle><text>" +
            title + "</text></docTitle>\n<navMap>\n";
        // A volume stays open for the chapters after it; its list begins with its first one.
        bool inVolume = false;
        bool volumeHasChapters = false;
        bool nested = false;
        const auto closeVolume = [&] {
            if (inVolume) {
                nav += volumeHasChapters ? "</ol></li>\n" : "</li>\n";
                ncx += "</navPoint>\n";
            }
            inVolume = false;
            volumeHasChapters = false;
        };
        for (std::size_t k = 0; k < m_nav.size(); ++k) {
            const NavEntry& e = m_nav[k];
            const std::string n = std::to_string(k + 1);
            const std::string point = "<navPoint id=\"p" + n + "\" playOrder=\"" + n +
                                      "\"><navLabel><text>" + e.label +
                                      "</text></navLabel><content src=\"" + e.href + "\"/>";
            if (e.level == 1) {
                closeVolume();
                nav += "<li><a href=\"" + e.href + "\">" + e.label + "</a>";
                ncx += point + "\n";
                inVolume = true;
                continue;
            }
            if (inVolume && !volumeHasChapters) {
                nav += "\n<ol>\n";
                volumeHasChapters = true;
                nested = true;
            }
            nav += "<li><a href=\"" + e.href + "\">" + e.label + "</a></li>\n";
            ncx += point + "</navPoint>\n";
        }
        closeVolume();
        nav += "</ol>\n</nav>\n</body>\n</html>\n";
        ncx += "</navMap>\n</ncx>\n";
        ncx.replace(ncx.find("DEPTH"), 5, nested ? "2" : "1");

        std::string opf =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" "
            "unique-identifier=\"bookid\">\n"
            "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
            "<dc:identifier id=\"bookid\">" +
            id + "</dc:identifier>\n<dc:title>" + title + "</dc:title>\n<dc:language>" +
            Escape(m_metadata.language) + "</dc:language>\n<meta property=\"dcterms:modified\">" +
            Escape(m_metadata.modified) +
            "</meta>\n</metadata>\n<manifest>\n"
            "<item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" "
            "properties=\"nav\"/>\n"
            "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>\n"
            "<item id=\"css\" href=\"style.css\" media-type=\"text/css\"/>\n";
        std::string spine = "<spine toc=\"ncx\">\n";
        for (std::size_t k = 0; k < documents; ++k) {
            const std::string name = DocumentName(k);
            const std::string item = name.substr(0, name.size() - 6);
            opf += "<item id=\"" + item + "\" href=\"" + name +
                   "\" media-type=\"application/xhtml+xml\"/>\n";
            spine += "<itemref idref=\"" + item + "\"/>\n";
        }
        opf += "</manifest>\n" + spine + "</spine>\n</package>\n";
        m_package[0] = std::move(opf);
        m_package[1] = std::move(nav);
        m_package[2] = std::move(ncx);
    }

    EpubMetadata m_metadata;
    EpubFeed& m_feed;
    std::vector<EpubLine> m_lines;
    std::vector<NavEntry> m_nav;
    std::string m_package[3];  // content.opf, nav.xhtml, toc.ncx
    std::string m_title;       // escaped
    std::string m_pending;     // of the body, while the title is not known
    std::size_t m_headings = 0;
    bool m_open = false;
    std::size_t m_made = 0;  // documents
    bool m_headWritten = false;
    bool m_bodyEmpty = true;
    bool m_paragraphOpen = false;  // a paragraph handed out in parts, not ended yet
};

// A document made whole before the library writes it, so that its entry's header tells its
// size, as long as it is no longer than this; a longer one is written as it is made, under a
// header that leaves room for any size.
constexpr std::size_t kWholeDocumentBytes = std::size_t{8} << 20;

// One entry of the container whose bytes are made as the container library reads them: a
// document, or (package >= 0) one of the package's files.
struct MadeEntry {
    const ZipApi* z = nullptr;
    BookMaker* maker = nullptr;
    std::size_t document = 0;
    int package = -1;
    std::string buffer;
    std::size_t at = 0;
    bool done = false;
    bool made = false;  // the bytes were made before the entry was opened
    std::optional<std::size_t> size;
    zip_error_t error{};

    // Appends more of the entry to the buffer; false when it cannot be made.
    bool More() {
        if (package >= 0) {
            buffer += maker->Package(package);
            done = true;
            return true;
        }
        if (!maker->MoreOfDocument(document, buffer, done)) {
            z->zip_error_init_with_code(&error, ZIP_ER_READ);
            return false;
        }
        return true;
    }

    // The size, when the entry can be made now and whole within the bound.
    bool Measure() {
        const bool mayStart = package >= 0 ? maker->DocumentsMade() : maker->MayStart(document);
        if (size || made || !mayStart) {
            return true;
        }
        made = true;
        while (!done && buffer.size() <= kWholeDocumentBytes) {
            if (!More()) {
                return false;
            }
        }
        if (done) {
            size = buffer.size();
        }
        return true;
    }

    static zip_int64_t Callback(void* state, void* data, zip_uint64_t length,
                                zip_source_cmd_t command) {
        auto& e = *static_cast<MadeEntry*>(state);
        switch (command) {
            case ZIP_SOURCE_SUPPORTS:
                return ZIP_SOURCE_SUPPORTS_READABLE;
            case ZIP_SOURCE_OPEN:
                if (!e.made) {
                    e.buffer.clear();
                    e.done = false;
                }
                e.made = true;
                e.at = 0;
                return 0;
            case ZIP_SOURCE_READ: {
                if (e.at == e.buffer.size()) {
                    e.buffer.clear();
                    e.at = 0;
                }
                while (e.buffer.empty() && !e.done) {
                    if (!e.More()) {
                        return -1;
                    }
                }
                const std::size_t n = std::min<std::size_t>(length, e.buffer.size() - e.at);
                std::memcpy(data, e.buffer.data() + e.at, n);
                e.at += n;
                return static_cast<zip_int64_t>(n);
            }
            case ZIP_SOURCE_CLOSE:
                std::string().swap(e.buffer);
                return 0;
            case ZIP_SOURCE_STAT: {
                if (!e.Measure()) {
                    return -1;
                }
                auto* st = static_cast<zip_stat_t*>(data);
                st->valid = ZIP_STAT_MTIME;
                st->mtime = std::time(nullptr);
                if (e.size) {
                    st->valid |= ZIP_STAT_SIZE;
                    st->size = *e.size;
                }
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_ERROR:
                return e.z->zip_error_to_data(&e.error, data, length);
            default:
                return 0;  // FREE: the entry is owned by the writer
        }
    }
};

}  // namespace

std::string WriteEpub(const std::string& path, EpubMetadata metadata, std::size_t count,
                      EpubFeed& feed) {
    std::string why;
    const ZipApi* z = Zip(why);
    if (z == nullptr) {
        return why;
    }
    int code = 0;
    std::unique_ptr<zip_t, ZipCloser> zip(
        z->zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code), ZipCloser{z});
    if (!zip) {
        zip_error_t error;
        z->zip_error_init_with_code(&error, code);
        return ZipMessage(*z, &error);
    }
    BookMaker maker(std::move(metadata), feed);
    maker.documents = count;
    std::deque<MadeEntry> entries;  // read by the library until it closes the container
    bool added = true;
    // The mimetype entry comes first and is stored, so that a reader finds it at a fixed
    // place; every other entry is compressed at the fastest level, which keeps most of the
    // saving (a book some 15 % larger than at the default) in a third of the time. The
    // package and the navigation come last, when the documents have told what they hold.
    const auto add = [&](const std::string& name, zip_source_t* source, bool store) {
        const zip_int64_t index =
            added && source ? z->zip_file_add(zip.get(), name.c_str(), source, 0) : -1;
        if (index < 0) {
            if (source) {
                z->zip_source_free(source);
            }
            added = false;
            return;
        }
        added = z->zip_set_file_compression(zip.get(), static_cast<zip_uint64_t>(index),
                                            store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 1) == 0;
    };
    static const std::string kContainer = ContainerXml();
    const auto fixed = [&](std::string_view bytes) {
        return z->zip_source_buffer(zip.get(), bytes.data(), bytes.size(), 0);
    };
    const auto made = [&](std::size_t document, int package) {
        MadeEntry& e = entries.emplace_back();
        e.z = z;
        e.maker = &maker;
        e.document = document;
        e.package = package;
        z->zip_error_init(&e.error);
        return z->zip_source_function(zip.get(), &MadeEntry::Callback, &e);
    };
    add("mimetype", fixed("application/epub+zip"), true);
    add("META-INF/container.xml", fixed(kContainer), false);
    add("OEBPS/style.css", fixed(kStyle), false);
    for (std::size_t k = 0; k < count && added; ++k) {
        add("OEBPS/" + BookMaker::DocumentName(k), made(k, -1), false);
    }
    add("OEBPS/content.opf", made(0, 0), false);
    add("OEBPS/nav.xhtml", made(0, 1), false);
    add("OEBPS/toc.ncx", made(0, 2), false);
    if (!added || z->zip_close(zip.get()) != 0) {
        why = z->zip_strerror(zip.get());
        // The system's reason (a full disk above all) goes with the failure of the book.
        zip_error_t* error = z->zip_get_error(zip.get());
        SetLastSystemError(
            z->zip_error_system_type(error) == ZIP_ET_SYS ? z->zip_error_code_system(error) : 0);
        for (MadeEntry& e : entries) {
            z->zip_error_fini(&e.error);
        }
        return why.empty() ? "the container could not be written" : why;
    }
    zip.release();
    for (MadeEntry& e : entries) {
        z->zip_error_fini(&e.error);
    }
    return std::string();
}

std::string EpubUnavailable() {
    std::string why;
    Zip(why);
    return why;
}

std::string UuidUrnFromDigest(std::string_view hex) {
    std::string h(hex.substr(0, 32));
    h.resize(32, '0');
    h[12] = '5';  // version
    static const char kVariant[] = "89ab";
    const int nibble = (h[16] >= 'a' ? h[16] - 'a' + 10 : h[16] - '0') & 3;
    h[16] = kVariant[nibble];
    return "urn:uuid:" + h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" +
           h.substr(16, 4) + "-" + h.substr(20);
}

}  // namespace qs
