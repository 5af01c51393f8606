#pragma once

// Random jobs on random folder trees, and the invariants every job must keep.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/faulty_file_system.h"

namespace qs::oracle {

using Id = std::pair<std::uint64_t, std::uint64_t>;

// What lies under the world's root, by native relative path ("/"-separated bytes).
struct Node {
    enum Kind { File, Folder, Pipe, FileLink, FolderLink, Other } kind = File;
    Bytes bytes;  // files and links to files
    Id id{};      // of what the path leads to
};
using Tree = std::map<std::string, Node>;
Tree Snapshot(const std::string& nativeRoot);

// Every file-system call of the program that matters to the checker, in order.
struct Event {
    enum Kind { Read, ReadFailed, Create, Commit, Delete, List } kind;
    Text path;
    std::optional<Id> id;  // taken before the call (Read, Delete, List) or after it (Commit)
    int job = 0;           // 1: the second job, on a thread of its own
    Bytes bytes = {};      // what an output held when it was named (Commit)
};

// The fault-injecting file system that also writes down what the program did.
class Recorder : public FaultyFileSystem {
public:
    explicit Recorder(FileSystem& real) : FaultyFileSystem(real), m_real(real) {}
    std::vector<Event> events;
    void Note(Event::Kind kind, const Text& path, std::optional<Id> id, Bytes bytes = {}) {
        const std::lock_guard lock(m_mutex);
        events.push_back(
            {kind, path, id, std::this_thread::get_id() == m_first ? 0 : 1, std::move(bytes)});
    }
    Bytes ContentOf(const Text& path) { return m_real.ReadWholeFile(path).value_or(Bytes()); }
    // A file system may give the number of a file removed during the job to a file made
    // after it: ids carry how often their number was freed, so that the two stay apart.
    std::optional<Id> IdOf(const Text& path);
    Id Current(Id raw);
    // The number of the file or folder at a path itself (none for a link), and its release
    // once that lost its only name.
    std::optional<Id> NativeRawOf(const std::string& native);
    std::optional<Id> RawOf(const Text& path);
    void Freed(std::optional<Id> raw);

    std::optional<Bytes> ReadWholeFile(const Text& path) override;
    std::unique_ptr<ReadHandle> OpenRead(const Text& path) override;
    std::unique_ptr<AtomicWriter> CreateAtomic(const Text& path) override;
    bool DeleteFile(const Text& path) override;
    bool RemoveEmptyFolder(const Text& path) override;
    std::optional<std::vector<DirEntry>> List(const Text& folder) override;

private:
    FileSystem& m_real;
    std::map<Id, std::set<Text>> m_listedPaths;
    std::map<Id, std::uint64_t> m_freed;
    std::mutex m_mutex;
    std::thread::id m_first = std::this_thread::get_id();
};

// The charset (an iconv name) each file was written in, by native path: kNoText for bytes
// in no encoding the program reads; a file without an entry may be anything.
using Truths = std::map<std::string, std::string>;
inline const std::string kNoText = "-";

enum class SplitMode { Parts, Bytes, Lines, Chars, Separator };

// What a user did to a source while the job ran: appended to it, rewrote it in place (same
// length), or saved it as an editor does (a new file renamed over it).
struct Edit {
    enum How { Append, Rewrite, Replace } how = Append;
    std::string rel;
    Bytes bytes;              // the file as the edit left it
    std::optional<Id> id;     // of the file the edit left
    std::size_t atEvent = 0;  // how many events the job had recorded when it happened
    bool done = false;        // false: the file was gone (or no regular file) by then
};

// One random job: what was asked, and which sources it must handle (native relative paths).
struct Job {
    bool split = true;
    SplitMode mode = SplitMode::Parts;
    Text separator;  // split separator, or the merge's separator bytes
    bool ignoreBlankLines = false;
    bool keepLineBreaks = false;  // the line mode's pieces are the source's own bytes
    bool deleteSources = false;
    bool processEncoding = false;  // merge
    bool stopRequested = false;    // a stop click was scheduled
    bool faulted = false;
    std::set<std::string> sources;
    Text root;                  // the world's root as the program names it
    std::string separatorFile;  // native absolute path, read by the merge, never a member
    std::string description;
    std::optional<Edit> edit;
    bool cli = false;  // run through the command line: its exit status tells of failures
    int exitStatus = 0;
    std::string cliErrors;  // its standard error as it printed it
    Truths truths;          // by native relative path
};

struct Rng {
    std::mt19937 g;
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(g) < p; }
    template <class T>
    const T& Pick(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(Int(0, static_cast<int>(v.size()) - 1))];
    }
};

// Builds a random folder tree under nativeRoot, and notes what its files are.
void MakeWorld(Rng& rng, const std::string& nativeRoot, Truths* truths = nullptr);

// Writes a few of the files over with text in encodings the world's own draws leave out:
// Big5 long enough to be told apart, UTF-16 without a mark, Shift_JIS, EUC-KR, EUC-TW, a
// picture.
void RewriteInOtherEncodings(Rng& rng, Truths& truths);

// A truth that ends so: the text was written in that charset and then damaged.
inline const std::string kDamaged = "!";
// Writes one file over with a damaged text, mostly-ASCII Big5 or full-width Shift_JIS.
void WriteHardTexts(Rng& rng, Truths& truths);

// The internal path of a native relative path under the root ("" when it has none).
Text InternalPath(const Text& internalRoot, const std::string& rel);

// Exact conversion through the C library; nullopt when any byte or character does not convert.
std::optional<std::string> Iconv(std::string_view in, const char* from, const char* to);

// The invariants; returns one line per broken one.
std::vector<std::string> Check(const Job& job, const Tree& before, const Tree& after,
                               const std::vector<Event>& events, const std::string& messages,
                               bool blockedOnPipe);

}  // namespace qs::oracle
