#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "oracle.h"
#include "platform/native_names.h"

namespace qs::oracle {
namespace {

const std::string kBom8 = "\xEF\xBB\xBF", kBomLe = "\xFF\xFE", kBomBe = "\xFE\xFF";

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    return out;
}

bool IsUtf8(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; }) &&
           Iconv(bytes, "UTF-8", "UTF-16LE").has_value();
}

std::string MarkOf(const std::string& cs) {
    return cs == "UTF-8" ? kBom8 : cs == "UTF-16LE" ? kBomLe : cs == "UTF-16BE" ? kBomBe : "";
}

// Big5 with each user-defined pair (leads 81-A0 and FA-FE) put in place by an ideographic
// space: what iconv, the checker's reference, reads when those pairs are all it refuses.
std::string WithoutUserDefinedPairs(std::string_view bytes) {
    std::string out(bytes);
    for (std::size_t i = 0; i + 1 < out.size();) {
        const auto lead = static_cast<unsigned char>(out[i]);
        if (lead < 0x81 || lead == 0xFF) {
            ++i;
            continue;
        }
        if (lead <= 0xA0 || lead >= 0xFA) {
            out[i] = '\xA1';
            out[i + 1] = '\x40';
        }
        i += 2;
    }
    return out;
}

// The bytes read in cs, in GB18030. iconv has no Big5 user-defined area: where those pairs
// are all it refuses, the program's exact reading, which keeps them, stands in.
std::optional<std::string> ReadIn(std::string_view bytes, const std::string& cs) {
    if (auto text = Iconv(bytes, cs.c_str(), "GB18030")) {
        return text;
    }
    if (cs != "BIG5" || !Iconv(WithoutUserDefinedPairs(bytes), "BIG5", "GB18030")) {
        return std::nullopt;
    }
    const DecodedText decoded = DecodeBytes(bytes, TextEncoding::Big5);
    return decoded.exact ? std::optional<std::string>(decoded.text) : std::nullopt;
}

// The text written in cs; for Big5, where iconv lacks a user-defined character, the
// program's writing, when the reference reads it back as the text.
std::optional<std::string> WriteIn(const std::string& text, const std::string& cs) {
    if (auto bytes = Iconv(text, "GB18030", cs.c_str()); bytes || cs != "BIG5") {
        return bytes;
    }
    std::optional<Bytes> bytes = EncodeText(text, {TextEncoding::Big5});
    return bytes && ReadIn(*bytes, cs) == text ? bytes : std::nullopt;
}

// A text as the reading rules give it: the charset named by a mark or an HTML declaration,
// else UTF-8 when the bytes are UTF-8, else the bytes themselves. dirty: a mark or a
// declaration names a charset in which the bytes cannot be read exactly.
struct Reading {
    Text text;
    std::string charset;  // empty: the bytes as they are
    bool dirty = false;
    // Against what the file truly holds: read exactly as other characters; or read as the
    // locale chose between GB18030 and Big5 where both decode it, the truth being the other
    // (then alt holds the true text and charset).
    bool wrong = false;
    bool guessed = false;
    Text altText = {};
    std::string altCharset = {};
    // The encoding is clear and a few bytes do not decode in it: text holds them (Lenient).
    bool damaged = false;
};

// The bytes read in a charset (empty: GB18030) one character at a time, each byte that
// belongs to no character written as 7F and its two hex digits (so that no kept byte reads
// as a line break): what the pieces of a damaged text must give back between them.
std::string Lenient(std::string_view bytes, const std::string& charset) {
    const std::string cs = charset.empty() ? "GB18030" : charset;
    if (auto whole = Iconv(bytes, cs.c_str(), "GB18030")) {
        return *whole;
    }
    const bool units = cs.starts_with("UTF-16");
    std::string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        bool took = false;
        for (std::size_t len = units ? 2 : 1; len <= 4 && i + len <= bytes.size() && !took;
             len += units ? 2 : 1) {
            if (auto t = Iconv(bytes.substr(i, len), cs.c_str(), "GB18030")) {
                out += *t;
                i += len;
                took = true;
            }
        }
        for (std::size_t k = units ? 2 : 1; !took && k > 0 && i < bytes.size(); --k, ++i) {
            const char* hex = "0123456789ABCDEF";
            const auto b = static_cast<unsigned char>(bytes[i]);
            out += {'\x7F', hex[b >> 4], hex[b & 15]};
        }
    }
    return out;
}

std::string DeclaredCharset(std::string_view bytes) {
    std::string_view head = bytes.substr(0, std::min(bytes.find('\0'), bytes.size()));
    head = head.substr(0, std::min(head.find('\x1A'), head.size()));
    const std::string low = Lower(head);
    if (low.find("<meta") == std::string::npos) {
        return "";
    }
    for (const char* cs : {"utf-8", "big5", "big5-hkscs"}) {
        for (const char* q : {"", "\"", "'"}) {
            if (low.find(std::string("charset=") + q + cs + q) != std::string::npos) {
                return cs == std::string("utf-8") ? "UTF-8"
                       : Lower(cs) == "big5"      ? "BIG5"
                                                  : "BIG5-HKSCS";
            }
        }
    }
    return "";
}

Reading Read(std::string_view bytes) {
    // A text whose encoding is clear and whose damage is small is read in that encoding.
    if (const DecodedText decoded = DecodeBytes(bytes); decoded.damage.Any()) {
        const std::string charset(CharsetName(decoded.format.encoding));
        const std::size_t mark = decoded.format.mark ? MarkOf(charset).size() : 0;
        return {Lenient(bytes.substr(mark), charset), charset, false, false, false, {}, {}, true};
    }
    std::string cs;
    std::size_t body = 0;
    bool declared = false;
    if (bytes.starts_with(kBom8)) {
        cs = "UTF-8", body = 3;
    } else if (bytes.starts_with(kBomLe)) {
        cs = "UTF-16LE", body = 2;
    } else if (bytes.starts_with(kBomBe)) {
        cs = "UTF-16BE", body = 2;
    } else if (!(cs = DeclaredCharset(bytes)).empty()) {
        declared = true;
    } else if (IsUtf8(bytes)) {
        cs = "UTF-8";
    }
    if (!cs.empty()) {
        if (auto text = ReadIn(bytes.substr(body), cs)) {
            return {*text, cs, false};
        }
        if (declared && IsUtf8(bytes)) {
            return {*Iconv(bytes, "UTF-8", "GB18030"), "UTF-8", false};
        }
        if (!declared) {
            return {Text(bytes), "", true};
        }
    }
    // Without a mark, a declaration that holds or UTF-8 the encoding is a guess, whose
    // correctness the detection corpus measures; here it must be an exact reading in what
    // the program took, or a refusal.
    const DecodedText guessed = DecodeBytes(bytes);
    if (!guessed.exact) {
        return {Text(bytes), "", true};
    }
    const std::string charset(CharsetName(guessed.format.encoding));
    if (!charset.empty() && ReadIn(bytes, charset) != guessed.text) {
        return {Text(bytes), "", true};
    }
    return {guessed.text, charset, false};
}

bool Big5Family(const std::string& cs) {
    return cs.starts_with("BIG5");
}

// The reading, judged against the charset the file was written in (nullptr: unknown).
Reading Read(std::string_view bytes, const std::string* truth) {
    Reading reading = Read(bytes);
    if (truth != nullptr && truth->ends_with(kDamaged)) {
        // Damaged after it was written: read in that charset with the bad bytes kept, or
        // refused; never taken for another charset.
        const std::string written = truth->substr(0, truth->size() - kDamaged.size());
        reading.wrong = reading.damaged ? reading.charset != (written == "GB18030" ? "" : written)
                                        : !reading.dirty && bytes.size() >= 200;
        return reading;
    }
    if (reading.dirty) {
        return reading;
    }
    // A text as good in GB18030 as in Big5 may be taken either way, whatever its truth: a
    // merge settles it by its unit, and such a member is never deleted on it.
    const auto eitherWay = [&reading, bytes] {
        const DecodedText decoded = DecodeBytes(bytes);
        const std::string other(CharsetName(decoded.tiedWith));
        if (decoded.tiedWith != TextEncoding::Undetected) {
            if (auto alt = ReadIn(bytes, other.empty() ? "GB18030" : other)) {
                reading.guessed = true;
                reading.altText = *alt;
                reading.altCharset = other == "GB18030" ? "" : other;
            }
        }
        return reading;
    };
    if (truth == nullptr) {
        return eitherWay();
    }
    // Below this a text may be just as good in another encoding: an exact reading as other
    // characters is the program's fair guess.
    constexpr std::size_t kTellable = 200;
    if (*truth == kNoText) {
        // Bytes that happen to read as GB18030 and as Big5 may be taken either way too.
        eitherWay();
        reading.wrong = bytes.size() >= kTellable;
        if (std::getenv("QS_ORACLE_VERBOSE")) {
            std::fprintf(stderr, "no text read as %s\n",
                         reading.charset.empty() ? "GB18030" : reading.charset.c_str());
        }
        return reading;
    }
    const std::string mark = *truth == "UTF-8"      ? kBom8
                             : *truth == "UTF-16LE" ? kBomLe
                             : *truth == "UTF-16BE" ? kBomBe
                                                    : "";
    std::string_view body = bytes;
    if (!mark.empty() && body.starts_with(mark)) {
        body.remove_prefix(mark.size());
    }
    const std::optional<std::string> text = ReadIn(body, *truth);
    if (!text) {
        return reading;  // iconv lacks a character
    }
    if (*text == reading.text) {
        return eitherWay();
    }
    const DecodedText decoded = DecodeBytes(bytes);
    if (decoded.tiedWith != TextEncoding::Undetected &&
        Big5Family(std::string(CharsetName(decoded.tiedWith))) == Big5Family(*truth)) {
        reading.guessed = true;
        reading.altText = *text;
        reading.altCharset = *truth == "GB18030" ? "" : *truth;
    } else {
        reading.wrong = bytes.size() >= kTellable;
    }
    if (std::getenv("QS_ORACLE_VERBOSE")) {
        std::fprintf(stderr, "%s text read as %s%s: [%s]\n", truth->c_str(),
                     reading.charset.empty() ? "GB18030" : reading.charset.c_str(),
                     reading.guessed ? " by the locale" : "", ToUtf8Lossy(reading.text).c_str());
    }
    return reading;
}

bool InOrder(const std::string& hay, const std::vector<std::string>& needles) {
    std::size_t pos = 0;
    for (const std::string& n : needles) {
        const std::size_t at = hay.find(n, pos);
        if (at == std::string::npos) {
            return false;
        }
        pos = at + n.size();
    }
    return true;
}

std::string Join(const std::vector<std::string>& parts, const std::string& glue) {
    std::string all;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        all += (i ? glue : "") + parts[i];
    }
    return all;
}

bool Blank(const std::string& line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line.compare(i, 2, "\xA1\xA1") == 0) {
            ++i;
        } else if (line[i] != ' ' && line[i] != '\t') {
            return false;
        }
    }
    return true;
}

// The lines of a text (CR LF, a lone CR and a lone LF end a line), joined by CR LF.
std::string Lines(const std::string& t, bool skipBlank) {
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' || t[i] == '\n') {
            i += t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n';
            lines.push_back(std::move(cur));
            cur.clear();
        } else {
            cur += t[i];
        }
    }
    if (!cur.empty()) {
        lines.push_back(cur);
    }
    if (skipBlank) {
        std::erase_if(lines, Blank);
    }
    return Join(lines, "\r\n");
}

std::string Rel(const std::string& rel) {
    return rel.size() > 80 ? rel.substr(0, 40) + "…" + rel.substr(rel.size() - 30) : rel;
}

std::string Shown(const Text& path) {
    return Rel(ToUtf8Lossy(path));
}

}  // namespace

namespace {
std::vector<std::string> CheckAll(const Job& job, const Tree& given, const Tree& after,
                                  const std::vector<Event>& events, const std::string& messages,
                                  bool blockedOnPipe) {
    std::vector<std::string> v;
    // A source edited before the job opened it was, for the job, the edited file; so was it
    // for a job that opened it again after the edit (a folder listed under two patterns).
    // The same holds for each link to it, by the reads through the link. The file edited
    // after the job opened it for the last time must still be there as the edit left it,
    // whatever the job made of the version it read. An edit in place may have torn the
    // version read before it: what was made of that tells nothing.
    Tree before = given;
    std::set<std::string> edited;  // judged by the edit alone
    std::optional<Id> tornId;
    const std::size_t editedAt = job.edit ? job.edit->atEvent : 0;
    if (job.edit && job.edit->done) {
        const Edit& edit = *job.edit;
        const Id oldId = given.at(edit.rel).id;
        for (auto& [rel, node] : before) {
            if (rel != edit.rel && !(node.kind == Node::FileLink && node.id == oldId)) {
                continue;
            }
            const Text path = job.root + "/" + NativeToInternal(rel);
            bool readBefore = false, readAfter = false;
            for (std::size_t i = 0; i < events.size(); ++i) {
                const bool read =
                    (events[i].kind == Event::Read || events[i].kind == Event::ReadFailed) &&
                    events[i].path == path;
                (i < edit.atEvent ? readBefore : readAfter) |= read;
            }
            if (readBefore && edit.how != Edit::Replace) {
                tornId = oldId;
            }
            if (!readBefore || readAfter) {
                node.bytes = edit.bytes;
                node.id = *edit.id;
            } else if (edited.insert(rel).second && rel == edit.rel) {
                const auto now = after.find(edit.rel);
                if (now == after.end() || now->second.kind != Node::File ||
                    now->second.bytes != edit.bytes) {
                    v.push_back("an edit made while the job ran is lost: " + Rel(edit.rel));
                }
            }
        }
    }
    std::map<Id, std::string> beforeBytes;
    for (const Tree* tree :
         std::vector<const Tree*>{&given, &before}) {  // saved over: links read the old
        for (const auto& [rel, node] : *tree) {
            if (node.kind == Node::File || node.kind == Node::Pipe) {
                beforeBytes[node.id] = node.bytes;  // a pipe read (once unblocked) gives nothing
            }
        }
    }
    if (job.edit && job.edit->done) {  // read through a link only, it is no node of its own
        beforeBytes[*job.edit->id] = job.edit->bytes;
    }
    // What each file was written as, where it still holds what it was written with.
    std::map<Id, std::pair<const std::string*, const std::string*>> truths;
    for (const auto& [rel, truth] : job.truths) {
        if (const auto node = given.find(rel); node != given.end()) {
            truths[node->second.id] = {&truth, &node->second.bytes};
        }
    }
    auto truthOf = [&](const Id& id, const std::string& bytes) -> const std::string* {
        const auto truth = truths.find(id);
        return truth != truths.end() && *truth->second.second == bytes ? truth->second.first
                                                                       : nullptr;
    };
    std::map<Id, std::string> afterBytes;
    for (const auto& [rel, node] : after) {
        if (node.kind == Node::File) {
            afterBytes[node.id] = node.bytes;
        }
        if (rel.substr(rel.rfind('/') + 1).starts_with(".qirnsplit-")) {
            v.push_back("temporary file left: " + Rel(rel));
        }
    }
    std::set<Id> committed;
    std::map<Id, std::set<Text>> listed;
    for (const Event& e : events) {
        if (e.kind == Event::Commit && e.id) {
            committed.insert(*e.id);
        }
        if (e.kind == Event::List && e.id) {
            Text path = e.path;
            while (path.size() > 1 && path.back() == '/') {
                path.pop_back();
            }
            listed[*e.id].insert(path);
        }
    }
    if (blockedOnPipe) {
        v.push_back("a read blocked on a pipe");
    }
    // A folder that outputs went to is listed for free names under each spelling its
    // sources gave it (case twins on a case-ignoring file system): that is no walk.
    std::set<Text> outputFolders;
    for (const Event& e : events) {
        if (e.kind == Event::Commit && e.path.rfind('/') != Text::npos) {
            outputFolders.insert(e.path.substr(0, e.path.rfind('/')));
        }
    }
    for (const auto& [id, paths] : listed) {
        const bool outputFolder = std::any_of(
            paths.begin(), paths.end(), [&](const Text& p) { return outputFolders.count(p) != 0; });
        if (paths.size() > 1 && !outputFolder) {
            v.push_back("the walk entered one folder twice: " + Shown(*paths.rbegin()));
        }
    }
    for (const auto& [rel, node] : after) {
        const auto was = before.find(rel);
        if (node.kind == Node::File && !committed.count(node.id) && !edited.count(rel) &&
            (was == before.end() || was->second.bytes != node.bytes)) {
            v.push_back("a file changed that is neither a source nor an output: " + Rel(rel));
        }
    }
    for (const auto& [rel, node] : before) {
        if (node.kind == Node::File && !job.sources.count(rel) && !after.count(rel)) {
            v.push_back("a file vanished that is no source: " + Rel(rel));
        }
    }

    const bool shown =
        job.cli ? job.exitStatus != 0 : messages.find(U("项操作失败")) != std::string::npos;
    const bool truncated = messages.find(U("……")) != std::string::npos;
    bool refused = false;
    for (const char* m : {"份数必须大于0", "字节长度不能等于0", "行数至少 1", "字数至少 1 个",
                          "请输入用于分割的字符串！"}) {
        refused |= messages.find(U(m)) != std::string::npos;
    }
    refused |= job.cli && job.exitStatus == 2;  // a usage error: nothing was done
    const bool finished = !refused && !job.stopRequested;
    // Messages show a name whose bytes are no UTF-8 as GB18030 or escaped bytes.
    auto named = [&](const Text& path) {
        return truncated || messages.find(DisplayText(path)) != std::string::npos ||
               (job.cli && job.cliErrors.find(ToUtf8Lossy(path)) != std::string::npos);
    };
    // What lies in a folder that could not be listed cannot be known: the folder is what is
    // reported.
    // the command line adds the system's reason after ": "; the same text may begin a line
    // on a file of that folder first
    // and the window adds it in brackets
    auto holdsLine = [](const std::string& text, const std::string& line) {
        for (std::size_t at = text.find(line); at != std::string::npos;
             at = text.find(line, at + 1)) {
            const std::size_t end = at + line.size();
            if (end == text.size() || text[end] == '\r' || text[end] == '\n' ||
                text.compare(end, 2, ": ") == 0 ||
                text.compare(end, U("（").size(), U("（")) == 0) {
                return true;
            }
        }
        return false;
    };
    auto inUnlistedFolder = [&](const std::string& rel) {
        for (std::size_t slash = rel.rfind('/'); slash != std::string::npos && slash > 0;
             slash = rel.rfind('/', slash - 1)) {
            const Text folder = job.root + "/" + NativeToInternal(rel.substr(0, slash));
            if (holdsLine(messages, U("无法读取：") + DisplayText(folder)) ||
                (job.cli && holdsLine(job.cliErrors, "无法读取：" + ToUtf8Lossy(folder)))) {
                return true;
            }
        }
        return false;
    };
    auto reported = [&](const std::string& rel) {
        return named(job.root + "/" + NativeToInternal(rel)) || inUnlistedFolder(rel);
    };
    auto unchanged = [&](const std::string& rel) {
        const auto now = after.find(rel);
        return now != after.end() && now->second.bytes == before.at(rel).bytes &&
               now->second.kind == before.at(rel).kind;
    };
    // A merge gives a unit up at a member that failed midway: the members after it are
    // never reached, and the unit's output is reported as not written instead.
    bool unitGivenUp = false;
    // A full disk ends the writing: the sources after it are kept, never looked at, and the
    // full disk is told once for them all.
    const bool diskFull = messages.find(U("磁盘空间不足")) != std::string::npos ||
                          (job.cli && (job.cliErrors.find("磁盘空间不足") != std::string::npos ||
                                       job.cliErrors.find("No space left") != std::string::npos));
    auto checkSource = [&](const std::string& rel, bool complete, bool touched) {
        const Node& node = before.at(rel);
        if (!touched && inUnlistedFolder(rel)) {
            // Never a source, then: an older file that an output of its name may replace.
            const auto now = after.find(rel);
            if (!unchanged(rel) && (now == after.end() || !committed.count(now->second.id))) {
                v.push_back("a file vanished or changed in a folder never listed: " + Rel(rel));
            }
            return;
        }
        if (node.kind != Node::File && node.kind != Node::FileLink) {
            if (finished && !reported(rel) && !((unitGivenUp || diskFull) && !touched)) {
                v.push_back("a source that is no regular file was not reported: " + Rel(rel));
            }
            return;
        }
        if (!unchanged(rel)) {
            if (!complete) {
                v.push_back(
                    "source deleted or changed although what was made of it is not "
                    "complete: " +
                    Rel(rel));
            }
        } else if (job.deleteSources && finished && touched && !reported(rel)) {
            v.push_back("source kept without a report: " + Rel(rel));
        }
        if (finished && !shown && !complete) {
            v.push_back("no failure reported, yet the source was not handled completely: " +
                        Rel(rel));
        }
    };

    if (job.split) {
        // What each piece held when it was named: another job may take it as its source
        // (listed after it was written) and delete it once its own pieces hold it.
        std::map<Id, std::string> madeBytes;
        for (const Event& e : events) {
            if (e.kind == Event::Commit && e.id) {
                madeBytes[*e.id] = e.bytes;
            }
        }
        // Pieces belong to the source read last; every successful read starts a new run.
        std::map<Id, std::vector<std::vector<Id>>> runs;
        std::vector<Id>* run = nullptr;
        for (std::size_t i = 0; i < events.size(); ++i) {
            const Event& e = events[i];
            if (e.kind == Event::Read && e.id && e.id == tornId && i < editedAt) {
                run = nullptr;  // what it made of a version torn by the edit tells nothing
            } else if (e.kind == Event::Read && e.id &&
                       (beforeBytes.count(*e.id) || madeBytes.count(*e.id))) {
                run = &runs[*e.id].emplace_back();
            } else if (e.kind == Event::Read || e.kind == Event::ReadFailed) {
                run = nullptr;
            } else if (e.kind == Event::Commit && run && e.id &&
                       !e.path.ends_with(".manifest.json")) {  // a record, not a piece
                run->push_back(*e.id);
            }
        }
        const bool equalPieces = job.mode == SplitMode::Parts || job.mode == SplitMode::Bytes;
        const bool bytesMode = equalPieces || (job.mode == SplitMode::Lines && job.keepLineBreaks);
        // Whether some run of pieces of the file (id, bytes) gives it whole; rel names the
        // source in what is said. A piece gone since is there as the pieces made of it.
        std::function<bool(const std::string&, const Id&, const std::string&, int)> complete;
        auto held = [&](const Id& id, const std::string& rel,
                        int depth) -> std::optional<std::string> {
            if (afterBytes.count(id)) {
                return afterBytes[id];
            }
            const auto made = madeBytes.find(id);
            if (made != madeBytes.end() && depth < 4 &&
                complete(made->second, id, rel, depth + 1)) {
                return made->second;
            }
            return std::nullopt;
        };
        complete = [&](const std::string& bytes, const Id& fileId, const std::string& rel,
                       int depth) {
            bool whole = false;
            const Reading source = Read(bytes, truthOf(fileId, bytes));
            if (depth == 0 && !bytesMode && source.wrong && !runs[fileId].empty() &&
                !reported(rel)) {
                v.push_back("a source read as other characters was not reported: " + Rel(rel));
            }
            // A damaged source cut by characters is cut between whole ones: its pieces are
            // slices of its bytes, whose damage a piece read alone would read otherwise.
            const std::string mark = MarkOf(source.charset);
            const bool slices = source.damaged && job.mode == SplitMode::Chars;
            const bool marked = !mark.empty() && bytes.starts_with(mark);
            const std::string text = bytesMode ? bytes
                                     : slices  ? bytes.substr(marked ? mark.size() : 0)
                                     : job.mode == SplitMode::Lines
                                         ? Lines(source.text, job.ignoreBlankLines)
                                         : source.text;
            for (const std::vector<Id>& pieces : runs[fileId]) {
                std::vector<std::string> texts;
                bool all = true;
                for (const Id& id : pieces) {
                    std::optional<std::string> piece = held(id, rel, depth);
                    if (!piece) {
                        all = false;
                        continue;
                    }
                    if (slices) {
                        if (marked && piece->starts_with(mark)) {
                            piece->erase(0, mark.size());
                        }
                    } else if (!bytesMode && (source.damaged || !source.charset.empty())) {
                        // A source without a mark gives pieces without one: a piece that
                        // begins with U+FEFF holds it as a character.
                        if (piece->starts_with(MarkOf(source.charset)) &&
                            !MarkOf(source.charset).empty() &&
                            bytes.starts_with(MarkOf(source.charset))) {
                            piece->erase(0, MarkOf(source.charset).size());
                        }
                        auto decoded = source.damaged
                                           ? std::optional(Lenient(*piece, source.charset))
                                           : ReadIn(*piece, source.charset);
                        if (!decoded) {
                            v.push_back("a piece of " + Rel(rel) + " does not decode in " +
                                        source.charset);
                            all = false;
                            continue;
                        }
                        piece = *decoded;
                    }
                    texts.push_back(*piece);
                }
                if (!InOrder(text, texts)) {
                    v.push_back("a piece is not a part of its source: " + Rel(rel));
                }
                if (equalPieces && texts.size() > 2 &&
                    std::any_of(texts.begin() + 1, texts.end() - 1, [&](const std::string& t) {
                        return t.size() != texts[0].size();
                    })) {
                    v.push_back("pieces of unequal size: " + Rel(rel));
                }
                const std::string glue = bytesMode                          ? ""
                                         : job.mode == SplitMode::Lines     ? "\r\n"
                                         : job.mode == SplitMode::Separator ? job.separator
                                                                            : "";
                const std::string joined = Join(texts, glue);
                if (std::getenv("QS_ORACLE_VERBOSE")) {
                    std::fprintf(stderr, "run of %s (%d): %zu pieces, all %d, %zu of %zu bytes\n",
                                 Rel(rel).c_str(), depth, pieces.size(), all, joined.size(),
                                 text.size());
                }
                whole |=
                    all && (joined == text || (job.mode == SplitMode::Separator &&
                                               joined + job.separator == text && !texts.empty()));
            }
            return whole;
        };
        for (const std::string& rel : job.sources) {
            if (edited.count(rel)) {
                continue;
            }
            const Node& node = before.at(rel);
            checkSource(rel, complete(node.bytes, node.id, rel, 0), !runs[node.id].empty());
        }
        return v;
    }

    // Merges: each output holds the members read while it was being written.
    struct Unit {
        Text path;
        std::vector<Id> members;
        bool readFailed = false;
        std::optional<Id> output;
        std::set<Id> outputsRead = {};
        Text outputPath = {};
    };
    std::vector<Unit> units;
    // A separator file that could not be read is left out, and said so.
    const std::string separator =
        !job.separatorFile.empty() &&
                messages.find(U("无法读取：") + DisplayText(NativeToInternal(job.separatorFile))) !=
                    std::string::npos
            ? ""
            : job.separator;
    const auto separatorFile = [&]() -> std::optional<Id> {
        for (const Event& e : events) {
            if (!job.separatorFile.empty() && e.path.ends_with("/sep.bin")) {
                return e.id;
            }
        }
        return std::nullopt;
    }();
    // A file the job wrote and then read again is its output, also where it has the number
    // of a source deleted before it.
    std::set<Id> writtenSoFar;
    // Members a unit reached; the command line opens every file once before, to count.
    std::set<Id> read;
    bool listedSinceCreate = false;  // a walk lists a folder before its unit begins
    for (const Event& e : events) {
        if (e.kind == Event::Commit && e.id) {
            writtenSoFar.insert(*e.id);
        }
        if (e.kind == Event::List) {
            listedSinceCreate = true;
        }
        if (!units.empty() && (e.kind == Event::Read || e.kind == Event::ReadFailed) && e.id) {
            read.insert(*e.id);
        }
        // An encoded merge may begin its output again in another encoding; a unit of the
        // same name that follows a failed one is a unit of its own.
        const bool again = !units.empty() && job.processEncoding && !listedSinceCreate;
        if (e.kind == Event::Create) {
            listedSinceCreate = false;
        }
        if (e.kind == Event::Create && again && units.back().path == e.path &&
            !units.back().output) {
            continue;
        } else if (e.kind == Event::Create) {
            units.push_back({e.path, {}, false, std::nullopt, {}, {}});
        } else if (units.empty() || (separatorFile && e.id == separatorFile)) {
            continue;
        } else if (e.kind == Event::Read && e.id) {
            units.back().members.push_back(*e.id);
            if (writtenSoFar.count(*e.id)) {
                units.back().outputsRead.insert(*e.id);
            }
        } else if (e.kind == Event::ReadFailed) {
            units.back().readFailed = true;
        } else if (e.kind == Event::Commit && !units.back().output) {
            units.back().output = e.id;  // under its own name or, where taken, a " (k)" one
            units.back().outputPath = e.path;
        }
    }
    // An output deleted as the member of a later one may leave its number to another file.
    std::set<Text> deletedPaths;
    std::set<Id> deletedIds;
    for (const Event& e : events) {
        if (e.kind == Event::Delete) {
            deletedPaths.insert(e.path);
            if (e.id) {
                deletedIds.insert(*e.id);
            }
        }
    }
    std::set<Id> held, heldExactly;
    std::set<Id> misread;  // read as other characters, or as a guess: never to be deleted

    std::map<Id, std::vector<Id>> madeOf;  // an output read again as a member holds these
    for (const Unit& unit : units) {
        const std::string name = Shown(unit.path);
        if (!unit.output || deletedPaths.count(unit.outputPath) ||
            !afterBytes.count(*unit.output)) {
            if (unit.output) {  // read into a later output, which is checked in its turn
                madeOf[*unit.output] = unit.members;
            }
            unitGivenUp |= !unit.output && named(unit.path);
            if (!unit.output && !named(unit.path)) {
                v.push_back("an output was not written and not reported: " + name);
            }
            continue;
        }
        const std::string& out = afterBytes[*unit.output];
        std::vector<std::string> texts;
        std::vector<Reading> readings;
        // A fault elsewhere (the command line opens every file once for its progress totals)
        // may leave a unit whole: it is judged exactly first.
        bool lenient = unit.readFailed;
        // A mark alone is an empty text and decides nothing about the output's encoding.
        std::string lastCharset;
        // Members read as the locale chose between GB18030 and Big5: either reading may be
        // the one the unit took.
        struct Guess {
            std::size_t at;  // in texts
            Reading reading;
            Id id;
        };
        std::vector<Guess> guesses;
        std::size_t lastGuess = std::string::npos;
        auto mentionedMember = [&](const Id& id) {
            bool mentioned = truncated;
            for (const auto& [rel, node] : given) {
                mentioned |= (node.id == id || before.at(rel).id == id) && job.sources.count(rel) &&
                             reported(rel);
            }
            return mentioned;
        };
        for (const Id& id : unit.members) {
            // An earlier output of the job read again holds what it still holds, unless it
            // is gone since.
            const bool earlierOutput = unit.outputsRead.count(id) != 0;
            if (earlierOutput ? (deletedIds.count(id) || !afterBytes.count(id))
                              : !beforeBytes.count(id) || id == tornId) {
                lenient = true;
                continue;
            }
            bool unreadable = false;
            for (const auto& [rel, node] : given) {
                // A name that is not UTF-8 is told by the command line as it can print it.
                const Text path = job.root + "/" + NativeToInternal(rel);
                unreadable |=
                    (node.id == id || before.at(rel).id == id) && job.sources.count(rel) &&
                    (messages.find(U("无法读取：") + DisplayText(path)) != std::string::npos ||
                     (job.cli &&
                      job.cliErrors.find("无法读取：" + ToUtf8Lossy(path)) != std::string::npos));
            }
            if (unreadable) {
                lenient = true;  // a read that failed midway, reported
                continue;
            }
            const std::string& bytes = earlierOutput ? afterBytes[id] : beforeBytes[id];
            readings.push_back(job.processEncoding
                                   ? Read(bytes, earlierOutput ? nullptr : truthOf(id, bytes))
                                   : Reading{bytes, "", false});
            const Reading& reading = readings.back();
            if (bytes != kBom8 && bytes != kBomLe && bytes != kBomBe) {
                lastCharset = reading.charset;
                lastGuess = reading.guessed ? guesses.size() : std::string::npos;
            }
            // An encoded merge converts, and a damaged member has bytes it would invent for.
            if (reading.dirty || reading.wrong || reading.damaged) {
                lenient = true;
                misread.insert(id);
                if (!mentionedMember(id)) {
                    v.push_back(std::string(reading.dirty || reading.damaged
                                                ? "a member that does not decode exactly"
                                                : "a member read as other characters") +
                                " was not reported, in " + name);
                }
            } else {
                if (reading.guessed) {
                    guesses.push_back({texts.size(), reading, id});
                    misread.insert(id);
                }
                texts.push_back(reading.text);
            }
        }
        std::string content = out;
        if (job.processEncoding) {
            const Reading o = Read(out);
            if (o.dirty) {
                v.push_back("the output's mark or declaration names another encoding: " + name);
            }
            content = o.text;
        }
        const auto family = [](const std::string& cs) {
            return Big5Family(cs) ? "BIG5" : cs.empty() || cs == "GB18030" ? "" : cs;
        };
        bool exact = false;
        bool encodable = false;  // a stop may leave a separator that is no text at the end
        std::string expected;
        std::vector<std::string> tried = texts;
        const unsigned combos = guesses.size() <= 4 ? 1u << guesses.size() : 1u;
        for (unsigned mask = 0; mask < combos && !exact; ++mask) {
            for (std::size_t g = 0; g < guesses.size(); ++g) {
                const Reading& r = guesses[g].reading;
                tried[guesses[g].at] = (mask >> g & 1) ? r.altText : r.text;
            }
            const std::string cs = lastGuess == std::string::npos ? lastCharset
                                   : (mask >> lastGuess & 1) ? guesses[lastGuess].reading.altCharset
                                                             : guesses[lastGuess].reading.charset;
            expected = Join(tried, separator);
            std::vector<std::string> allowed = {expected};
            if (job.stopRequested) {
                allowed.push_back(expected + separator);
            }
            if (!lenient && job.processEncoding && !cs.empty()) {
                for (const std::string& text : allowed) {
                    if (auto encoded = WriteIn(text, cs)) {
                        encodable = true;
                        exact |= out == *encoded || out == MarkOf(cs) + *encoded;
                    }
                }
            } else if (!lenient) {
                encodable = true;
                exact = std::find(allowed.begin(), allowed.end(), out) != allowed.end();
            }
            // Bytes under a mark or declaration that would read them as other characters: an
            // output reported as such may hold its text in another encoding.
            exact |= !lenient && job.processEncoding && named(unit.path) &&
                     std::find(allowed.begin(), allowed.end(), content) != allowed.end();
            for (std::size_t g = 0; exact && g < guesses.size(); ++g) {
                const Reading& r = guesses[g].reading;
                const std::string taken = (mask >> g & 1) ? r.altCharset : r.charset;
                // Readings that give one text (plain ASCII under a declaration) need no word.
                if (family(taken) != family(cs) && r.altText != r.text &&
                    !mentionedMember(guesses[g].id)) {
                    v.push_back("a member whose encoding was a guess went into " + cs +
                                " without a word, in " + name);
                }
            }
        }
        if (!lenient && job.processEncoding && !encodable && !lastCharset.empty() &&
            !named(unit.path)) {
            v.push_back("an output that cannot be written in " + lastCharset +
                        " was not reported: " + name);
        }
        const bool holds = exact || ((lenient || job.faulted) &&
                                     (InOrder(content, texts) || InOrder(content, tried)));
        if (!holds) {
            if (std::getenv("QS_ORACLE_VERBOSE")) {
                std::fprintf(stderr, "output  [%s] %zu\nexpected[%s] %zu\n",
                             ToUtf8Lossy(content).c_str(), content.size(),
                             ToUtf8Lossy(expected).c_str(), expected.size());
            }
            v.push_back("an output does not hold its members as they were: " + name);
        }
        for (const Id& id : unit.members) {
            if (holds) {
                held.insert(id);
                for (const Id& inner : madeOf[id]) {
                    held.insert(inner);
                }
            }
            if (exact) {
                heldExactly.insert(id);
            }
        }
        if (holds) {
            std::vector<Id>& inner = madeOf[*unit.output];
            for (const Id& id : unit.members) {
                inner.push_back(id);
                inner.insert(inner.end(), madeOf[id].begin(), madeOf[id].end());
            }
        }
    }
    for (const std::string& rel : job.sources) {
        if (edited.count(rel)) {
            continue;
        }
        const Id id = before.at(rel).id;
        if (misread.count(id) && !unchanged(rel)) {
            v.push_back("a source read as other characters or by a guess was deleted: " + Rel(rel));
        }
        checkSource(rel, unchanged(rel) ? heldExactly.count(id) > 0 : held.count(id) > 0,
                    read.count(id) > 0);
    }
    return v;
}

}  // namespace

std::vector<std::string> Check(const Job& job, const Tree& before, const Tree& after,
                               const std::vector<Event>& events, const std::string& messages,
                               bool blockedOnPipe) {
    std::vector<std::string> broken = CheckAll(job, before, after, events, messages, blockedOnPipe);
    if (job.edit && job.edit->done) {
        // What the job made of a file edited under it, and what it said about it, depend on
        // when the edit came; that nothing was lost does not.
        std::erase_if(broken, [](const std::string& b) {
            for (const char* lost : {"an edit made while", "source deleted or changed",
                                     "a file changed that", "a file vanished", "temporary file"}) {
                if (b.starts_with(lost)) {
                    return false;
                }
            }
            return true;
        });
    }
    return broken;
}

}  // namespace qs::oracle
