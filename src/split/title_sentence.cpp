#include "split/title_sentence.h"

#include <array>

#include "platform/random.h"
#include "text/characters.h"

namespace qs {
namespace {

// Framed by bytes that no lead byte takes as its second, so that a stray lead byte before
// a cut never hides the mark.
const Text& Marker() {
    static const Text& name = U("\x1F⊥\x1F");
    return name;
}

std::uint16_t TwoBytes(std::string_view ch) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(ch[0]) << 8 |
                                      static_cast<unsigned char>(ch[1]));
}

bool IsAsciiDelimiter(char c) {
    switch (c) {
        case ',':
        case '!':
        case '?':
        case ';':
        case '<':
        case '>':
        case '/':
        case ':':
        case '(':
        case ')':
        case '=':
        case '\'':
        case '{':
        case '}':
        case '-':
        case ' ':
        case '"':
            return true;
        default:
            return false;
    }
}

// A character is two bytes: compared as one number, not as a text, since every
// character of a text of any length goes through here.
bool IsWideDelimiter(std::string_view ch) {
    static const std::array<std::uint16_t, 15> kWide = [] {
        const std::array<const Text*, 15> texts = {&U("，"), &U("。"), &U("！"), &U("？"), &U("；"),
                                                   &U("："), &U("《"), &U("》"), &U("（"), &U("）"),
                                                   &U("、"), &U("‘"),  &U("’"),  &U("“"),  &U("”")};
        std::array<std::uint16_t, 15> codes{};
        for (std::size_t k = 0; k < texts.size(); ++k) {
            codes[k] = TwoBytes(*texts[k]);
        }
        return codes;
    }();
    const std::uint16_t code = TwoBytes(ch);
    for (const std::uint16_t w : kWide) {
        if (code == w) {
            return true;
        }
    }
    return false;
}

bool IsBlankByte(std::string_view t, std::size_t i, std::size_t& len) {
    if (t[i] == ' ' || t[i] == '\t') {
        len = 1;
        return true;
    }
    if (i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA1 &&
        static_cast<unsigned char>(t[i + 1]) == 0xA1) {
        len = 2;
        return true;
    }
    return false;
}

// Blank lines (spaces, full-width spaces, TABs only) go together with their CR LF, and such
// runs go at the start and the end of every line.
Text CleanBlanks(std::string_view t) {
    Text out;
    out.reserve(t.size());
    std::size_t pos = 0;
    while (pos <= t.size()) {
        std::size_t end = pos;
        while (end < t.size() && t[end] != '\r' && t[end] != '\n') {
            end += CharLength(t, end);
        }
        if (end > t.size()) {
            end = t.size();
        }
        std::size_t breakLen = 0;
        if (end < t.size()) {
            breakLen = (t[end] == '\r' && end + 1 < t.size() && t[end + 1] == '\n') ? 2 : 1;
        }
        std::size_t a = pos;
        std::size_t len = 0;
        while (a < end && IsBlankByte(t, a, len)) {
            a += len;
        }
        const bool blank = a >= end;
        if (!(blank && breakLen == 2)) {
            std::size_t b = a;
            std::size_t lastKeep = a;
            while (b < end) {
                if (IsBlankByte(t, b, len)) {
                    b += len;
                } else {
                    b += CharLength(t, b);
                    lastKeep = b;
                }
            }
            out.append(t.substr(a, (lastKeep > end ? end : lastKeep) - a));
            out.append(t.substr(end, breakLen));
        }
        if (end >= t.size()) {
            break;
        }
        pos = end + breakLen;
    }
    return out;
}

}  // namespace

const Text& TitleDelimiters() {
    return U(",，。！!？?;；<>/:：()='. {}《》（）、‘’- \"“”\r\n");
}

Text StripTags(std::string_view text, const std::function<void()>& pump) {
    Text out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t open = std::string::npos;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const std::size_t len = CharLength(text, i);
        if (len == 1 && c == '<') {
            open = i;
        } else if (len == 1 && c == '>' && open != std::string::npos) {
            out.append(text, copied, open - copied);
            copied = i + 1;
            open = std::string::npos;
            if (pump) {
                pump();
            }
        }
        i += len;
    }
    out.append(text, copied, std::string::npos);
    return out;
}

std::int32_t RandomPool::Draw(std::int32_t lo, std::int32_t hi) {
    // One seeding per pool is enough for uniform draws; seeding per draw would cost more
    // than the draw itself on texts with many fragments.
    if (!m_seeded) {
        ReseedRandom();
        m_seeded = true;
    }
    if (m_numbers.empty()) {
        if (hi < lo) {
            std::swap(lo, hi);
        }
        m_numbers.reserve(static_cast<std::size_t>(hi - lo) + 1);
        for (std::int32_t v = lo;; ++v) {
            m_numbers.push_back(v);
            if (v == hi) {
                break;
            }
        }
    }
    const auto k =
        static_cast<std::size_t>(RandomInRange(0, static_cast<std::int32_t>(m_numbers.size()) - 1));
    const std::int32_t value = m_numbers[k];
    m_numbers[k] = m_numbers.back();
    m_numbers.pop_back();
    return value;
}

namespace {

// The parts of marked between its markers, as SplitText cuts them, without a copy of each.
std::vector<std::string_view> Fragments(std::string_view marked) {
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos < marked.size()) {
        const std::size_t hit = FindText(marked, Marker(), pos);
        if (hit == std::string_view::npos) {
            parts.push_back(marked.substr(pos));
            break;
        }
        parts.push_back(marked.substr(pos, hit - pos));
        pos = hit + Marker().size();
    }
    return parts;
}

}  // namespace

Text PickTitleSentence(std::string_view text, std::int32_t minChars,
                       const std::function<void()>& pump) {
    Text marked;
    {
        // A text without tags is cleaned as it is, not copied first.
        const Text cleaned = text.find('<') == std::string_view::npos
                                 ? CleanBlanks(text)
                                 : CleanBlanks(StripTags(text, pump));
        marked.reserve(cleaned.size() + cleaned.size() / 4);
        std::size_t i = 0;
        while (i < cleaned.size()) {
            const std::size_t len = CharLength(cleaned, i);
            const char c = cleaned[i];
            bool cut = false;
            std::size_t cutLen = len;
            if (len == 1) {
                if (c == '\r' || c == '\n') {
                    cut = true;
                } else if (c == '.') {
                    if (i + 1 < cleaned.size() && cleaned[i + 1] == ' ') {
                        cut = true;
                        cutLen = 2;
                    }
                } else {
                    cut = IsAsciiDelimiter(c);
                }
            } else if (len == 2 && c == '\r') {
                cut = true;
            } else if (len == 2) {
                cut = IsWideDelimiter(std::string_view(cleaned).substr(i, 2));
            }
            if (cut) {
                marked.append(Marker());
            } else {
                marked.append(cleaned, i, len);
            }
            i += cutLen;
        }
    }

    const std::vector<std::string_view> fragments = Fragments(marked);
    const auto n = static_cast<std::int32_t>(fragments.size());
    if (n == 0) {
        return Text();
    }
    RandomPool pool;
    for (std::int32_t round = 0; round < n; ++round) {
        const std::int32_t k = pool.Draw(1, n);
        Text s = TrimSpaces(fragments[static_cast<std::size_t>(k - 1)]);
        if (!s.empty() && CountChars(s) >= minChars) {
            return s;
        }
    }
    return Text(fragments[static_cast<std::size_t>(RandomInRange(1, n) - 1)]);
}

}  // namespace qs
