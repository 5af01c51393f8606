#include "settings/ini_store.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/services.h"
#include "text/characters.h"

namespace qs {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr int kMaxAppends = 11;

const Text& LineBreakEscape() {
    static const Text& name = U("┊*┊");
    return name;
}

// The line structure is made of ASCII CR, LF, '[' and ']' at line starts. CR and LF are never
// trail bytes of a double-byte character, so these byte searches are exact on sound text and
// stay in step on a damaged file (a lone lead byte before CR LF).
std::size_t LineEnd(std::string_view copy, std::size_t from) {
    const std::size_t end = copy.find(kCrLf, from);
    return end == std::string_view::npos ? copy.size() : end;
}

bool AtLineStart(std::string_view copy, std::size_t pos) {
    return pos == 0 || (pos >= 2 && copy[pos - 2] == '\r' && copy[pos - 1] == '\n');
}

// A line that starts with "[" and has a "]" counts as a header of some section.
bool HeaderBetween(std::string_view copy, std::size_t from, std::size_t to) {
    std::size_t p = copy.find("\r\n[", from);
    while (p != std::string_view::npos && p < to) {
        const std::size_t lineEnd = LineEnd(copy, p + 2);
        const std::size_t close = copy.find(']', p + 3);
        if (close != std::string_view::npos && close < lineEnd) {
            return true;
        }
        p = copy.find("\r\n[", p + 2);
    }
    return false;
}

Text FormatNumber(double number) {
    char buffer[400];
    std::to_chars_result r{};
    if (std::isfinite(number) && number == std::trunc(number)) {
        r = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed);
    } else {
        r = std::to_chars(buffer, buffer + sizeof buffer, number);
    }
    return Text(buffer, r.ptr);
}

Text SafeFileName(std::string_view name) {
    Text out = ReplaceAll(name, "/", "_");
    std::replace(out.begin(), out.end(), '\0', '_');
    return out;
}

}  // namespace

bool IsSafeSectionName(std::string_view section) {
    return section.find_first_of(std::string_view("\r\n]", 3)) == std::string_view::npos;
}

bool IsSafeKeyName(std::string_view key) {
    return key.find_first_of("\r\n=") == std::string_view::npos &&
           (key.empty() || key.front() != '[');
}

SettingsStore::~SettingsStore() {
    Close();
}

void SettingsStore::Close() {
    m_file.reset();
    m_copy.clear();
    m_copy.shrink_to_fit();
    m_dirtyFrom.reset();
}

bool SettingsStore::OpenFile(const Text& path, const Text& sideFolder) {
    Close();
    m_path = path;
    m_sideFolder = sideFolder;
    if (m_sideFolder.empty()) {
        const std::size_t slash = FindLastChar(path, '/');
        m_sideFolder = slash == Text::npos ? Text(".") : path.substr(0, slash);
    }
    m_file = Fs().OpenReadWrite(path);
    if (m_file) {
        std::optional<Bytes> content = m_file->ReadAll();
        if (content) {
            m_copy = std::move(*content);
            return true;
        }
        // Writing at offsets into a file whose content we could not read would damage it.
        m_file.reset();
    }
    if (std::optional<Bytes> content = Fs().ReadWholeFile(path)) {
        m_copy = std::move(*content);
    }
    return false;
}

bool SettingsStore::FileHoldsCopy() const {
    const std::optional<Bytes> disk = m_file->ReadAll();
    if (!disk) {
        return false;
    }
    // After a failed write the file may differ from the copy from that offset on.
    if (m_dirtyFrom) {
        return std::string_view(*disk).substr(0, *m_dirtyFrom) ==
               std::string_view(m_copy).substr(0, *m_dirtyFrom);
    }
    return *disk == m_copy;
}

SettingsStore::Found SettingsStore::Search(const Text& section, const Text& key,
                                           std::size_t from) const {
    Found found;
    const std::string_view copy = m_copy;
    const Text header = "[" + section + "]";
    std::size_t h = copy.find(header, from);
    while (h != std::string_view::npos && !AtLineStart(copy, h)) {
        h = copy.find(header, h + 1);
    }
    if (h == std::string_view::npos) {
        return found;
    }
    const std::size_t headerEnd = h + header.size();
    found.headerLineEnd = LineEnd(copy, headerEnd);
    const Text pattern = Text(kCrLf) + key + "=";
    const std::size_t k = copy.find(pattern, headerEnd);
    if (k == std::string_view::npos || HeaderBetween(copy, headerEnd, k)) {
        return found;
    }
    found.valueStart = k + pattern.size();
    found.valueEnd = LineEnd(copy, *found.valueStart);
    return found;
}

void SettingsStore::Edit(std::size_t offset, std::size_t count, std::string_view bytes) {
    if (m_file && !FileHoldsCopy()) {
        // Someone else changed the file: its bytes are not ours to overwrite.
        m_file.reset();
    }
    const std::size_t oldSize = m_copy.size();
    m_copy.replace(offset, count, bytes);
    if (!m_file) {
        return;
    }
    const std::size_t from = m_dirtyFrom ? std::min(*m_dirtyFrom, offset) : offset;
    const bool mustTruncate = m_dirtyFrom.has_value() || m_copy.size() < oldSize;
    const bool ok =
        m_file->WriteAt(static_cast<std::int64_t>(from), std::string_view(m_copy).substr(from)) &&
        (!mustTruncate || m_file->Truncate(static_cast<std::int64_t>(m_copy.size())));
    if (ok) {
        m_dirtyFrom.reset();
    } else {
        m_dirtyFrom = from;  // the next edit rewrites from here and mends the file
    }
}

void SettingsStore::Carry(const Request& request) {
    std::size_t from = 0;
    int appends = 0;
    for (;;) {
        Pump();
        const Found found = Search(request.section, request.key, from);
        if (found.valueStart) {
            Edit(*found.valueStart, *found.valueEnd - *found.valueStart, request.value);
            return;
        }
        if (found.headerLineEnd) {
            Edit(*found.headerLineEnd, 0, Text(kCrLf) + request.key + "=");
            continue;
        }
        if (appends >= kMaxAppends) {
            break;
        }
        from = m_copy.size();
        Edit(m_copy.size(), 0,
             (m_copy.empty() ? Text() : Text(kCrLf)) + "[" + request.section + "]");
        ++appends;
    }
    MessageRequest warning;
    warning.text = U("配置模块出现意外，可能导致无法正常保存！详情请咨询Qirn。");
    warning.title = U("Qirn：");
    warning.icon = MessageIcon::Warning;
    warning.systemModal = true;
    Ui().ShowMessage(warning);
    MessageRequest dump;
    dump.text = m_copy;
    dump.title = U("信息：");
    Ui().ShowMessage(dump);
}

bool SettingsStore::Enqueue(const Text& key, Text value) {
    // A name that would add a line or a header would corrupt other entries.
    if (!IsSafeSectionName(m_section) || !IsSafeKeyName(key)) {
        return false;
    }
    m_pending.push_back(Request{m_section, key, std::move(value)});
    if (m_busy) {
        return false;
    }
    m_busy = true;
    while (!m_pending.empty()) {
        const Request request = std::move(m_pending.front());
        m_pending.pop_front();
        Carry(request);
    }
    m_busy = false;
    return true;
}

Text SettingsStore::ReadText(const Text& key, const Text& defaultText) {
    const Found found = Search(m_section, key, 0);
    if (!found.valueStart || *found.valueStart == *found.valueEnd) {
        return defaultText;
    }
    const std::string_view value =
        std::string_view(m_copy).substr(*found.valueStart, *found.valueEnd - *found.valueStart);
    return ReplaceAll(value, LineBreakEscape(), kCrLf);
}

bool SettingsStore::WriteText(const Text& key, const Text& value) {
    Text escaped = ReplaceAll(value, kCrLf, LineBreakEscape());
    // A value whose escaping does not read back as the value (a stray lead byte takes the
    // first byte of the escape as its second half) is refused; a CR LF left in it would end
    // the line there and turn the rest of the value into lines of its own.
    if (escaped.find(kCrLf) != Text::npos ||
        ReplaceAll(escaped, LineBreakEscape(), kCrLf) != value) {
        return false;
    }
    return Enqueue(key, std::move(escaped));
}

double SettingsStore::ReadNumber(const Text& key, double defaultNumber) {
    const Text text = ReadText(key, Text());
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) {
        ++start;
    }
    if (start < text.size() && text[start] == '+') {
        ++start;
    }
    double number = 0;
    const auto r = std::from_chars(text.data() + start, text.data() + text.size(), number);
    if (r.ec != std::errc() || !std::isfinite(number)) {
        return defaultNumber;
    }
    return number;
}

bool SettingsStore::WriteNumber(const Text& key, double number) {
    return Enqueue(key, FormatNumber(number));
}

bool SettingsStore::ReadBool(const Text& key, bool defaultValue) {
    return ReadText(key, defaultValue ? U("真") : U("假")) == U("真");
}

bool SettingsStore::WriteBool(const Text& key, bool value) {
    return Enqueue(key, value ? U("真") : U("假"));
}

Text SettingsStore::SideFilePath(const Text& key) const {
    return m_sideFolder + "/inibin/" + SafeFileName(m_section) + "-" + SafeFileName(key) + ".ibn";
}

Bytes SettingsStore::ReadBytes(const Text& key, const Bytes& defaultBytes) {
    std::optional<Bytes> bytes = Fs().ReadWholeFile(SideFilePath(key));
    if (!bytes || bytes->empty()) {
        return defaultBytes;
    }
    return std::move(*bytes);
}

bool SettingsStore::WriteBytes(const Text& key, const Bytes& bytes) {
    const Text folder = m_sideFolder + "/inibin";
    if (!Fs().IsFolder(folder) && !Fs().CreateFolder(folder)) {
        return false;
    }
    return Fs().WriteWholeFile(SideFilePath(key), bytes);
}

}  // namespace qs
