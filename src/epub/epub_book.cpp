#include "epub/epub_book.h"

#include <zip.h>

#include <deque>
#include <memory>

#include "platform/loaded_library.h"

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
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
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

// Whether the line holds anything a reader would see (not only ASCII and full-width spaces).
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
    QS_FUNCTION(zip_open_from_source);
    QS_FUNCTION(zip_file_add);
    QS_FUNCTION(zip_set_file_compression);
    QS_FUNCTION(zip_close);
    QS_FUNCTION(zip_discard);
    QS_FUNCTION(zip_source_buffer_create);
    QS_FUNCTION(zip_source_buffer);
    QS_FUNCTION(zip_source_keep);
    QS_FUNCTION(zip_source_free);
    QS_FUNCTION(zip_source_stat);
    QS_FUNCTION(zip_source_open);
    QS_FUNCTION(zip_source_read);
    QS_FUNCTION(zip_source_close);
    QS_FUNCTION(zip_source_error);
};

bool BindZip(LoadedLibrary& library, ZipApi& api) {
    return QS_BIND(library, api, zip_error_init) && QS_BIND(library, api, zip_error_fini) &&
           QS_BIND(library, api, zip_error_strerror) && QS_BIND(library, api, zip_strerror) &&
           QS_BIND(library, api, zip_open_from_source) && QS_BIND(library, api, zip_file_add) &&
           QS_BIND(library, api, zip_set_file_compression) && QS_BIND(library, api, zip_close) &&
           QS_BIND(library, api, zip_discard) && QS_BIND(library, api, zip_source_buffer_create) &&
           QS_BIND(library, api, zip_source_buffer) && QS_BIND(library, api, zip_source_keep) &&
           QS_BIND(library, api, zip_source_free) && QS_BIND(library, api, zip_source_stat) &&
           QS_BIND(library, api, zip_source_open) && QS_BIND(library, api, zip_source_read) &&
           QS_BIND(library, api, zip_source_close) && QS_BIND(library, api, zip_source_error);
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
struct SourceFreer {
    const ZipApi* z;
    void operator()(zip_source_t* source) const { z->zip_source_free(source); }
};

std::string ZipMessage(const ZipApi& z, zip_error_t* error) {
    std::string message = z.zip_error_strerror(error);
    z.zip_error_fini(error);
    return message;
}

}  // namespace

EpubBook::EpubBook(EpubMetadata metadata) : m_metadata(std::move(metadata)) {
    if (Trimmed(m_metadata.title).empty()) {
        m_metadata.title = "未命名";
    }
}

std::string EpubBook::DocumentName(std::size_t index) const {
    return index == 0 ? "title.xhtml" : "c" + std::to_string(index) + ".xhtml";
}

void EpubBook::AddDocument(const std::vector<EpubLine>& lines) {
    const std::size_t index = m_documents.size();
    const std::string name = DocumentName(index);
    std::string body;
    std::string title;
    std::size_t headings = 0;
    for (const EpubLine& line : lines) {
        if (!HasContent(line.text)) {
            continue;
        }
        switch (line.kind) {
            case EpubLine::Kind::Title:
                body += "<h1>" + Escape(line.text) + "</h1>\n";
                title = title.empty() ? Escape(Trimmed(line.text)) : title;
                break;
            case EpubLine::Kind::Heading: {
                const std::string id = "h" + std::to_string(++headings);
                const std::string label = Escape(Trimmed(line.text));
                const std::string h = line.level == 1 ? "h1" : "h2";
                body += "<" + h + " id=\"" + id + "\">" + label + "</" + h + ">\n";
                m_nav.push_back({label, name + "#" + id, line.level == 1 ? 1 : 2});
                title = title.empty() ? label : title;
                break;
            }
            case EpubLine::Kind::Paragraph:
                body += "<p>" + Escape(line.text) + "</p>\n";
                break;
        }
    }
    if (title.empty() || headings == 0) {
        const std::string label = title.empty() ? Escape(Trimmed(m_metadata.title)) : title;
        m_nav.push_back({label, name, 2});
        title = label;
    }
    if (body.empty()) {
        body = "<h1>" + title + "</h1>\n";
    }
    std::string doc(kXhtmlHead);
    doc += LangAttributes(m_metadata);
    doc += "<head>\n<title>" + title + "</title>\n";
    doc += "<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\"/>\n</head>\n<body>\n";
    doc += index == 0 ? "<section epub:type=\"titlepage\">\n" : "<section epub:type=\"chapter\">\n";
    doc += body;
    doc += "</section>\n</body>\n</html>\n";
    m_documents.push_back(std::move(doc));
}

EpubResult EpubBook::Finish() const {
    const std::string title = Escape(Trimmed(m_metadata.title));
    const std::string id = Escape(m_metadata.identifier);
    std::deque<std::string> files;  // held until the container is written

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
    for (std::size_t k = 0; k < m_documents.size(); ++k) {
        const std::string name = DocumentName(k);
        const std::string item = name.substr(0, name.size() - 6);
        opf += "<item id=\"" + item + "\" href=\"" + name +
               "\" media-type=\"application/xhtml+xml\"/>\n";
        spine += "<itemref idref=\"" + item + "\"/>\n";
    }
    opf += "</manifest>\n" + spine + "</spine>\n</package>\n";

    EpubResult result;
    const ZipApi* z = Zip(result.error);
    if (z == nullptr) {
        return result;
    }
    zip_error_t error;
    z->zip_error_init(&error);
    std::unique_ptr<zip_source_t, SourceFreer> buffer(
        z->zip_source_buffer_create(nullptr, 0, 0, &error), SourceFreer{z});
    if (!buffer) {
        result.error = ZipMessage(*z, &error);
        return result;
    }
    std::unique_ptr<zip_t, ZipCloser> zip(
        z->zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error), ZipCloser{z});
    if (!zip) {
        result.error = ZipMessage(*z, &error);
        return result;
    }
    z->zip_source_keep(buffer.get());  // the archive's close would free it; we read it afterwards
    z->zip_error_fini(&error);

    bool added = true;
    // The mimetype entry comes first and is stored, so that a reader finds it at a fixed
    // place; every other entry is compressed at the fastest level, which keeps most of the
    // saving (a book some 15 % larger than at the default) in a third of the time.
    const auto add = [&](const std::string& name, std::string_view content, bool store) {
        if (!added) {
            return;
        }
        const std::string& held = files.emplace_back(content);
        zip_source_t* source = z->zip_source_buffer(zip.get(), held.data(), held.size(), 0);
        const zip_int64_t index = source ? z->zip_file_add(zip.get(), name.c_str(), source, 0) : -1;
        if (index < 0) {
            z->zip_source_free(source);
            added = false;
            return;
        }
        added = z->zip_set_file_compression(zip.get(), static_cast<zip_uint64_t>(index),
                                            store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 1) == 0;
    };
    add("mimetype", "application/epub+zip", true);
    add("META-INF/container.xml", ContainerXml(), false);
    add("OEBPS/content.opf", opf, false);
    add("OEBPS/nav.xhtml", nav, false);
    add("OEBPS/toc.ncx", ncx, false);
    add("OEBPS/style.css", kStyle, false);
    for (std::size_t k = 0; k < m_documents.size() && added; ++k) {
        add("OEBPS/" + DocumentName(k), m_documents[k], false);
    }
    if (!added) {
        result.error = z->zip_strerror(zip.get());
        return result;
    }
    if (z->zip_close(zip.get()) != 0) {
        result.error = z->zip_strerror(zip.get());
        return result;
    }
    zip.release();

    zip_stat_t stat;
    if (z->zip_source_stat(buffer.get(), &stat) != 0 || z->zip_source_open(buffer.get()) != 0) {
        result.error = z->zip_error_strerror(z->zip_source_error(buffer.get()));
        return result;
    }
    result.bytes.resize(stat.size);
    const zip_int64_t read = z->zip_source_read(buffer.get(), result.bytes.data(), stat.size);
    z->zip_source_close(buffer.get());
    if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size) {
        result.bytes.clear();
        result.error = "short read of the finished container";
        return result;
    }
    result.ok = true;
    return result;
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
