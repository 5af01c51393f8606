#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qs {

// A line of a book's document, in UTF-8, without its line break.
struct EpubLine {
    enum class Kind { Paragraph, Title, Heading };
    std::string_view text;
    Kind kind = Kind::Paragraph;
    int level = 2;  // of a heading: 1 a volume, whose chapters the navigation nests under it
};

struct EpubMetadata {
    std::string title;       // never empty in the book: "未命名" stands in
    std::string identifier;  // e.g. urn:uuid:...
    std::string modified;    // CCYY-MM-DDThh:mm:ssZ
    std::string language = "zh";
};

// The finished container, or why there is none.
struct EpubResult {
    bool ok = false;
    std::string bytes;
    std::string error;
};

// An EPUB 3 book put together document by document: one XHTML document per call, in
// reading order, the first being the title page. Titles become the page's heading, headings
// become headings and entries of the navigation document and of the NCX (a document without
// any is listed under its title or, failing that, the book's; the chapters after a volume's
// heading are nested under it); every other line with
// something in it becomes a paragraph. Texts are escaped, and characters XML cannot carry
// (control characters) are left out. The documents are kept until Finish, which writes the
// container in memory.
class EpubBook {
public:
    explicit EpubBook(EpubMetadata metadata);

    void AddDocument(const std::vector<EpubLine>& lines);
    std::size_t DocumentCount() const { return m_documents.size(); }

    EpubResult Finish() const;

private:
    struct NavEntry {
        std::string label;  // escaped
        std::string href;
        int level = 2;
    };

    std::string DocumentName(std::size_t index) const;

    EpubMetadata m_metadata;
    std::vector<std::string> m_documents;
    std::vector<NavEntry> m_nav;
};

// Why no book can be written (the container library cannot be loaded); empty when one can.
std::string EpubUnavailable();

// A UUID URN made from a SHA-256 digest in hex (name-based, as version 5 UUIDs are).
std::string UuidUrnFromDigest(std::string_view hexDigest);

}  // namespace qs
