// The benchmark: the built command line, run as a user runs it, against the command-line
// tools that do the nearest job, case by case, on data made for the run, with the copy floor
// beside every case. Every figure is a median; ours and the anchors alternate, so that the
// noise of a shared machine falls on all of them.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_child.h"
#include "bench/bench_data.h"
#include "bench/bench_jobs.h"

namespace qs::bench {
namespace {

namespace fs = std::filesystem;

struct Measure {
    double seconds = -1;
    double cpuSeconds = -1;  // user and system time of the process and what it waited for
    double peakMib = 0;
    double longestGap = -1;
    bool ok = false;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

// Runs argv in a child with its working folder set, standard error going to errors and
// standard output to output (or nowhere); returns its time and its peak RSS.
Measure RunChild(const std::vector<std::string>& argv, const std::string& folder,
                 const std::string& errors, std::string* output) {
    Measure m;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return m;
    }
    const double start = SteadySeconds();
    const pid_t pid = ::fork();
    if (pid < 0) {
        return m;
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        const int sink = output != nullptr ? pipeFds[1] : ::open("/dev/null", O_WRONLY);
        const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (sink < 0 || err < 0 || ::chdir(folder.c_str()) != 0) {
            ::_exit(126);
        }
        ::dup2(sink, 1);
        ::dup2(err, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    m.seconds = SteadySeconds() - start;
    // The largest resident set the child had, this program's own at the fork included:
    // that one is small (see OwnPeakMib).
    m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakMib = static_cast<double>(usage.ru_maxrss) / 1024.0;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (output != nullptr) {
        *output = out;
    }
    return m;
}

double OwnPeakMib() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::string FileText(const std::string& path) {
    std::string text;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
            text.append(buffer, n);
        }
        std::fclose(in);
    }
    return text;
}

double Median(std::vector<double> v) {
    if (v.empty()) {
        return -1;
    }
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Peak RSS goals: none, below 64 MiB (byte copies), below 128 MiB (decoding and cutting
// in slices, whatever the size of the source).
enum class Memory { None, Flat, Streamed };

double PeakLimitMib(Memory memory) {
    return memory == Memory::Flat ? 64 : (memory == Memory::Streamed ? 128 : INFINITY);
}

// The bytes of a file, or of the files of a folder.
std::int64_t BytesOf(const std::string& path) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
        return static_cast<std::int64_t>(fs::file_size(path, error));
    }
    std::int64_t total = 0;
    for (const auto& entry : fs::directory_iterator(path, error)) {
        total += static_cast<std::int64_t>(entry.file_size(error));
    }
    return total;
}

// Ratio: our command line against the anchor. Scale: our command line on the source against
// as many runs on a smaller one as make up its size. Responsiveness: the window's job with
// the Qt pump against the same job with a pump that does nothing.
enum class Kind { Ratio, Scale, Responsiveness };

struct Case {
    std::string name;
    std::vector<std::string> ours;  // the command's arguments before the source
    std::string source;             // a file, or a folder whose files are all merged
    std::string anchor;             // shell command, run in a fresh folder
    std::string label;              // the name of a second anchor, printed beside the first
    std::string second;             // its shell command
    double goal = 1;                // ratio ours / anchor at most this
    // When above 0, a ratio against the second anchor at most this is within goal as well:
    // the second anchor is then the least any tool pays for what the case makes.
    double secondGoal = 0;
    Memory memory = Memory::None;
    Kind kind = Kind::Ratio;
    std::string smallSource;  // Kind::Scale: the same text at another size
    int reps = 0;             // 0: the run's repetitions
    // The fastest run of each side instead of the medians: for a difference smaller than
    // the machine's noise, which only ever adds time.
    bool fastest = false;
};

// The copy floor: the source copied whole, the least any tool that reads and writes it does.
std::string CopyCommand(const std::string& source) {
    return "cp -r " + Quote(source) + " copy";
}

class Harness {
public:
    Harness(std::string self, std::string program, std::string root, int reps)
        : m_self(std::move(self)),
          m_program(std::move(program)),
          m_root(std::move(root)),
          m_reps(reps) {}

    // Our command line on source, in a fresh folder that receives hard links of the inputs.
    Measure Ours(const std::vector<std::string>& args, const std::string& source) {
        const std::string folder = FreshFolder();
        std::vector<std::string> argv = {m_program};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back(Linked(source, folder));
        Measure m = RunIn(folder, argv, nullptr);
        if (!m.ok) {
            std::fprintf(stderr, "bench: our run failed:");
            for (const std::string& a : argv) {
                std::fprintf(stderr, " %s", a.c_str());
            }
            std::fprintf(stderr, "\n%s", FileText(Errors()).c_str());
        }
        return m;
    }

    // The window's job in a child of this program (the Qt pump or a pump that does nothing).
    Measure Window(const std::string& job, const std::string& source) {
        const std::string folder = FreshFolder();
        std::string out;
        Measure m = RunIn(folder, {m_self, "--child", job, Linked(source, folder), folder}, &out);
        double seconds = -1, gap = -1;
        if (std::sscanf(out.c_str(), "seconds %lf gap %lf", &seconds, &gap) < 1 || !m.ok) {
            std::fprintf(stderr, "bench: the window's job %s failed: %s%s\n", job.c_str(),
                         out.c_str(), FileText(Errors()).c_str());
            m.ok = false;
            return m;
        }
        m.seconds = seconds;
        m.longestGap = gap;
        return m;
    }

    Measure Anchor(const std::string& command) {
        Measure m = RunIn(FreshFolder(), {"/bin/sh", "-c", command}, nullptr);
        if (!m.ok) {
            std::fprintf(stderr, "bench: the anchor failed: %s\n%s", command.c_str(),
                         FileText(Errors()).c_str());
        }
        return m;
    }

    // Prints the case line; returns whether the case is within its goal.
    bool Run(const Case& c, bool& broken) {
        m_immediate = c.name == "bytes-huge" || c.name.ends_with("-3g");
        const bool within = MeasureCase(c, broken);
        Clean();
        return within;
    }

private:
    // The source in the run folder, as a hard link (a folder of members goes one level
    // down: a merge writes its file beside their folder, which must be this run's).
    static std::string Linked(const std::string& source, const std::string& folder) {
        std::error_code error;
        const std::string input = folder + "/" + fs::path(source).filename().string();
        if (fs::is_directory(source)) {
            fs::create_directory(input, error);
            for (const auto& entry : fs::directory_iterator(source)) {
                fs::create_hard_link(entry.path(), input + "/" + entry.path().filename().string(),
                                     error);
            }
        } else {
            fs::create_hard_link(source, input, error);
        }
        return input;
    }

    bool MeasureCase(const Case& c, bool& broken) {
        const std::string copy = CopyCommand(c.source);
        // Where the anchor is the copy itself, it runs once for both columns.
        const bool anchorIsCopy = c.kind == Kind::Ratio && c.anchor == copy;
        std::vector<double> ours, anchor, copies, seconds, peaks, gaps, oursCpu, anchorCpu;
        for (int r = 0; r < (c.reps > 0 ? c.reps : m_reps); ++r) {
            Measure a, b, floor, other;
            switch (c.kind) {
                case Kind::Ratio:
                    // Which side goes first alternates, so that neither always runs just
                    // after the other's files were made or removed.
                    if (r % 2 == 0) {
                        a = Ours(c.ours, c.source);
                        b = Anchor(c.anchor);
                    } else {
                        b = Anchor(c.anchor);
                        a = Ours(c.ours, c.source);
                    }
                    break;
                case Kind::Scale:
                    a = Ours(c.ours, c.source);
                    b = OursRepeated(c.ours, c.smallSource, Repeats(c));
                    // Each side without the start of its processes, which the repeated side
                    // would pay many times over.
                    a.seconds -= Startup();
                    b.seconds -= Repeats(c) * Startup();
                    break;
                case Kind::Responsiveness:
                    a = Window(c.ours[0] + "-qt", c.source);
                    b = Window(c.ours[0], c.source);
                    break;
            }
            floor = anchorIsCopy ? b : Anchor(copy);
            if (!c.second.empty()) {
                other = Anchor(c.second);
            }
            if (!a.ok || !b.ok || !floor.ok || (!c.second.empty() && !other.ok)) {
                broken = true;
                std::printf("case %s failed\n", c.name.c_str());
                std::fflush(stdout);
                return false;
            }
            ours.push_back(a.seconds);
            anchor.push_back(b.seconds);
            oursCpu.push_back(a.cpuSeconds);
            anchorCpu.push_back(b.cpuSeconds);
            copies.push_back(floor.seconds);
            seconds.push_back(other.seconds);
            peaks.push_back(a.peakMib);
            gaps.push_back(a.longestGap);
        }
        const double peak = *std::max_element(peaks.begin(), peaks.end());
        auto summary = [&c](const std::vector<double>& v) {
            return c.fastest ? *std::min_element(v.begin(), v.end()) : Median(v);
        };
        double oursS = summary(ours);
        double anchorS = summary(anchor);
        const double copyS = summary(copies);
        if (c.kind == Kind::Scale) {
            // The other run scaled to the size of this one: equal time per MB gives 1.
            anchorS *= static_cast<double>(BytesOf(c.source)) /
                       (Repeats(c) * static_cast<double>(BytesOf(c.smallSource)));
        }
        if (c.name == "responsiveness") {
            oursS = Median(gaps);
            anchorS = 0.050;
        }
        const double ratio = anchorS > 0 ? oursS / anchorS : INFINITY;
        // On a loaded machine a process also waits for a processor: the processor time of
        // both sides tells what the time alone cannot.
        double cpuRatio = summary(oursCpu) / std::max(summary(anchorCpu), 0.001);
        if (c.kind == Kind::Scale) {
            cpuRatio *= Repeats(c) * static_cast<double>(BytesOf(c.smallSource)) /
                        static_cast<double>(BytesOf(c.source));
        }
        const double secondRatio = c.second.empty() ? INFINITY : oursS / summary(seconds);
        const bool withinFloor = c.secondGoal > 0 && secondRatio <= c.secondGoal;
        std::string verdict;
        if (c.goal > 0 && !(ratio <= c.goal) && !withinFloor) {
            verdict += " time (ratio " + Fixed(ratio) + " > " + Fixed(c.goal) + ")";
        }
        if (!(peak < PeakLimitMib(c.memory))) {
            verdict += " memory (peak " + Fixed(peak) + " MiB >= " + Fixed(PeakLimitMib(c.memory)) +
                       " MiB)";
        }
        std::string second;
        if (!c.second.empty()) {
            const double otherS = summary(seconds);
            char text[128];
            std::snprintf(text, sizeof text, " %s_s %.3f %s_ratio %.2f", c.label.c_str(), otherS,
                          c.label.c_str(), secondRatio);
            second = text;
        }
        std::printf(
            "case %s ours_s %.3f anchor_s %.3f ratio %.2f cpu_ratio %.2f cp_s %.3f cp_ratio %.2f%s "
            "peak_mib %.1f %s\n",
            c.name.c_str(), oursS, anchorS, ratio, cpuRatio, copyS,
            c.name == "responsiveness" ? Median(ours) / copyS : oursS / copyS, second.c_str(), peak,
            verdict.empty()
                ? (c.goal > 0 && !(ratio <= c.goal) ? "within goal (as many files)" : "within goal")
                : ("missed:" + verdict).c_str());
        std::fflush(stdout);
        return verdict.empty();
    }

    // What starting the program and ending it costs: the median of a few runs that do
    // nothing else.
    double Startup() {
        if (m_startup < 0) {
            std::vector<double> runs;
            for (int k = 0; k < 5; ++k) {
                runs.push_back(RunIn(FreshFolder(), {m_program, "--version"}, nullptr).seconds);
            }
            m_startup = Median(runs);
        }
        return m_startup;
    }

    // As many runs of the small source as make up the large one.
    static int Repeats(const Case& c) {
        const double times = static_cast<double>(BytesOf(c.source)) /
                             static_cast<double>(std::max<std::int64_t>(1, BytesOf(c.smallSource)));
        return std::max(1, static_cast<int>(std::lround(times)));
    }

    // The small source run again and again, every output kept until the last: then both
    // sides write as much into memory that the machine has not handed out for a while. A
    // virtual machine backs such memory anew on first touch, at a cost of several times the
    // copy that is the machine's, not the program's.
    Measure OursRepeated(const std::vector<std::string>& args, const std::string& source,
                         int times) {
        const bool immediate = m_immediate;
        m_immediate = false;
        Measure total;
        total.seconds = 0;
        total.cpuSeconds = 0;
        total.ok = true;
        for (int k = 0; k < times && total.ok; ++k) {
            const Measure m = Ours(args, source);
            total.ok = m.ok;
            total.seconds += m.seconds;
            total.cpuSeconds += m.cpuSeconds;
            total.peakMib = std::max(total.peakMib, m.peakMib);
        }
        m_immediate = immediate;
        if (immediate) {
            Clean();
        }
        return total;
    }

    static std::string Fixed(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", v);
        return text;
    }

    // Removes the run folders of a case. Removing tens of thousands of pieces right before
    // the next run makes the file system slow to create files for a while; doing it
    // between cases spares the runs of a case from each other's removals.
    void Clean() {
        std::error_code error;
        for (const std::string& folder : m_finished) {
            fs::remove_all(folder, error);
        }
        m_finished.clear();
    }

    std::string Errors() const { return m_root + "/stderr.txt"; }

    Measure RunIn(const std::string& folder, const std::vector<std::string>& argv,
                  std::string* output) {
        Measure m = RunChild(argv, folder, Errors(), output);
        Done(folder);
        return m;
    }

    void Done(const std::string& folder) {
        m_finished.push_back(folder);
        // Large outputs with few pieces go at once, not to fill the disk.
        if (m_immediate) {
            Clean();
        }
    }

    std::string FreshFolder() {
        // Every run starts without the write-back of the one before it.
        ::sync();
        const std::string folder = m_root + "/run-" + std::to_string(++m_runs);
        fs::create_directories(folder);
        return folder;
    }

    std::string m_self;
    std::string m_program;
    std::string m_root;
    int m_reps;
    int m_runs = 0;
    std::vector<std::string> m_finished;
    bool m_immediate = false;
    double m_startup = -1;
};

Case MakeCase(std::string name, std::vector<std::string> ours, std::string source,
              std::string anchor, double goal, Memory memory) {
    Case c;
    c.name = std::move(name);
    c.ours = std::move(ours);
    c.source = std::move(source);
    c.anchor = std::move(anchor);
    c.goal = goal;
    c.memory = memory;
    return c;
}

Case WithSecond(Case c, std::string label, std::string command) {
    c.label = std::move(label);
    c.second = std::move(command);
    return c;
}

Case OnTheSame(std::string name, std::vector<std::string> ours, std::string source, Kind kind,
               double goal, Memory memory, std::string smallSource = {}) {
    Case c = MakeCase(std::move(name), std::move(ours), std::move(source), "", goal, memory);
    c.kind = kind;
    c.smallSource = std::move(smallSource);
    return c;
}

// Within goal also at 1.1 times its second anchor, which makes as many files.
Case AsManyFiles(Case c) {
    c.secondGoal = 1.1;
    return c;
}

// What a user would otherwise do with the converter and split: decode into the internal
// code page, cut, encode every piece back (the pieces of a text mode are cut on characters).
std::string TwiceConverted(const std::string& from, const std::string& source,
                           const std::string& splitArgs) {
    return "iconv -f " + from + " -t GB18030 " + Quote(source) + " | split " + splitArgs +
           " --filter='iconv -f GB18030 -t " + from + " > $FILE' - x";
}

std::vector<Case> MakeCases(const BenchData& d, const std::string& program) {
    const std::string utf8 = Quote(d.utf8);
    const std::string members = Quote(d.mergeFolder) + "/m*.txt";
    const std::string separator = SeparatorUtf8();
    const std::vector<std::string> lines = {"split", "--lines", "10000"};
    std::vector<Case> cases = {
        MakeCase("parts-100", {"split", "--parts", "100"}, d.utf8,
                 "split -n 100 -a 3 " + utf8 + " x", 1.1, Memory::Flat),
        MakeCase("bytes-1m", {"split", "--size", "1M"}, d.utf8, "split -b 1M -a 4 " + utf8 + " x",
                 1.1, Memory::Flat),
        MakeCase("bytes-3194", {"split", "--size", "3194B"}, d.utf8,
                 "split -b 3194 -a 5 " + utf8 + " x", 1.1, Memory::Flat),
        // With deletion every piece and its folder are flushed before the source goes; the
        // anchor flushes its pieces too.
        MakeCase("bytes-3194-delete", {"split", "--size", "3194B", "--delete-sources"}, d.utf8,
                 "split -b 3194 -a 5 " + utf8 + " x && sync -f .", 1.1, Memory::Flat),
        MakeCase("bytes-huge", {"split", "--size", "1M"}, d.huge,
                 "split -b 1M -a 5 " + Quote(d.huge) + " x", 1.1, Memory::Flat),
        MakeCase("lines-gbk-7", {"split", "--lines", "7"}, d.gbk,
                 "split -l 7 -a 6 " + Quote(d.gbk) + " x", 1.5, Memory::Streamed),
        WithSecond(MakeCase("lines-utf8-10000", lines, d.utf8, "split -l 10000 -a 4 " + utf8 + " x",
                            1.5, Memory::Streamed),
                   "iconv", TwiceConverted("UTF-8", d.utf8, "-l 10000 -a 4")),
        // split -l cuts UTF-16 inside its line breaks: the converter is the tool here.
        MakeCase("lines-utf16-10000", lines, d.utf16,
                 TwiceConverted("UTF-16LE", d.utf16, "-l 10000 -a 4"), 1.5, Memory::Streamed),
        // Lines that keep their breaks are what split -l makes.
        MakeCase("lines-kept-utf8-10000", {"split", "--lines", "10000", "--keep-line-breaks"},
                 d.utf8, "split -l 10000 -a 4 " + utf8 + " x", 1.5, Memory::Streamed),
        MakeCase("lines-kept-gbk-7", {"split", "--lines", "7", "--keep-line-breaks"}, d.gbk,
                 "split -l 7 -a 6 " + Quote(d.gbk) + " x", 1.5, Memory::Streamed),
        // No tool cuts on characters: the copy is the anchor.
        WithSecond(MakeCase("chars-utf8", {"split", "--chars", "100000"}, d.utf8Mark,
                            CopyCommand(d.utf8Mark), 4, Memory::Streamed),
                   "iconv",
                   "iconv -f UTF-8 -t GB18030 " + Quote(d.utf8Mark) + " > whole && split -n l/" +
                       std::to_string((d.utf8Chars + 99999) / 100000) +
                       " -a 5 --filter='iconv -f GB18030 -t UTF-8 > $FILE' whole x"),
        // Some 90,000 pieces: making that many files costs any tool far more than the copy,
        // so the same number of pieces cut by bytes is the floor it is held to as well.
        AsManyFiles(WithSecond(
            MakeCase("chars-utf8-700-900", {"split", "--chars", "700-900", "--seed", "1"}, d.utf8,
                     CopyCommand(d.utf8), 4, Memory::Streamed),
            "files",
            "split -b " + std::to_string(BytesOf(d.utf8) / (d.utf8Chars / 800)) + " -a 6 " + utf8 +
                " x")),
        MakeCase(
            "separator-gbk", {"split", "--separator", separator}, d.gbk,
            "LC_ALL=C csplit -z -s -n 6 -f x " + Quote(d.gbk) + " '/" + SeparatorGbk() + "/' '{*}'",
            1.0, Memory::Streamed),
        MakeCase("separator-utf8", {"split", "--separator", separator}, d.utf8,
                 "LC_ALL=C csplit -z -s -n 6 -f x " + utf8 + " '/" + separator + "/' '{*}'", 1.0,
                 Memory::Streamed),
        // A novel of a heading every ~100 KB: the headings found as csplit finds them, and
        // the same chapters as an EPUB book against them as text pieces.
        MakeCase("chapters-utf8", {"split", "--chapters"}, d.novel,
                 "LC_ALL=C csplit -z -s -n 6 -f x " + Quote(d.novel) + " '/^" + HeadingStart() +
                     ".*" + HeadingEnd() + "/' '{*}'",
                 1.0, Memory::Streamed),
        MakeCase("chapters-epub", {"split", "--chapters", "--epub"}, d.novel,
                 Quote(program) + " split --chapters --output-dir . " + Quote(d.novel), 1.5,
                 Memory::Streamed),
        MakeCase("merge-100", {"merge"}, d.mergeFolder, "cat " + members + " > all.txt", 1.1,
                 Memory::Flat),
        WithSecond(MakeCase("merge-100-encoding", {"merge", "--encode"}, d.mergeFolder,
                            "cat " + members + " > all.txt", 3, Memory::Streamed),
                   "iconv",
                   "cat " + members +
                       " | iconv -f UTF-8 -t GB18030 | iconv -f GB18030 -t UTF-8 > all.txt"),
        // GBK members written as one UTF-8 text: the converter over their concatenation is
        // what a user would otherwise run.
        MakeCase("merge-100-gbk-to-utf8", {"merge", "--to", "utf-8"}, d.gbkMergeFolder,
                 "cat " + Quote(d.gbkMergeFolder) + "/m*.txt | iconv -f GBK -t UTF-8 > all.txt",
                 1.5, Memory::Streamed),
        OnTheSame("scale-lines-utf8", lines, d.utf8, Kind::Scale, 1.3, Memory::Streamed,
                  d.utf8Small),
        // Each mode on an unusual shape, against the same mode on the ordinary text.
        OnTheSame("shape-one-line-lines-named", {"split", "--lines", "1", "--name-from-text"},
                  d.oneLine, Kind::Scale, 2, Memory::Streamed, d.utf8),
        OnTheSame("shape-one-line-lines", lines, d.oneLine, Kind::Scale, 2, Memory::Streamed,
                  d.utf8),
        OnTheSame("shape-one-line-chars", {"split", "--chars", "100000"}, d.oneLine, Kind::Scale, 2,
                  Memory::Streamed, d.utf8),
        OnTheSame("shape-one-line-bytes", {"split", "--size", "1M"}, d.oneLine, Kind::Scale, 2,
                  Memory::Flat, d.utf8),
        OnTheSame("shape-tiny-lines-lines", lines, d.tinyLines, Kind::Scale, 2, Memory::Streamed,
                  d.utf8),
        OnTheSame("shape-tiny-lines-chars", {"split", "--chars", "100000"}, d.tinyLines,
                  Kind::Scale, 2, Memory::Streamed, d.utf8),
        OnTheSame("shape-no-separator", {"split", "--separator", separator}, d.tinyLines,
                  Kind::Scale, 2, Memory::Streamed, d.utf8),
        OnTheSame("shape-only-breaks-lines", lines, d.onlyBreaks, Kind::Scale, 2, Memory::Streamed,
                  d.utf8),
        // The chapter mode on a text without a heading, one heading on every line, one line.
        OnTheSame("shape-no-heading-chapters", {"split", "--chapters"}, d.utf8, Kind::Scale, 2,
                  Memory::Streamed, d.novel),
        OnTheSame("shape-heading-lines-chapters",
                  {"split", "--chapters", "--chapters-per-piece", "10000"}, d.headingLines,
                  Kind::Scale, 2, Memory::Streamed, d.novel),
        OnTheSame("shape-one-line-chapters", {"split", "--chapters"}, d.oneLine, Kind::Scale, 2,
                  Memory::Streamed, d.novel),
        OnTheSame("shape-one-line-epub", {"split", "--chapters", "--epub"}, d.oneLine, Kind::Scale,
                  2, Memory::Streamed, d.novel),
        // Both read their figures from the same runs of the window's job: the Qt pump and
        // the no-op pump alternate.
        OnTheSame("responsiveness", {"lines-10000"}, d.utf8, Kind::Responsiveness, 1.0,
                  Memory::None),
    };
    // Identical runs of this job differ by up to 15 % here, three times what this case
    // allows: it takes the fastest of more runs.
    Case pump = OnTheSame("pump-overhead", {"lines-10000"}, d.utf8, Kind::Responsiveness, 1.05,
                          Memory::None);
    pump.fastest = true;
    pump.reps = 9;
    cases.push_back(std::move(pump));
    return cases;
}

// The large cases: a source of 15 times the size of the 200 MB run, with the same case on
// the 200 MB data as the anchor (scaled up), and memory that must stay flat.
constexpr int kLargeMb = 3000;

struct LargeGroup {
    LargeSet set;
    std::vector<Case> cases;
};

std::vector<LargeGroup> LargeGroups(const BenchData& d, const BenchData& large) {
    auto scale = [](std::string name, std::vector<std::string> ours, std::string source,
                    std::string small) {
        Case c = OnTheSame(std::move(name), std::move(ours), std::move(source), Kind::Scale, 1.2,
                           Memory::Streamed, std::move(small));
        // A single run of either side swings by a tenth or more here.
        c.reps = 3;
        return c;
    };
    const std::vector<std::string> lines = {"split", "--lines", "10000"};
    const std::vector<std::string> chars = {"split", "--chars", "100000"};
    const std::vector<std::string> separator = {"split", "--separator", SeparatorUtf8()};
    return {
        {LargeSet::Utf8,
         {scale("lines-utf8-3g", lines, large.utf8, d.utf8),
          scale("chars-utf8-3g", chars, large.utf8, d.utf8),
          scale("separator-utf8-3g", separator, large.utf8, d.utf8)}},
        {LargeSet::Gbk,
         {scale("lines-gbk-3g", lines, large.gbk, d.gbk),
          scale("chars-gbk-3g", chars, large.gbk, d.gbk),
          scale("separator-gbk-3g", separator, large.gbk, d.gbk)}},
        {LargeSet::Members,
         {scale("merge-encoding-3g", {"merge", "--encode"}, large.mergeFolder, d.mergeFolder)}},
    };
}

double FreeGib(const std::string& folder) {
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) {
        return 0;
    }
    double gib = static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize) / (1 << 30);
    // Files on tmpfs live in memory.
    std::FILE* info = std::fopen("/proc/meminfo", "r");
    char line[256];
    while (info != nullptr && std::fgets(line, sizeof line, info) != nullptr) {
        long long kib = 0;
        if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) {
            gib = std::min(gib, static_cast<double>(kib) / (1 << 20));
        }
    }
    if (info != nullptr) {
        std::fclose(info);
    }
    return gib;
}

// A virtual machine that gives freed memory back to its host has it backed anew on the next
// touch, at several times the cost of writing it, so that a run pays for what the runs before
// it freed, the more the larger it is. While the benchmark measures, freed memory stays (no
// block is ever large enough to be reported); the setting is put back at the end.
class FreedMemoryKept {
public:
    FreedMemoryKept() {
        std::FILE* in = std::fopen(kReportingOrder, "r");
        if (in == nullptr) {
            return;
        }
        const bool read = std::fscanf(in, "%d", &m_order) == 1;
        std::fclose(in);
        m_kept = read && Write(kNeverReported);
    }
    ~FreedMemoryKept() {
        if (m_kept) {
            Write(m_order);
        }
    }
    bool Kept() const { return m_kept; }
    int Order() const { return m_order; }

    // Touches this much memory once (a file on tmpfs, written and removed), so that the runs
    // find it backed.
    static void Touch(const std::string& folder, double gib) {
        const std::string path = folder + "/touch";
        std::FILE* out = std::fopen(path.c_str(), "wb");
        static char block[1 << 20];
        for (double written = 0; out != nullptr && written < gib * 1024; ++written) {
            if (std::fwrite(block, sizeof block, 1, out) != 1) {
                break;
            }
        }
        if (out != nullptr) {
            std::fclose(out);
        }
        std::remove(path.c_str());
    }

private:
    static constexpr const char* kReportingOrder =
        "/sys/module/page_reporting/parameters/page_reporting_order";
    static constexpr int kNeverReported = 11;  // above the largest block the kernel makes

    static bool Write(int order) {
        std::FILE* out = std::fopen(kReportingOrder, "w");
        if (out == nullptr) {
            return false;
        }
        const bool written = std::fprintf(out, "%d\n", order) > 0;
        return std::fclose(out) == 0 && written;
    }

    int m_order = 0;
    bool m_kept = false;
};

bool OnTmpfs(const std::string& folder) {
    struct statfs st {};
    return ::statfs(folder.c_str(), &st) == 0 && st.f_type == 0x01021994;  // TMPFS_MAGIC
}

// The first three figures of /proc/loadavg: a shared machine's figures swing with them.
std::string LoadAverage() {
    std::string text = FileText("/proc/loadavg");
    std::size_t end = 0;
    for (int k = 0; k < 3 && end != std::string::npos; ++k) {
        end = text.find(' ', end + (k > 0));
    }
    return text.substr(0, end);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: qs_bench [--size MB] [--reps N] [--only CASE[,CASE...]] [--keep] "
                 "[--dir FOLDER] [--program QIRNSPLIT]\n");
    return 2;
}

int Main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--child") == 0) {
        ChildResult result;
        if (!RunOurs(argv[2], argv[3], argv[4], result)) {
            return 1;
        }
        std::printf("seconds %.6f gap %.6f\n", result.seconds, result.longestGap);
        return 0;
    }
    int sizeMb = 200;
    int reps = 5;
    std::string only;
    bool keep = false;
    std::string dir;
    std::string program = QS_BENCH_PROGRAM;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            sizeMb = std::atoi(argv[++i]);
        } else if (arg == "--reps" && i + 1 < argc) {
            reps = std::atoi(argv[++i]);
        } else if (arg == "--keep") {
            keep = true;
        } else if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (arg == "--program" && i + 1 < argc) {
            program = argv[++i];
        } else if (arg == "--only" && i + 1 < argc) {
            only = "," + std::string(argv[++i]) + ",";
        } else {
            return Usage();
        }
    }
    if (sizeMb < 1 || reps < 1) {
        return Usage();
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::error_code error;
    const std::string self = fs::read_symlink("/proc/self/exe", error).string();
    if (dir.empty()) {
        // Measured on tmpfs, what is left is the program's own cost: a disk adds the
        // kernel's varying cost of creating and writing files.
        const fs::path tmp = fs::temp_directory_path(error);
        dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                              : (tmp.empty() ? fs::path("/tmp") : tmp).string();
    }
    std::string root = dir + "/qs-bench-XXXXXX";
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("bench: mkdtemp");
        return 1;
    }
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        // Qt wants one, private to the user.
        const std::string runtime = root + "/runtime";
        fs::create_directory(runtime, error);
        fs::permissions(runtime, fs::perms::owner_all, error);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    const FreedMemoryKept memory;
    if (memory.Kept()) {
        // The large cases need their sources and outputs, the others a few times the data.
        const double touchGib =
            std::min(0.8 * FreeGib(root), sizeMb == 200 ? 2.5 * kLargeMb / 1024.0 : sizeMb / 100.0);
        std::printf(
            "bench: freed memory stays with this virtual machine while it measures "
            "(page_reporting_order %d -> 11, put back at the end); %.1f GiB touched once\n",
            memory.Order(), touchGib);
        FreedMemoryKept::Touch(root, touchGib);
    }
    std::fprintf(stderr, "bench: making %d MB of data in %s\n", sizeMb, root.c_str());
    BenchData data;
    fs::create_directories(root + "/data", error);
    if (!MakeBenchData(root + "/data", sizeMb, data)) {
        fs::remove_all(root, error);
        return 1;
    }
    // The data must be on disk before the first case: its write-back would slow that case.
    ::sync();
    std::printf("bench: running %s in %s (%s); load average %s\n", program.c_str(), root.c_str(),
                OnTmpfs(root) ? "tmpfs" : "not tmpfs", LoadAverage().c_str());
    std::fflush(stdout);
    int total = 0, within = 0;
    bool broken = false;
    Harness harness(self, program, root, reps);
    for (const Case& c : MakeCases(data, program)) {
        if (!only.empty() && only.find("," + c.name + ",") == std::string::npos) {
            continue;
        }
        ++total;
        if (harness.Run(c, broken)) {
            ++within;
        }
    }
    // The large cases: one source at a time, made on the spot and removed after its cases.
    BenchData large;
    for (const LargeGroup& group : LargeGroups(data, large)) {
        for (const Case& named : group.cases) {
            if (!only.empty() && only.find("," + named.name + ",") == std::string::npos) {
                continue;
            }
            ++total;
            const double needGib = 2.5 * kLargeMb / 1024.0;
            const double freeGib = FreeGib(root);
            if (sizeMb != 200) {
                std::printf("case %s skipped: it runs only beside the 200 MB run (--size 200)\n",
                            named.name.c_str());
                continue;
            }
            if (freeGib < needGib) {
                std::printf(
                    "case %s skipped: needs %.1f GiB of free space and memory, %.1f GiB "
                    "free\n",
                    named.name.c_str(), needGib, freeGib);
                continue;
            }
            const std::string folder = root + "/large";
            if (!fs::exists(folder)) {
                fs::create_directories(folder, error);
                std::fprintf(stderr, "bench: making %d MB of data in %s\n", kLargeMb,
                             folder.c_str());
                large = BenchData();
                if (!MakeLargeData(folder, kLargeMb, group.set, large)) {
                    std::printf("case %s skipped: its data could not be made\n",
                                named.name.c_str());
                    fs::remove_all(folder, error);
                    continue;
                }
                ::sync();
            }
            // The paths come from the data just made.
            Case c = named;
            for (const LargeGroup& made : LargeGroups(data, large)) {
                for (const Case& m : made.cases) {
                    if (m.name == c.name) {
                        c = m;
                    }
                }
            }
            if (memory.Kept()) {
                // Memory the size of the outputs, written and freed right before: whichever
                // side runs first would otherwise find less of it backed than the other.
                FreedMemoryKept::Touch(root,
                                       1.1 * static_cast<double>(BytesOf(c.source)) / (1 << 30));
            }
            if (harness.Run(c, broken)) {
                ++within;
            }
        }
        fs::remove_all(root + "/large", error);
    }
    // Every peak includes the resident set of this program at the fork, which is small.
    std::printf("bench: own peak %.1f MiB; load average %s\n", OwnPeakMib(), LoadAverage().c_str());
    std::printf("%d cases, %d within goal\n", total, within);
    if (keep) {
        std::fprintf(stderr, "bench: data kept in %s\n", root.c_str());
    } else {
        fs::remove_all(root, error);
    }
    return broken ? 1 : 0;
}

}  // namespace
}  // namespace qs::bench

int main(int argc, char** argv) {
    return qs::bench::Main(argc, argv);
}
