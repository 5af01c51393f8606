// The command line run as a user runs it: the built program in a child process, on real
// files in a temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>
#include <tuple>

#include "encoding/charset_converter.h"
#include "merge/merge_job.h"
#include "platform/random.h"
#include "split/split_job.h"
#include "support/conversions.h"
#include "support/engine_jobs.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;  // relative path -> content

struct Result {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

// Runs the program in dir; whileRunning (when given) gets the child's pid.
Result RunProgram(const fs::path& dir, std::vector<std::string> args,
                  const std::function<void(pid_t)>& whileRunning = {}) {
    const fs::path out = dir.parent_path() / "stdout", err = dir.parent_path() / "stderr";
    args.insert(args.begin(), QS_PROGRAM);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) {
            _exit(126);
        }
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            unsetenv(display);
        }
        setenv("LANG", "C.UTF-8", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (whileRunning) {
        whileRunning(pid);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

Tree Snapshot(const fs::path& root) {
    Tree tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        tree[fs::relative(e.path(), root).string()] = e.is_directory() ? "<dir>" : Slurp(e.path());
    }
    return tree;
}

// Sources of every encoding the jobs tell apart, in a folder "in" of the root.
void MakeSources(const fs::path& root) {
    std::string utf8 = "\xEF\xBB\xBF";
    std::string gbk, utf16 = "\xFF\xFE";
    for (int i = 0; i < 40; ++i) {
        utf8 += "第" + std::to_string(i) + "行，春眠不觉晓。处处闻啼鸟！\n" + (i % 7 ? "" : "\n");
        // 春眠不觉晓，处处闻啼鸟。
        gbk +=
            "\xB4\xBA\xC3\xDF\xB2\xBB\xBE\xF5\xCF\xFE\xA3\xAC\xB4\xA6\xB4\xA6\xCE\xC5\xCC\xE4\xC4"
            "\xF1"
            "\xA1\xA3 line " +
            std::to_string(i) + "\r\n";
        utf16 += std::string("\x3D\x66\x0A\x00", 4);  // 昽 LF
    }
    Put(root / "in/poem.txt", utf8);
    Put(root / "in/gbk.txt", gbk);
    Put(root / "in/wide.txt", utf16);
}

struct Row {
    const char* name;
    std::vector<std::string> args;
    // The same options as the engine's request; only merge rows touch merge.
    std::function<void(SplitParams&, MergeParams&)> request;
    bool merge = false;
};

TEST(CommandLine, GivesTheEnginesFilesForEveryModeAndOption) {
    const std::vector<Row> rows = {
        {"default parts", {}, [](SplitParams&, MergeParams&) {}},
        {"parts",
         {"-n", "3", "--no-subfolder", "--delete-sources"},
         [](SplitParams& s, MergeParams&) {
             s.mode = SplitIntoPartsParams{3};
             s.subfolder = false;
             s.deleteSources = true;
         }},
        {"size",
         {"--size", "0.5K"},
         [](SplitParams& s, MergeParams&) {
             s.mode = SplitBySizeParams{0.5f, 1};
         }},
        {"lines",
         {"-l", "2-9", "--skip-blank-lines"},
         [](SplitParams& s, MergeParams&) {
             s.mode = SplitByLinesParams{2, 9};
             s.skipBlankLines = true;
         }},
        {"chars named",
         {"--chars", "5-30", "--name-from-text"},
         [](SplitParams& s, MergeParams&) {
             s.mode = SplitByCharsParams{5, 30};
             s.nameFromText = true;
         }},
        {"separator",
         {"--separator", "。"},
         [](SplitParams& s, MergeParams&) { s.mode = SplitAtSeparatorParams{U("。")}; }},
        {"merge plain", {}, [](SplitParams&, MergeParams&) {}, true},
        {"merge encoded",
         {"--encode", "--separator", "\\r\\n--\\r\\n", "--in-folder"},
         [](SplitParams&, MergeParams& m) {
             m.processTextEncoding = true;
             m.separatorText = "\r\n--\r\n";
             m.saveInParentFolder = false;
         },
         true},
        {"merge line break, delete",
         {"--separator-line-break", "--delete-sources"},
         [](SplitParams&, MergeParams& m) {
             m.separatorText = "\r\n";
             m.deleteSources = true;
         },
         true},
    };
    const std::vector<std::string> files = {"in/poem.txt", "in/gbk.txt", "in/wide.txt"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EngineJobs e;
        const fs::path engine = fs::path(e.temp.Path()) / "engine",
                       cli = fs::path(e.temp.Path()) / "cli";
        MakeSources(engine);
        MakeSources(cli);
        e.split.params.seed = 42;
        row.request(e.split.params, e.merge.params);
        TextList paths;
        for (const std::string& f : files) {
            paths.push_back((engine / f).string());
        }
        if (row.merge) {
            e.Merge(paths);
        } else {
            e.Split(paths);
        }
        std::vector<std::string> args = {row.merge ? "merge" : "split"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        if (!row.merge) {
            args.insert(args.end(), {"--seed", "42"});
        }
        args.insert(args.end(), files.begin(), files.end());
        const Result r = RunProgram(cli, args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(e.Messages(), "");
        EXPECT_EQ(Snapshot(cli), Snapshot(engine));
        EXPECT_NE(Snapshot(cli).size(), 4u);  // something was made or removed
    }
}

TEST(CommandLine, UsageErrorsExitTwoAndWriteNothing) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"split", "--parts", "0", "in"}, "qirnsplit: --parts 0: must be a whole number from 1"},
        {{"split", "-n", "99999999999", "in"}, "--parts 99999999999: must be"},
        {{"split", "--lines", "0-3", "in"}, "--lines 0-3: MIN and MAX must be at least 1"},
        {{"split", "-l", "5-3", "in"}, "--lines 5-3: MIN must not exceed MAX"},
        {{"split", "--chars", "7-x", "in"}, "--chars 7-x: must be MIN or MIN-MAX"},
        {{"split", "-b", "0.1B", "in"}, "--size 0.1B: a piece must be from 1 byte"},
        {{"split", "--chapters-per-piece", "3", "in"}, "--chapters-per-piece: applies only with"},
        {{"split", "--skip-blank-lines", "in"}, "--skip-blank-lines: applies only with --lines"},
        {{"split", "-l", "2", "--keep-line-breaks", "--to", "gbk", "in"},
         "--keep-line-breaks: keeps"},
        {{"split", "-b", "4K", "--to", "utf-8", "in"}, "--to: applies only to the text modes"},
        {{"split", "--separator", "", "--delete-sources", "in"}, "--separator: the separator must"},
        {{"bogus", "in"}, "qirnsplit: bogus: not a command (split, merge, verify)"},
        {{"in/poem.txt"}, "opening files needs the window, and there is no display"},
        {{"--bogus"}, "--bogus"},
        {{"split", "--parts", "3", "--lines", "2", "in"}, "--parts"},
        {{"split", "--size", "3XB", "in"}, "--size"},
        {{"split", "--parts", "many", "in"}, "--parts many"},
        {{"split", "--bogus", "in"}, "--bogus"},
        {{"split"}, "PATH"},
        {{"merge", "--separator-file", "none.bin", "in"}, "none.bin"},
        {{"merge", "--separator", "a", "--separator-line-break", "in"}, "--separator"},
        {{"split", "--output-dir", "in/poem.txt", "in"}, "--output-dir"},
        {{"split", "--chapters", "--epub", "--to", "gbk", "in"}, "--epub: a book is always UTF-8"},
        {{"split", "--chapters", "--epub", "--manifest", "in"}, "--epub: --manifest does not"},
        {{"verify"}, "MANIFEST"},
    };
    TempFolder temp;
    const fs::path root = fs::path(temp.Path()) / "root";
    MakeSources(root);
    const Tree before = Snapshot(root);
    for (const auto& [args, message] : rows) {
        SCOPED_TRACE(args.front() + " " + message);
        const Result r = RunProgram(root, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(Snapshot(root), before);
    }
}

nlohmann::json Json(const Result& r) {
    return nlohmann::json::parse(r.out, nullptr, false);
}

TEST(CommandLine, DryRunListsExactlyWhatTheRunWrites) {
    const std::vector<std::vector<std::string>> rows = {
        {"split", "--lines", "3-5", "--delete-sources", "--manifest", "in"},
        {"split", "--chars", "4-9", "--name-from-text", "--output-dir", "out/a", "in/poem.txt"},
        {"merge", "--recursive", "--delete-sources", "--in-folder", "in"},
    };
    for (const auto& args : rows) {
        SCOPED_TRACE(args[1]);
        TempFolder temp;
        const fs::path root = fs::path(temp.Path()) / "root";
        MakeSources(root);
        Put(root / "in/sub/more.txt", "more\n");
        const Tree before = Snapshot(root);
        std::vector<std::string> flags = {"--json"};
        if (args[0] == "split") {
            flags.insert(flags.end(), {"--seed", "5"});
        }
        std::vector<std::string> real = args, dry = args;
        real.insert(real.begin() + 1, flags.begin(), flags.end());
        dry.insert(dry.begin() + 1, flags.begin(), flags.end());
        dry.insert(dry.begin() + 1, "--dry-run");
        const Result planned = RunProgram(root, dry);
        ASSERT_EQ(planned.status, 0) << planned.err;
        EXPECT_EQ(Snapshot(root), before);
        const Result done = RunProgram(root, real);
        ASSERT_EQ(done.status, 0) << done.err;
        nlohmann::json plan = Json(planned), report = Json(done);
        plan.erase("dryRun");
        EXPECT_EQ(plan, report);
        EXPECT_FALSE(report["outputs"].empty());

        Tree expected = before;
        for (const auto& d : report["deleted"]) {
            expected.erase(fs::relative(d.get<std::string>(), root).string());
        }
        const Tree after = Snapshot(root);
        for (const auto& o : report["outputs"]) {
            const std::string rel = fs::relative(o["path"].get<std::string>(), root).string();
            ASSERT_TRUE(after.count(rel)) << rel;
            EXPECT_EQ(after.at(rel).size(), o["bytes"].get<std::size_t>());
            expected[rel] = after.at(rel);
        }
        for (const auto& [path, content] : after) {
            if (content != "<dir>") {
                EXPECT_EQ(expected.count(path), 1u) << "not reported: " << path;
            }
        }
    }
}

// Each output is reported in the encoding it was written in, not as its first bytes read.
TEST(CommandLine, ReportNamesTheEncodingEachOutputWasWrittenIn) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        nlohmann::json encoding;
    } rows[] = {
        {"UTF-8 behind 64 KiB of ASCII", {"split", "--lines", "3"}, "UTF-8"},
        {"asked for Big5", {"split", "--lines", "3", "--to", "big5"}, "BIG5"},
        {"bytes copied, never decoded", {"split", "--parts", "2"}, nullptr},
    };
    for (const auto& row : rows) {
        TempFolder temp;
        const fs::path root = fs::path(temp.Path()) / "root";
        Put(root / "a.txt", std::string(70000, 'a') + "\n繁體中文\n繁體中文\n繁體中文\n");
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"--json", "a.txt"});
        const Result r = RunProgram(root, args);
        ASSERT_EQ(r.status, 0) << row.name << r.err;
        const nlohmann::json report = Json(r);
        ASSERT_FALSE(report["outputs"].empty()) << row.name;
        for (const auto& o : report["outputs"]) {
            EXPECT_EQ(o["encoding"], row.encoding) << row.name;
        }
    }
}

// A piece written in Big5 is reported so and reads back; --from takes one encoding for every
// source, and a source it does not decode, or one that is no text, is listed and left alone.
TEST(CommandLine, SaysWhatItReadsAndWritesAndRefusesWhatItCannotRead) {
    TempFolder temp;
    const fs::path root = fs::path(temp.Path()) / "root";
    MakeSources(root);
    Put(root / "in/p.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\x80\xFF", 18));
    Result r = RunProgram(
        root, {"split", "--lines", "1000", "--zh", "s2t", "--to", "big5", "--json", "in/gbk.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"encoding\":\"BIG5\""), std::string::npos) << r.out;
    r = RunProgram(root,
                   {"merge", "--encode", "--to", "gb18030", "--output-dir", "back", "in/gbk"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(root / "back" / "gbk_1等1个文件.txt"),
              ConvertCharset(Slurp(root / "in/gbk/gbk_1.txt"), "BIG5", "GB18030"));
    for (const auto& [from, file] :
         {std::pair{"gb18030", "in/gbk.txt"}, {"utf-8", "in/gbk.txt"}, {"", "in/p.png"}}) {
        std::vector<std::string> args = {"split", "--lines", "5", "--dry-run", file};
        if (*from != '\0') {
            args.insert(args.begin() + 1, {"--from", from});
        }
        r = RunProgram(root, args);
        const bool refused = std::string(from) != "gb18030";
        EXPECT_EQ(r.status, refused ? 1 : 0) << from << r.err;
        EXPECT_EQ(r.err.find("无法识别编码：") != std::string::npos, refused) << from << r.err;
    }
    // Pieces written in another encoding are read back as what they are, not as --from says
    // the sources are: they give the source back, and it goes.
    std::string big5;
    for (int i = 0; i < 40; ++i) {
        big5 += "\xB3\x6F\xAC\x4F\xA4\x40\xAD\xD3\r\n";  // 這是一個
    }
    Put(root / "in/b5.txt", big5);
    r = RunProgram(root, {"split", "--lines", "10", "--from", "big5", "--to", "utf-8",
                          "--delete-sources", "in/b5.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(root / "in/b5.txt"));
}

TEST(CommandLine, PieceThatCannotBeWrittenIsListedAndExitsOne) {
    TempFolder temp;
    const fs::path root = fs::path(temp.Path()) / "root";
    MakeSources(root);
    fs::create_directories(root / "in/gbk/gbk_2.txt");  // a folder where a piece belongs
    const Result r = RunProgram(root, {"split", "--parts", "3", "--delete-sources", "in/gbk.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("无法写入：" + (root / "in/gbk/gbk_2.txt").string()), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("未删除原文件："), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(root / "in/gbk.txt"));
    EXPECT_TRUE(fs::exists(root / "in/gbk/gbk_3.txt"));

    // Two folders whose outputs meet in one --output-dir: the second must not replace the
    // first, whose sources are gone; it takes the next " (k)" name.
    Put(root / "m/a/x.txt", "first");
    Put(root / "m/a/b/x.txt", "second");
    const Result m = RunProgram(
        root, {"merge", "--recursive", "--delete-sources", "--output-dir", "out", "m/a"});
    EXPECT_EQ(m.status, 0) << m.err;
    EXPECT_EQ(Slurp(root / "out/x等1个文件.txt"), "first");
    EXPECT_EQ(Slurp(root / "out/x等1个文件 (2).txt"), "second");
}

TEST(CommandLine, ManifestRejoinsTheSourceAndCatchesChangedPieces) {
    TempFolder temp;
    const fs::path root = fs::path(temp.Path()) / "root";
    MakeSources(root);
    // Both modes give the source back byte for byte: the line mode restores the line break
    // after the last line, which no piece holds.
    for (const auto& [mode, value, name] :
         {std::tuple{"--size", "7B", "wide"}, std::tuple{"--lines", "3", "gbk"}}) {
        SCOPED_TRACE(mode);
        const std::string source = Slurp(root / "in" / (std::string(name) + ".txt"));
        const std::string& expected = source;
        ASSERT_EQ(RunProgram(root, {"split", mode, value, "--manifest", "--delete-sources",
                                    "in/" + std::string(name) + ".txt"})
                      .status,
                  0);
        EXPECT_FALSE(fs::exists(root / "in" / (std::string(name) + ".txt")));
        const fs::path pieces = root / "in" / name;
        const std::string manifest = (pieces / name).string() + ".txt.manifest.json";
        EXPECT_EQ(RunProgram(root, {"verify", manifest}).status, 0);
        ASSERT_EQ(RunProgram(root, {"merge", "--output-dir", "back", manifest}).status, 0);
        EXPECT_EQ(Slurp(root / "back" / (std::string(name) + ".txt")), expected);
        EXPECT_EQ(RunProgram(root, {"merge", "--output-dir", "back", manifest}).status, 1);

        const fs::path changed = pieces / (std::string(name) + "_2.txt");
        const fs::path missing = pieces / (std::string(name) + "_3.txt");
        Put(changed, "changed");
        fs::remove(missing);
        const Result verify = RunProgram(root, {"verify", manifest});
        EXPECT_EQ(verify.status, 1);
        EXPECT_NE(verify.err.find("已改动：" + changed.string()), std::string::npos);
        EXPECT_NE(verify.err.find("缺少：" + missing.string()), std::string::npos);
        fs::remove_all(root / "back");
        EXPECT_EQ(RunProgram(root, {"merge", "--output-dir", "back", manifest}).status, 1);
        EXPECT_FALSE(fs::exists(root / "back" / (std::string(name) + ".txt")));
    }
}

// A manifest never takes the place of a source (here one named like it), and a source
// name that fills the folder entry gives a manifest name cut to fit.
TEST(CommandLine, ManifestNameReplacesNoSourceAndFits) {
    TempFolder temp;
    const fs::path root = fs::path(temp.Path());
    std::string longName;
    for (int i = 0; i < 82; ++i)
        longName += "中";
    for (const std::string& name :
         {std::string("a.txt"), std::string("a.txt.manifest.json"), longName + ".txt"})
        Put(root / "in" / name, name + "\nline\n");
    ASSERT_EQ(RunProgram(root, {"split", "--lines", "1", "--manifest", "--no-subfolder",
                                "--pattern", "*", "in"})
                  .status,
              0);
    EXPECT_EQ(Slurp(root / "in/a.txt.manifest.json"), "a.txt.manifest.json\nline\n");
    EXPECT_EQ(RunProgram(root, {"verify", "in/a.txt (2).manifest.json"}).status, 0);
    const std::string cut = longName.substr(0, 240) + ".manifest.json";
    EXPECT_EQ(RunProgram(root, {"verify", "in/" + cut}).status, 0);
}

TEST(CommandLine, InterruptedSplitLeavesOnlyWholePieces) {
    TempFolder temp;
    const fs::path root = fs::path(temp.Path()) / "root";
    std::string big(24 << 20, 'x');
    for (std::size_t i = 0; i < big.size(); i += 100)
        big[i] = '\n';
    Put(root / "big.txt", big);
    const Result r =
        RunProgram(root, {"split", "--size", "1K", "--delete-sources", "big.txt"}, [&](pid_t pid) {
            while (!fs::exists(root / "big/big_20.txt")) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            kill(pid, SIGINT);
        });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::exists(root / "big.txt"));
    std::size_t pieces = 0;
    for (const auto& e : fs::directory_iterator(root / "big")) {
        const std::string name = e.path().filename().string();
        const std::string number = name.substr(4, name.size() > 8 ? name.size() - 8 : 0);
        ASSERT_TRUE(name.rfind("big_", 0) == 0 && name.size() > 8 &&
                    name.substr(name.size() - 4) == ".txt" &&
                    number.find_first_not_of("0123456789") == std::string::npos)
            << name;
        EXPECT_EQ(Slurp(e.path()), big.substr((std::stoul(number) - 1) * 1024, 1024));
        ++pieces;
    }
    EXPECT_LT(pieces, big.size() / 1024);
}

// A failure keeps the window's label and adds, where the system gave one, its reason: in
// the line on standard error and as "reason" (with "errno") in the JSON object.
TEST(CommandLine, FailuresSayWhyTheSystemRefused) {
    using Prepare = std::function<void(const fs::path&)>;
    // clang-format off
    const std::tuple<const char*, Prepare, const char*, const char*, const char*, const char*> rows[] = {
        // options and source, what stands in the way, label, path, reason, errno
        {"--parts 2 a.txt", [](const fs::path& r) { fs::create_directories(r / "a/a_2.txt"); },
         "无法写入：", "a/a_2.txt", "Is a directory", "EISDIR"},
        {"--lines 1 a.txt", [](const fs::path& r) { Put(r / "a", ""); },
         "无法写入：", "a/a_1.txt", "Not a directory", "ENOTDIR"},
        {"--lines 1 p.txt", [](const fs::path& r) { mkfifo((r / "p.txt").c_str(), 0644); },
         "无法读取：", "p.txt", "", ""},  // a pipe: no reason the system gave
        {"--lines 1 b.bin", [](const fs::path& r) { Put(r / "b.bin", "\x80\xFF\x80"); },
         "无法识别编码：", "b.bin", "", ""},  // the label says it all
        {"--lines 1 a.txt", [](const fs::path& r) { fs::permissions(r / "a.txt", fs::perms::none); },
         "无法读取：", "a.txt", "Permission denied", "EACCES"},
    };
    // clang-format on
    for (const auto& [options, prepare, label, path, reason, errnoName] : rows) {
        SCOPED_TRACE(std::string(options) + " " + errnoName);
        if (std::string(errnoName) == "EACCES" && geteuid() == 0) {
            continue;  // permissions do not hold the superuser back
        }
        TempFolder temp;
        const fs::path root = fs::path(temp.Path()) / "root";
        Put(root / "a.txt", "one\ntwo\n");
        prepare(root);
        std::vector<std::string> args = {"split", "--json"};
        for (std::istringstream words(options); words >> args.emplace_back();) {
        }
        args.pop_back();
        const Result r = RunProgram(root, args);
        EXPECT_EQ(r.status, 1) << r.err;
        const std::string where = (root / path).string();
        const std::string line = "qirnsplit: " + std::string(label) + where;
        EXPECT_NE(r.err.find(line + (*reason ? ": " + std::string(reason) : "") + "\n"),
                  std::string::npos)
            << r.err;
        const nlohmann::json failure = Json(r)["failures"].at(0);
        EXPECT_EQ(failure["path"], where);
        EXPECT_EQ(failure["reason"], *reason ? nlohmann::json(reason) : nlohmann::json());
        EXPECT_EQ(failure.value("errno", ""), errnoName);
    }
}

// The dry run and the JSON object name the encoding each source was read in, its mark
// included; bytes that nothing decodes name none.
TEST(CommandLine, SaysWhichEncodingEachSourceWasReadIn) {
    std::string poem;  // long enough to tell Big5 from GB18030 and UTF-16 from bytes
    for (int i = 0; i < 30; ++i) {
        poem += "春眠不覺曉，處處聞啼鳥。夜來風雨聲，花落知多少。第" + std::to_string(i) + "首\n";
    }
    const auto in = [&poem](const char* charset) { return ConvertCharset(poem, "UTF-8", charset); };
    // clang-format off
    const std::tuple<std::string, const char*, const char*, nlohmann::json, bool> rows[] = {
        // source, mode, dry-run line after "source: PATH\t", --json encoding, mark
        {in("GB18030"), "--lines", "GB18030", "GB18030", false},
        {in("BIG5"), "--lines", "BIG5", "BIG5", false},
        {"\xB2\xC4\xA4\x40\n", "--lines", "GB18030\tguess, as good: BIG5", "GB18030", false},  // 第一
        {poem, "--chapters", "UTF-8", "UTF-8", false},
        {"\xFF\xFE" + in("UTF-16LE"), "--chars", "UTF-16LE+BOM", "UTF-16LE", true},
        {in("UTF-16BE"), "--lines", "UTF-16BE", "UTF-16BE", false},
        {poem, "--parts", "-", nullptr, false},  // bytes, never decoded
    };
    // clang-format on
    for (const auto& [bytes, mode, line, encoding, mark] : rows) {
        SCOPED_TRACE(line);
        TempFolder temp;
        const fs::path root = fs::path(temp.Path()) / "root";
        Put(root / "s.txt", bytes);
        std::vector<std::string> args = {"split", "--dry-run", mode, "9", "s.txt"};
        if (std::string(mode) == "--chapters") {
            args.erase(args.begin() + 3);
        }
        const Result text = RunProgram(root, args);
        ASSERT_EQ(text.status, 0) << text.err;
        const std::string wanted = "source: " + (root / "s.txt").string() + "\t" + line + "\n";
        EXPECT_EQ(text.out.rfind(wanted, 0), 0u) << text.out;
        args.insert(args.begin() + 1, "--json");
        const nlohmann::json sources = Json(RunProgram(root, args))["sources"];
        ASSERT_EQ(sources.size(), 1u) << sources;
        EXPECT_EQ(sources[0]["encoding"], encoding);
        EXPECT_EQ(sources[0]["mark"], mark);
    }
}

// Texts whose reading takes evidence: a damaged one is cut and joins back, its damage named
// and its conversion refused at that offset; Big5 by its common characters; full-width
// Shift_JIS refused; a wreck of an earlier conversion cut as it is, with a warning.
TEST(CommandLine, HardTextsAreReadByTheirEvidenceAndJoinBack) {
    std::string novel;
    for (int i = 0; i < 40; ++i) {
        novel += "第" + std::to_string(i) + "章　山中的夜晚很安静，只听见风吹过树林的声音。\n";
    }
    const auto in = [](const std::string& u, const char* cs) {
        return ConvertCharset(u, "UTF-8", cs);
    };
    std::string bad = in(novel, "GB18030");
    const std::size_t at = bad.find('\n', bad.size() / 2) + 1;
    bad[at] = '\xFF';  // over 第, whose second byte is then bad too
    const std::string utf16 = "\xFF\xFE" + in(novel, "UTF-16LE") + "x";
    std::string items;
    for (int i = 0; i < 8; ++i) {
        items += "item " + std::to_string(i) + (i < 4 ? ": 中\n" : ": 書\n");
    }
    using J = nlohmann::json;
    // clang-format off
    const std::tuple<const char*, std::string, std::size_t, J, J, const char*> rows[] = {
        // name, source, mark to take off the later pieces, encoding, "damaged", warning
        {"bad byte", bad, 0, "GB18030", {{"offset", at}, {"bytes", 2}}, nullptr},
        {"cut last character", in(novel, "GB18030") + "\xCA", 0, "GB18030",
         {{"offset", in(novel, "GB18030").size()}, {"bytes", 1}}, nullptr},
        {"odd last byte", utf16, 2, "UTF-16LE", {{"offset", utf16.size() - 1}, {"bytes", 1}}, nullptr},
        {"two bad bytes in a short text", in("中文测试", "GB18030") + "\xFF\xFF", 0, nullptr, nullptr, nullptr},
        {"mostly ASCII Big5", in(items, "BIG5"), 0, "BIG5", nullptr, nullptr},
        {"full-width Shift_JIS", in("ＡＢＣ１２３あいうえおカキクケコ日本語の文章です。東京都。", "SHIFT_JIS"),
         0, nullptr, nullptr, nullptr},
        {"runs of 锟斤拷", in("锟斤拷锟斤拷" + novel, "GB18030"), 0, "GB18030", nullptr,
         "replacement-characters-as-gbk"},
        {"UTF-8 read as GBK", "鏂囦欢鍚嶇О鏄\n" + novel, 0, "UTF-8", nullptr, "utf-8-as-gbk"},
    };
    // clang-format on
    for (const auto& [name, bytes, mark, encoding, damaged, warning] : rows) {
        SCOPED_TRACE(name);
        TempFolder temp;
        const fs::path root = fs::path(temp.Path()) / "root";
        Put(root / "s.txt", bytes);
        const Result r = RunProgram(root, {"split", "--chars", "97", "--json", "s.txt"});
        const J report = Json(r);
        ASSERT_EQ(r.status, encoding.is_null() ? 1 : 0) << r.err;
        ASSERT_EQ(report["sources"].size(), encoding.is_null() ? 0u : 1u) << report;
        if (encoding.is_null()) {
            continue;
        }
        const J& source = report["sources"][0];
        EXPECT_EQ(source["encoding"], encoding);
        EXPECT_EQ(source["guessOver"], nullptr);
        EXPECT_EQ(source.value("damaged", J()), damaged);
        EXPECT_EQ(warning ? report["warnings"][0]["what"] : J(), warning ? J(warning) : J());
        std::string joined;
        for (std::size_t i = 0; i < report["outputs"].size(); ++i) {
            const std::string piece = Slurp(root / report["outputs"][i]["path"].get<std::string>());
            joined += i == 0 ? piece : piece.substr(mark);
        }
        EXPECT_EQ(joined, bytes);
        // Lines that keep their breaks join as they are, the mark only in the first piece.
        const J kept = Json(RunProgram(root, {"split", "--lines", "3", "--keep-line-breaks",
                                              "--json", "--output-dir", "kept", "s.txt"}));
        EXPECT_EQ(kept["sources"], report["sources"]);
        joined.clear();
        for (const J& piece : kept["outputs"]) {
            joined += Slurp(root / piece["path"].get<std::string>());
        }
        EXPECT_EQ(joined, bytes);
        // A merge that decodes names the member's damage and wreck as the split does.
        const J merged =
            Json(RunProgram(root, {"merge", "--encode", "--json", "--output-dir", "m", "s.txt"}));
        EXPECT_EQ(merged["sources"][0].value("damaged", J()), damaged) << merged;
        EXPECT_EQ(merged.value("warnings", J()), report.value("warnings", J()));
        if (!damaged.is_null()) {
            const Result converted = RunProgram(
                root, {"split", "--chars", "97", "--to", "utf-8", "--output-dir", "out", "s.txt"});
            EXPECT_EQ(converted.status, 1);
            EXPECT_NE(converted.err.find(damaged["offset"].dump()), std::string::npos)
                << converted.err;
        }
    }
}

// A source read in the locale's encoding where another reads it as well: its pieces in its
// own bytes are sure, a conversion of it is a guess that is listed and never deleted on.
TEST(CommandLine, ASplitConvertsAGuessOnlyWithAWord) {
    const std::tuple<std::vector<std::string>, int, bool> rows[] = {
        {{}, 0, false},
        {{"--to", "utf-8"}, 1, true},
        {{"--zh", "t2s"}, 1, true},
        {{"--name-from-text"}, 1, true},
    };
    for (const auto& [options, status, kept] : rows) {
        TempFolder temp;
        const fs::path root = fs::path(temp.Path()) / "root";
        Put(root / "s.txt", "\xB2\xC4\xA4\x40\n");  // 第一 in Big5, also GB18030
        std::vector<std::string> args = {"split", "--lines", "9", "--delete-sources"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back("s.txt");
        const Result r = RunProgram(root, args);
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_EQ(fs::exists(root / "s.txt"), kept) << r.err;
        EXPECT_EQ(r.err.find("编码未能确定：") != std::string::npos, kept) << r.err;
    }
}

}  // namespace
}  // namespace qs
