#include "job/book_contents.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <set>
#include <unordered_set>

#include "encoding/charset_converter.h"
#include "encoding/text_slices.h"
#include "pattern/regex_facade.h"
#include "platform/services.h"
#include "text/byte_search.h"
#include "text/characters.h"
#include "text/numerals.h"

namespace qs {
namespace {

// Fewer characters than this between two headings of a family is no chapter between them:
// a list, not headings.
constexpr std::int64_t kMinChapterChars = 40;
// The book's own contents at the front: at least this many candidates in a row.
constexpr std::size_t kMinContentsRun = 3;
// Before the book's own contents, only headings with this little text after them.
constexpr std::int64_t kMaxFrontChars = 300;
constexpr std::size_t kContentsGapLines = 2;
// A gap in the numbers wider than this is a jump, told as out of order.
constexpr std::int64_t kMaxGap = 50;
// More candidates than this with nothing between are a list, neither a book's contents nor
// its chapters: they are taken as text, so that the candidates kept stay bounded.
constexpr std::size_t kMaxRun = 100000;

// Only ever compared with another: eight bytes a step, since every line of a book goes
// through here.
std::uint64_t Fnv(std::uint64_t h, std::string_view bytes) {
    constexpr std::uint64_t kPrime = 0x100000001B3ull;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        h = std::rotl((h ^ word) * kPrime, 29);
    }
    for (; i < bytes.size(); ++i) {
        h = (h ^ static_cast<unsigned char>(bytes[i])) * kPrime;
    }
    return (h ^ '\n') * kPrime;
}

bool IsBlank(std::string_view line) {
    return IsSpacesOnly(line);
}

// The same for UTF-8: nothing but spaces, tabs and full-width spaces.
bool IsUtf8Blank(std::string_view line) {
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
        } else if (line.substr(i, 3) == "\xE3\x80\x80") {
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

// The first number of a line a user's rule found, after 第 when there is one.
std::optional<std::int64_t> FirstNumber(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); i += CharLength(line, i)) {
        if (const NumberValue run = ReadNumberValue(line, i)) {
            return run.Value();
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<HeadingRule> CompileHeadingRule(const std::string& name, const Text& expression) {
    auto regex = std::make_shared<RegexObject>();
    if (expression.empty() || !regex->Compile(expression, false, true, false)) {
        return std::nullopt;
    }
    return HeadingRule{name, std::move(regex)};
}

HeadingScan::HeadingScan(std::vector<HeadingRule> rules) : m_rules(std::move(rules)) {}

std::uint32_t HeadingScan::FamilyOf(std::string_view name) {
    // A book has a handful of families, and every candidate asks.
    const auto it = std::find(m_families.begin(), m_families.end(), name);
    if (it != m_families.end()) {
        return static_cast<std::uint32_t>(it - m_families.begin());
    }
    m_families.emplace_back(name);
    return static_cast<std::uint32_t>(m_families.size() - 1);
}

void HeadingScan::AddCandidate(std::size_t start, std::string_view line, std::string_view family,
                               const HeadingShape& shape) {
    Candidate c;
    c.start = start;
    c.line = m_lines;
    c.family = FamilyOf(family);
    c.strong = shape.strong;
    c.volumeUnit = shape.volumeUnit;
    c.place = shape.place;
    c.number = shape.number;
    c.volumeNumber = shape.volumeNumber;
    c.label = Text(HeadingLabel(line));
    c.textLines = m_textLines;
    c.charsBefore = m_chars;
    c.bodyHash = Fnv(0xCBF29CE484222325ull, c.label);
    m_candidates.push_back(std::move(c));
}

void HeadingScan::AddTextLine(std::string_view line) {
    ++m_textLines;
    m_inList = false;
    if (!m_candidates.empty()) {
        m_candidates.back().bodyHash = Fnv(m_candidates.back().bodyHash, line);
    }
}

// The candidates of one line, added from position before on.
void HeadingScan::EndLineOfCandidates(std::size_t before) {
    if (before == 0 || m_candidates[before - 1].textLines != m_textLines) {
        m_runStart = before;
    }
    if (m_candidates.size() - m_runStart <= kMaxRun) {
        return;
    }
    // Each line of the run becomes a line of text of the candidate before it, told by its
    // label (its line is gone).
    for (std::size_t k = m_runStart; k < m_candidates.size(); ++k) {
        if (k == 0 || m_candidates[k].line != m_candidates[k - 1].line) {
            ++m_textLines;
            if (m_runStart > 0) {
                std::uint64_t& hash = m_candidates[m_runStart - 1].bodyHash;
                hash = Fnv(hash, m_candidates[k].label);
            }
        }
    }
    m_candidates.resize(m_runStart);
    m_inList = true;
}

void HeadingScan::AddLine(std::size_t start, std::string_view line) {
    ConvertBatch();
    AddLineOfChars(start, line, CountChars(line));
}

void HeadingScan::AddLineOfChars(std::size_t start, std::string_view line, std::int64_t chars) {
    const bool blank = IsBlank(line);
    if (!blank && m_firstTitle.empty()) {
        m_firstTitle = Text(HeadingTitle(line));
    }
    bool candidate = false;
    const std::size_t before = m_candidates.size();
    if (!blank) {
        if (m_rules.empty()) {
            HeadingShape shape;
            if (ShapeOfLine(line, static_cast<std::int32_t>(chars), shape)) {
                if (!m_inList) {  // in a list it is text whatever it is
                    AddCandidate(start, line, shape.form, shape);
                }
                candidate = true;
            }
        } else {
            const Text subject(line);
            for (const HeadingRule& rule : m_rules) {
                if (rule.regex->Execute(subject) > 0) {
                    HeadingShape shape = ShapeOfLine(line).value_or(HeadingShape{});
                    shape.strong = true;
                    shape.number = shape.number ? shape.number : FirstNumber(line);
                    AddCandidate(start, line, rule.name, shape);
                    candidate = true;
                }
            }
        }
    }
    if (candidate && m_inList) {
        // A heading among the lines of a list is one of them.
        m_candidates.resize(before);
        candidate = false;
        m_textLines += 1;
        if (!m_candidates.empty()) {
            m_candidates.back().bodyHash = Fnv(m_candidates.back().bodyHash, line);
        }
    } else if (candidate) {
        EndLineOfCandidates(before);
    } else if (!blank) {
        AddTextLine(line);
    }
    m_chars += chars;
    ++m_lines;
}

void HeadingScan::AddUtf8Line(std::size_t start, std::string_view utf8, std::int64_t chars) {
    // A line short enough to be a heading is always converted: such lines wait to be
    // converted together, as a call per line costs more than the conversion.
    if (chars <= kMaxHeadingChars) {
        m_batched.push_back({start, chars, utf8.size()});
        m_batch.append(utf8);
        m_batch.push_back('\n');
        if (m_batch.size() >= kBatchBytes) {
            ConvertBatch();
        }
        return;
    }
    ConvertBatch();
    AddUtf8LineNow(start, utf8, chars);
}

void HeadingScan::ConvertBatch() {
    if (m_batched.empty()) {
        return;
    }
    // Lines hold no line break, and no character of either form holds an LF byte: the
    // lines of the block converted are the lines converted.
    if (const std::optional<Bytes> block = Conv().Convert(m_batch, "UTF-8", InternalCharset())) {
        const std::string_view lines = *block;
        EitherFinder breaks(lines, '\n', '\n');
        std::size_t at = 0;
        for (const Batched& b : m_batched) {
            const std::size_t end = breaks.Next(at);
            AddLineOfChars(b.start, lines.substr(at, end - at), b.chars);
            at = end + 1;
        }
    } else {
        std::size_t at = 0;
        for (const Batched& b : m_batched) {
            AddUtf8LineNow(b.start, std::string_view(m_batch).substr(at, b.bytes), b.chars);
            at += b.bytes + 1;
        }
    }
    m_batch.clear();
    m_batched.clear();
}

void HeadingScan::AddUtf8LineNow(std::size_t start, std::string_view utf8, std::int64_t chars) {
    if (!m_rules.empty() || chars <= kMaxHeadingChars || m_firstTitle.empty()) {
        // Each code point is one character of the internal code page: the count holds.
        if (const std::optional<Bytes> line = Conv().Convert(utf8, "UTF-8", InternalCharset())) {
            AddLineOfChars(start, *line, chars);
            return;
        }
    }
    if (!IsUtf8Blank(utf8)) {
        AddTextLine(utf8);
    }
    m_chars += chars;
    ++m_lines;
}

void HeadingScan::AddLongLine(std::size_t /*start*/, std::int64_t chars) {
    ConvertBatch();
    ++m_lines;
    ++m_textLines;
    m_inList = false;
    m_chars += chars;
    if (!m_candidates.empty()) {
        // Its length stands for its text: two chapters alike to here differ in such a line.
        m_candidates.back().bodyHash =
            Fnv(m_candidates.back().bodyHash, std::to_string(chars) + "\x01");
    }
}

namespace {

// The evidence of a sequence of headings in book order: steps where the number runs on
// (or starts again at 1 in a new volume) with text between, and steps where it does not.
struct Steps {
    std::size_t fits = 0;
    std::size_t breaks = 0;
};

}  // namespace

BookContents HeadingScan::Finish(std::size_t textBytes) {
    ConvertBatch();
    BookContents book;
    book.textBytes = textBytes;
    book.firstTitle = m_firstTitle;
    std::vector<Candidate>& c = m_candidates;
    const std::size_t n = c.size();
    const auto textBetween = [&](std::size_t i, std::size_t j) {
        return c[j].textLines > c[i].textLines;
    };

    // The book's own contents: the candidates at the front with nothing between them; the
    // last of them is the first heading of the text unless its title comes again later.
    std::size_t front = 0;
    {
        const auto charsAfter = [&](std::size_t i) {
            return (i + 1 < n ? c[i + 1].charsBefore : m_chars) - c[i].charsBefore;
        };
        const auto runEnd = [&](std::size_t i) {
            while (i + 1 < n && !textBetween(i, i + 1)) {
                ++i;
            }
            return i;
        };
        // It may follow a few headings of the front matter with little text after them.
        std::optional<std::size_t> first;
        for (std::size_t i = 0; i < n && !first; i = runEnd(i) + 1) {
            if (runEnd(i) + 1 - i >= kMinContentsRun) {
                first = i;
            } else if (charsAfter(runEnd(i)) > kMaxFrontChars) {
                break;
            }
        }
        if (first) {
            // A line or two among the entries that is no heading (a title mistyped) keeps
            // the run going.
            std::size_t last = runEnd(*first);
            while (last + 1 < n && c[last + 1].textLines - c[last].textLines <= kContentsGapLines &&
                   charsAfter(last) < kMinChapterChars * 3 && runEnd(last + 1) > last + 1) {
                last = runEnd(last + 1);
            }
            // The contents list each heading once: one that comes again begins the text.
            std::unordered_set<Text> runLabels;
            for (std::size_t k = *first; k <= last; ++k) {
                if (!runLabels.insert(c[k].label).second) {
                    last = k - 1;
                    break;
                }
            }
            std::unordered_set<Text> laterLabels;
            std::unordered_set<std::string> laterNumbers;
            const auto numberKey = [&](const Candidate& k) {
                return std::to_string(k.family) + ":" + std::to_string(*k.number);
            };
            for (std::size_t k = last + 1; k < n; ++k) {
                laterLabels.insert(c[k].label);
                if (c[k].number) {
                    laterNumbers.insert(numberKey(c[k]));
                }
            }
            const bool listed = laterLabels.count(c[last].label) > 0 ||
                                (c[last].number && laterNumbers.count(numberKey(c[last])) > 0);
            front = listed || charsAfter(last) < kMinChapterChars ? last + 1 : last;
        }
    }
    book.frontContentsLines = front;

    // Families of the candidates after the front contents.
    const std::size_t families = m_families.size();
    std::vector<std::vector<std::size_t>> members(families);
    for (std::size_t k = front; k < n; ++k) {
        members[c[k].family].push_back(k);
    }
    const auto isNamed = [&](std::size_t f) { return m_families[f] == "named"; };
    const auto isVolumeFamily = [&](std::size_t f) {
        std::size_t volumes = 0;
        for (std::size_t k : members[f]) {
            volumes += c[k].volumeUnit ? 1 : 0;
        }
        return volumes * 2 > members[f].size();
    };
    const auto isStrong = [&](std::size_t f) {
        std::size_t strong = 0;
        for (std::size_t k : members[f]) {
            strong += c[k].strong ? 1 : 0;
        }
        return strong * 2 > members[f].size();
    };
    std::vector<char> taken(n, 0);
    const auto stepsOf = [&](const std::vector<char>& chosen) {
        Steps steps;
        std::optional<std::int64_t> last;
        std::optional<std::int64_t> lastVolume;
        std::size_t lastAt = 0;
        bool newVolume = false;
        for (std::size_t k = front; k < n; ++k) {
            if (!chosen[k] || c[k].place != HeadingPlace::Numbered) {
                continue;
            }
            if (c[k].volumeUnit) {
                newVolume = true;
                continue;
            }
            if (c[k].volumeNumber && c[k].volumeNumber != lastVolume) {
                newVolume = true;
                lastVolume = c[k].volumeNumber;
            }
            if (!c[k].number) {
                continue;
            }
            const std::int64_t v = *c[k].number;
            if (last) {
                const bool apart = c[k].charsBefore - c[lastAt].charsBefore >= kMinChapterChars;
                const bool fits = v == *last + 1 || (newVolume && v <= 1);
                (fits && apart ? steps.fits : steps.breaks) += 1;
            }
            last = v;
            lastAt = k;
            newVolume = false;
        }
        return steps;
    };
    const auto with = [&](std::size_t f) {
        std::vector<char> chosen = taken;
        for (std::size_t k : members[f]) {
            chosen[k] = 1;
        }
        return chosen;
    };
    const auto take = [&](std::size_t f) {
        for (std::size_t k : members[f]) {
            taken[k] = 1;
        }
    };

    // The chapters: the family with the best evidence, strong forms counting double.
    std::optional<std::size_t> primary;
    std::size_t best = 0;
    std::vector<char> none(n, 0);
    for (std::size_t f = 0; f < families; ++f) {
        if (members[f].empty() || isNamed(f) || isVolumeFamily(f)) {
            continue;
        }
        const std::vector<char> alone = [&] {
            std::vector<char> v(n, 0);
            for (std::size_t k : members[f]) {
                v[k] = 1;
            }
            return v;
        }();
        const Steps steps = stepsOf(alone);
        const bool strong = isStrong(f);
        const bool runs = steps.fits >= 2 && steps.fits * 2 >= members[f].size();
        if (!strong && !runs) {
            continue;
        }
        const std::size_t score = steps.fits + (strong ? 2 * members[f].size() : 0);
        if (!primary || score > best) {
            primary = f;
            best = score;
        }
    }
    std::vector<std::string> used;
    if (primary) {
        take(*primary);
        used.push_back(m_families[*primary]);
    }
    // Other chapter families: strong ones seen more than once; the rest only where they
    // make the numbers run better (the bare numbers of chapters the book numbered so).
    for (std::size_t f = 0; f < families && m_rules.empty(); ++f) {
        if (members[f].empty() || isNamed(f) || isVolumeFamily(f) || primary == f) {
            continue;
        }
        const Steps before = stepsOf(taken);
        const Steps after = stepsOf(with(f));
        const bool strong = isStrong(f) && members[f].size() >= 2;
        if (strong || (primary && after.breaks < before.breaks && after.fits > before.fits)) {
            take(f);
            used.push_back(m_families[f]);
        }
    }
    // Volumes, and the named headings.
    for (std::size_t f = 0; f < families; ++f) {
        if (!members[f].empty() && (isNamed(f) || isVolumeFamily(f)) &&
            (m_rules.empty() || !primary)) {
            take(f);
            if (!isNamed(f)) {
                used.push_back(m_families[f]);
            }
        }
    }
    // 序 前言 after chapters of the same volume begin a part of a chapter, not the book.
    for (std::size_t k = front, chapters = 0; k < n; ++k) {
        if (!taken[k]) {
            continue;
        }
        if (c[k].volumeUnit) {
            chapters = 0;
        } else if (c[k].place == HeadingPlace::Numbered) {
            ++chapters;
        } else if (c[k].place == HeadingPlace::Front && chapters > 0 && m_rules.empty()) {
            taken[k] = 0;
        }
    }
    // A user's rule that fit no better than another is still the user's: the first one
    // that finds anything.
    if (!m_rules.empty() && used.empty()) {
        for (std::size_t f = 0; f < families; ++f) {
            if (!members[f].empty()) {
                take(f);
                used.push_back(m_families[f]);
                break;
            }
        }
    }
    for (const std::string& u : used) {
        book.rule += (book.rule.empty() ? "" : " + ") + u;
    }

    // A volume family whose members hold no chapters is a family of chapters.
    std::vector<int> level(n, 2);
    {
        bool chapterSinceVolume = false;
        std::vector<std::size_t> volumeHolds(families, 0);
        std::optional<std::size_t> openVolume;
        for (std::size_t k = front; k <= n; ++k) {
            if (k < n && !taken[k]) {
                continue;
            }
            const bool volume = k < n && c[k].volumeUnit;
            if (k == n || volume) {
                if (openVolume && chapterSinceVolume) {
                    ++volumeHolds[c[*openVolume].family];
                }
                openVolume = k < n ? std::optional(k) : std::nullopt;
                chapterSinceVolume = false;
            } else if (c[k].place == HeadingPlace::Numbered) {
                chapterSinceVolume = true;
            }
        }
        for (std::size_t k = front; k < n; ++k) {
            if (taken[k] && c[k].volumeUnit && volumeHolds[c[k].family] > 0) {
                level[k] = 1;
            }
        }
    }

    // The contents, with the characters of each chapter.
    std::vector<std::size_t> chosen;
    for (std::size_t k = front; k < n; ++k) {
        if (taken[k]) {
            chosen.push_back(k);
        }
    }
    for (std::size_t e = 0; e < chosen.size(); ++e) {
        const Candidate& h = c[chosen[e]];
        const bool last = e + 1 == chosen.size();
        TocEntry entry;
        entry.title = h.label;
        entry.level = level[chosen[e]];
        entry.number = h.number;
        entry.place = h.place;
        entry.start = h.start;
        entry.line = h.line;
        entry.chars = (last ? m_chars : c[chosen[e + 1]].charsBefore) - h.charsBefore;
        const std::size_t nextText = last ? m_textLines : c[chosen[e + 1]].textLines;
        // A candidate the evidence did not take is text of the chapter.
        entry.textFollows =
            nextText > h.textLines || (last ? chosen[e] + 1 < n : chosen[e + 1] > chosen[e] + 1);
        book.toc.push_back(std::move(entry));
    }
    book.textBeforeFirst =
        chosen.empty() ? !m_firstTitle.empty() : c[chosen[0]].textLines > 0 || chosen[0] > 0;

    // Warnings: numbers missing, repeated or out of order (in each volume, or through the
    // book where the volumes number on), chapters posted twice, chapters far from the
    // usual length.
    std::vector<std::uint64_t> bodies(chosen.size());
    for (std::size_t e = 0; e < chosen.size(); ++e) {
        const std::size_t end = e + 1 < chosen.size() ? chosen[e + 1] : n;
        std::uint64_t h = c[chosen[e]].bodyHash;
        for (std::size_t k = chosen[e] + 1; k < end; ++k) {
            h = Fnv(h, std::to_string(c[k].bodyHash));
        }
        bodies[e] = h;
    }
    // The runs of numbers: the whole book, or each volume where the numbers start again.
    // A number that comes late is out of order, not missing: a number is missing only
    // where it appears nowhere in its run, and is told once.
    std::vector<std::size_t> runOf(chosen.size(), 0);
    std::set<std::pair<std::size_t, std::int64_t>> present;
    {
        std::size_t run = 0;
        std::optional<std::int64_t> lastVolume;
        bool newVolume = false;
        bool numbered = false;  // a number since the run began
        for (std::size_t e = 0; e < chosen.size(); ++e) {
            const Candidate& h = c[chosen[e]];
            const TocEntry& entry = book.toc[e];
            if (entry.level == 1) {
                newVolume = true;
                continue;
            }
            if (h.volumeNumber && h.volumeNumber != lastVolume) {
                newVolume = true;
                lastVolume = h.volumeNumber;
            }
            if (entry.place != HeadingPlace::Numbered || !entry.number) {
                continue;
            }
            if (newVolume && *entry.number <= 1 && numbered) {
                ++run;
            }
            newVolume = false;
            numbered = true;
            runOf[e] = run;
            present.emplace(run, *entry.number);
        }
    }
    std::set<std::pair<std::size_t, std::int64_t>> told;
    std::unordered_map<std::uint64_t, std::size_t> seenBodies;
    std::optional<std::int64_t> last;
    std::optional<std::size_t> lastRun;
    std::vector<std::int64_t> lengths;
    for (std::size_t e = 0; e < chosen.size(); ++e) {
        const TocEntry& entry = book.toc[e];
        if (entry.level == 1) {
            continue;
        }
        const std::uint64_t key = Fnv(bodies[e], entry.title);
        const auto [it, fresh] = seenBodies.try_emplace(key, e);
        if (!fresh && entry.textFollows) {
            book.warnings.push_back(
                {ChapterWarning::Kind::Duplicate, entry.title,
                 entry.number ? std::vector{*entry.number} : std::vector<std::int64_t>{}});
        }
        if (entry.place != HeadingPlace::Numbered || !entry.number) {
            continue;
        }
        lengths.push_back(entry.chars);
        const std::int64_t v = *entry.number;
        if (lastRun != runOf[e]) {
            last.reset();
            lastRun = runOf[e];
        }
        if (last && v != *last + 1 && fresh) {
            if (v > *last + 1 && v - *last - 1 <= kMaxGap) {
                std::vector<std::int64_t> missing;
                for (std::int64_t m = *last + 1; m < v; ++m) {
                    if (!present.count({runOf[e], m}) && told.emplace(runOf[e], m).second) {
                        missing.push_back(m);
                    }
                }
                if (!missing.empty()) {
                    book.warnings.push_back(
                        {ChapterWarning::Kind::Missing, entry.title, std::move(missing)});
                }
            } else {
                book.warnings.push_back({ChapterWarning::Kind::Order, entry.title, {*last, v}});
            }
        }
        last = v;
    }
    if (lengths.size() >= 5) {
        std::vector<std::int64_t> sorted = lengths;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const std::int64_t usual = sorted[sorted.size() / 2];
        constexpr std::int64_t kFar = 5;
        constexpr std::int64_t kMinLongChars = 10000;
        for (const TocEntry& entry : book.toc) {
            if (entry.level != 2 || entry.place != HeadingPlace::Numbered || !entry.number) {
                continue;
            }
            if (entry.chars > usual * kFar && entry.chars > kMinLongChars) {
                book.warnings.push_back(
                    {ChapterWarning::Kind::Long, entry.title, {entry.chars, usual}});
            } else if (entry.chars * kFar * 2 < usual && entry.textFollows) {
                book.warnings.push_back(
                    {ChapterWarning::Kind::Short, entry.title, {entry.chars, usual}});
            }
        }
    }
    return book;
}

namespace {

// No heading is longer: a line held past this is text, counted as it goes by and never
// kept, so that a book without line breaks is scanned in flat memory.
constexpr std::size_t kMaxHeadingBytes = 256;

}  // namespace

bool ScanSlices(TextSliceReader& reader, HeadingScan& scan, std::size_t offset,
                std::size_t& textBytes, bool utf8Body) {
    const auto count = [utf8Body](std::string_view s) -> std::int64_t {
        return utf8Body ? CountUtf8CodePoints(s) : CountChars(s);
    };
    Text held;                       // the line being read, while it may still be a heading
    std::size_t lineStart = offset;  // its position in the book
    bool overlong = false;
    std::int64_t overlongChars = 0;
    bool afterCr = false;  // the last slice ended with a CR whose LF may come first now
    std::size_t sliceStart = offset;
    const auto endLine = [&](std::string_view tail) {
        if (overlong) {
            scan.AddLongLine(lineStart, overlongChars + count(tail));
        } else {
            // A line within one slice is scanned where it lies.
            std::string_view line = tail;
            if (!held.empty()) {
                held.append(tail);
                line = held;
            }
            if (utf8Body) {
                scan.AddUtf8Line(lineStart, line, count(line));
            } else {
                scan.AddLine(lineStart, line);
            }
        }
        held.clear();
        overlong = false;
        overlongChars = 0;
    };
    for (;;) {
        std::string_view slice;
        if (!reader.Next(slice)) {
            return false;
        }
        std::size_t pos = 0;
        if (afterCr && !slice.empty() && slice[0] == '\n') {
            pos = 1;
            lineStart = sliceStart + 1;
        }
        afterCr = false;
        EitherFinder breaks(slice, '\r', '\n');
        while (pos < slice.size()) {
            const std::size_t lineBreak = breaks.Next(pos);
            if (lineBreak == slice.size()) {
                const std::string_view rest = slice.substr(pos);
                if (overlong) {
                    overlongChars += count(rest);
                } else {
                    held.append(rest);
                    if (held.size() > kMaxHeadingBytes) {
                        overlong = true;
                        overlongChars = count(held);
                        held.clear();
                    }
                }
                break;
            }
            endLine(slice.substr(pos, lineBreak - pos));
            std::size_t next = lineBreak + 1;
            if (slice[lineBreak] == '\r') {
                if (next < slice.size()) {
                    next += slice[next] == '\n' ? 1 : 0;
                } else {
                    afterCr = true;
                }
            }
            lineStart = sliceStart + next;
            pos = next;
        }
        sliceStart += slice.size();
        if (slice.empty()) {
            if (overlong || !held.empty()) {
                endLine({});
            }
            textBytes = sliceStart - offset;
            return true;
        }
    }
}

BookContents ContentsOfText(std::string_view text, std::vector<HeadingRule> rules) {
    HeadingScan scan(std::move(rules));
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        end = end == std::string_view::npos ? text.size() : end;
        scan.AddLine(pos, text.substr(pos, end - pos));
        pos =
            end == text.size()
                ? end
                : end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2
                                                                                               : 1);
    }
    return scan.Finish(text.size());
}

}  // namespace qs
