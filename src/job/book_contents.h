#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "job/chapter_contents.h"
#include "job/chapter_heading.h"
#include "text/text.h"

namespace qs {

class RegexObject;
class TextSliceReader;

// A rule of the user's (one of a rule list, or the expression of --chapters=REGEX): lines
// it finds in are candidates of its own family.
struct HeadingRule {
    std::string name;  // UTF-8, as the dry run names it
    std::shared_ptr<RegexObject> regex;
};

// What the first pass found of a book's chapters.
struct BookContents : ChapterContents {
    Text firstTitle;  // of the book's first line with something in it
    std::size_t textBytes = 0;
    bool textBeforeFirst = false;  // a line with something in it before the first heading
};

// The first pass over a book, fed one line at a time: it keeps the lines that may be
// headings, with what stands around them, and nothing else, so that its memory grows with
// the headings, not with the text. Finish chooses among them by the whole book's evidence:
// a family of candidates whose numbers run on (allowing gaps, and restarts in each volume)
// with text between; volumes (卷 部 篇 集 辑) where chapters follow them; the named
// headings; never a run of candidates with nothing between at the front (the book's own
// contents, left to its front matter). With rules, the rule whose lines fit best is used.
class HeadingScan {
public:
    explicit HeadingScan(std::vector<HeadingRule> rules = {});

    void AddLine(std::size_t start, std::string_view line);
    // A line of whole and valid UTF-8 of chars code points: converted only where it may be
    // a heading, be matched by a rule or title the book; any other line is counted and
    // hashed in its own bytes, as each line of one book is, whatever it holds.
    void AddUtf8Line(std::size_t start, std::string_view utf8, std::int64_t chars);
    // A line too long to be a heading, given by its start and its characters.
    void AddLongLine(std::size_t start, std::int64_t chars);

    BookContents Finish(std::size_t textBytes);

private:
    struct Candidate {
        std::size_t start = 0;
        std::size_t line = 0;  // counted from 0
        std::uint32_t family = 0;
        bool strong = false;
        bool volumeUnit = false;
        HeadingPlace place = HeadingPlace::Numbered;
        std::optional<std::int64_t> number;
        std::optional<std::int64_t> volumeNumber;
        Text label;
        std::size_t textLines = 0;     // lines with something in them, none a candidate, before
        std::int64_t charsBefore = 0;  // characters of the text before the line
        std::uint64_t bodyHash = 0;    // of the lines after it up to the next candidate
    };
    void AddCandidate(std::size_t start, std::string_view line, std::string_view family,
                      const HeadingShape& shape);
    void AddUtf8LineNow(std::size_t start, std::string_view utf8, std::int64_t chars);
    void ConvertBatch();
    void AddLineOfChars(std::size_t start, std::string_view line, std::int64_t chars);
    void AddTextLine(std::string_view line);
    void EndLineOfCandidates(std::size_t before);
    std::uint32_t FamilyOf(std::string_view name);

    std::vector<HeadingRule> m_rules;
    std::vector<Candidate> m_candidates;
    std::vector<std::string> m_families;
    std::size_t m_runStart = 0;  // the first candidate of the last run with nothing between
    bool m_inList = false;       // that run grew into a list: its lines are text
    std::size_t m_lines = 0;
    std::size_t m_textLines = 0;
    std::int64_t m_chars = 0;
    Text m_firstTitle;
    // Short UTF-8 lines not converted yet, each followed by an LF, and where each began.
    struct Batched {
        std::size_t start = 0;
        std::int64_t chars = 0;
        std::size_t bytes = 0;
    };
    static constexpr std::size_t kBatchBytes = 64 * 1024;
    std::string m_batch;
    std::vector<Batched> m_batched;
};

// The book's text as one string: its contents, by the same scan.
BookContents ContentsOfText(std::string_view text, std::vector<HeadingRule> rules = {});

// Feeds the scan the lines of a text read slice by slice (as one book may be read from
// several files: offset is where this text begins in it); only the start of a line that
// runs on past a slice is held, so that a text without line breaks is scanned in flat
// memory. textBytes receives the bytes of this text. utf8Body: the reader hands out the
// body's own bytes of a UTF-8 source (positions and textBytes are then in those bytes).
// False when a slice could not be read.
bool ScanSlices(TextSliceReader& reader, HeadingScan& scan, std::size_t offset,
                std::size_t& textBytes, bool utf8Body = false);

// A rule compiled from its expression (ICU, searched in each line); nullopt when it does
// not compile.
std::optional<HeadingRule> CompileHeadingRule(const std::string& name, const Text& expression);

}  // namespace qs
