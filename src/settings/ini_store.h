#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/file_system.h"
#include "text/text.h"

namespace qs {

// The settings file: an INI text held whole in memory and kept open (and locked) on disk.
// Every write changes the copy and the same bytes of the file, so the file always equals the
// copy. A store that cannot hold the file (another copy of the program does), or finds it
// changed by someone else, changes only its copy from then on.
// Byte arrays live in side files under <side folder>/inibin/.
class SettingsStore {
public:
    SettingsStore() = default;
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Loads the file and keeps it open (created when missing). The side files go under
    // sideFolder; an empty sideFolder means the folder of path. False when the file cannot
    // be kept open: writes then change only the copy.
    bool OpenFile(const Text& path, const Text& sideFolder = Text());
    void Close();

    void SetSection(const Text& section) { m_section = section; }
    const Text& Section() const { return m_section; }

    Text ReadText(const Text& key, const Text& defaultText);
    bool WriteText(const Text& key, const Text& value);
    double ReadNumber(const Text& key, double defaultNumber);
    bool WriteNumber(const Text& key, double number);
    bool ReadBool(const Text& key, bool defaultValue);
    bool WriteBool(const Text& key, bool value);
    Bytes ReadBytes(const Text& key, const Bytes& defaultBytes);
    bool WriteBytes(const Text& key, const Bytes& bytes);

    const Bytes& Copy() const { return m_copy; }
    Text SideFilePath(const Text& key) const;

    // What keeps the owner's window live during long edits and walks (none by default).
    void SetPump(std::function<void()> pump) { m_pump = std::move(pump); }
    void Pump() const {
        if (m_pump) {
            m_pump();
        }
    }

private:
    struct Request {
        Text section, key, value;
    };
    struct Found {
        std::optional<std::size_t> headerLineEnd;  // where a new key goes
        std::optional<std::size_t> valueStart, valueEnd;
    };

    Found Search(const Text& section, const Text& key, std::size_t from) const;
    bool Enqueue(const Text& key, Text value);
    void Carry(const Request& request);
    // Replaces count bytes at offset in the copy and in the file.
    void Edit(std::size_t offset, std::size_t count, std::string_view bytes);
    // Whether the file still holds what this store last read or wrote.
    bool FileHoldsCopy() const;

    Text m_path;
    Text m_sideFolder;
    Bytes m_copy;
    std::unique_ptr<ReadWriteFile> m_file;
    // Set after a failed file write: the file may differ from the copy from here on.
    std::optional<std::size_t> m_dirtyFrom;
    Text m_section;
    std::function<void()> m_pump;
    std::deque<Request> m_pending;
    bool m_busy = false;
};

// Whether a name can be used as a section or key without changing the file's structure.
bool IsSafeSectionName(std::string_view section);
bool IsSafeKeyName(std::string_view key);

}  // namespace qs
