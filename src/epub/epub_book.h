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
    // A paragraph too long to hold, handed out in parts: this one goes on in the next line
    // handed out, which continues it whatever it holds.
    bool more = false;
};

// Whether a line of UTF-8 holds anything but spaces and control characters: a line without
// is no paragraph.
bool HasContent(std::string_view text);

struct EpubMetadata {
    std::string title;       // never empty in the book: "未命名" stands in
    std::string identifier;  // e.g. urn:uuid:...; WriteEpub asks its feed for it
    std::string modified;    // CCYY-MM-DDThh:mm:ssZ
    std::string language = "zh";
};

// Gives a book its documents while the container is written, one after another in reading
// order: each call hands out the next lines of document index (views valid until the next
// call), setting end with its last ones. False when the document cannot be made: the book is
// then not written.
class EpubFeed {
public:
    virtual ~EpubFeed() = default;
    virtual bool Lines(std::size_t index, std::vector<EpubLine>& lines, bool& end) = 0;
    // Asked once every document was made, for the package and the NCX.
    virtual std::string Identifier() = 0;
};

// Writes an EPUB 3 book of count documents, the first being the title page, to path (a
// native path the caller owns; the container library writes beside it and renames it into
// place). Titles become the page's heading, headings become headings and entries of the
// navigation document and of the NCX (a document without any is listed under its title or,
// failing that, the book's; the chapters after a volume's heading are nested under it);
// every other line with something in it becomes a paragraph. Texts are escaped, and
// characters XML cannot carry (control characters) are left out. Each document is made
// while it is compressed, so that no more than a slice of it is held. Empty when written,
// else why not.
std::string WriteEpub(const std::string& path, EpubMetadata metadata, std::size_t count,
                      EpubFeed& feed);

// Why no book can be written (the container library cannot be loaded); empty when one can.
std::string EpubUnavailable();

// A UUID URN made from a SHA-256 digest in hex (name-based, as version 5 UUIDs are).
std::string UuidUrnFromDigest(std::string_view hexDigest);

}  // namespace qs
