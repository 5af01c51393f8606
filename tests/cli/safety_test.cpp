// What a user may do around a job, done to the program run as a user runs it: links and
// ".." in paths, output folders inside the walked tree, private files, sources that give
// nothing, two jobs at once, and manifests of splits that changed the text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

struct Ran {
    int status = -1;
    std::string err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

// Starts the program in dir; Wait gives its exit status and standard error.
pid_t Start(const fs::path& dir, std::vector<std::string> args, const fs::path& err) {
    args.insert(args.begin(), QS_PROGRAM);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) {
            _exit(126);
        }
        dup2(open("/dev/null", O_WRONLY), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        unsetenv("DISPLAY");
        setenv("LANG", "C.UTF-8", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

Ran Wait(pid_t pid, const fs::path& err) {
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(err)};
}

Ran RunIn(const fs::path& dir, const std::vector<std::string>& args) {
    const fs::path err = dir.parent_path() / "stderr";
    return Wait(Start(dir, args, err), err);
}

// Every file under root (relative path -> bytes), links to files by their target's bytes.
std::map<std::string, std::string> Files(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) {
            files[fs::relative(e.path(), root).string()] = Slurp(e.path());
        }
    }
    return files;
}

class CommandLineSafety : public ::testing::Test {
protected:
    TempFolder temp;
    const fs::path root = fs::path(ToUtf8Lossy(temp.Path())) / "root";
    fs::path At(const std::string& relative) const { return root / relative; }
};

TEST_F(CommandLineSafety, PathsAndWalksGoWhereTheFileSystemLeads) {
    // "link/.." is the parent of the link's target, as for every other program.
    Put(At("a.txt"), "mine\n");
    Put(At("other/a.txt"), "theirs\n");
    fs::create_directories(At("other/inner"));
    fs::create_directory_symlink("other/inner", At("link"));
    EXPECT_EQ(RunIn(root, {"split", "--parts", "2", "--delete-sources", "link/../a.txt"}).status,
              0);
    EXPECT_EQ(Slurp(At("a.txt")), "mine\n");
    EXPECT_FALSE(fs::exists(At("other/a.txt")));
    EXPECT_EQ(Slurp(At("other/a/a_1.txt")) + Slurp(At("other/a/a_2.txt")), "theirs\n");

    // A walk does not follow a link to a folder outside it; a link to a file is a member.
    Put(At("books/x.txt"), "x\n");
    Put(At("important/notes.txt"), "notes\n");
    Put(At("important/linked.txt"), "linked\n");
    fs::create_directory_symlink("../important", At("books/shared"));
    fs::create_symlink("../important/linked.txt", At("books/y.txt"));
    const Ran merged =
        RunIn(root, {"merge", "--recursive", "--delete-sources", "--in-folder", "books"});
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(Slurp(At("important/notes.txt")), "notes\n");
    EXPECT_EQ(Slurp(At("important/linked.txt")), "linked\n");
    EXPECT_EQ(Slurp(At("books/x等2个文件.txt")), "x\nlinked\n");
    EXPECT_FALSE(fs::exists(At("shared等1个文件.txt")));
    EXPECT_FALSE(fs::exists(At("books/shared/notes等1个文件.txt")));

    // Outputs written into the walked tree are never taken in by the same walk.
    Put(At("top/a.txt"), "a\n");
    Put(At("top/sub/b.txt"), "b\n");
    const Ran walked = RunIn(
        root, {"merge", "--recursive", "--delete-sources", "--output-dir", "top/zout", "top"});
    EXPECT_EQ(walked.status, 0) << walked.err;
    const std::map<std::string, std::string> expected = {{"zout/a等1个文件.txt", "a\n"},
                                                         {"zout/b等1个文件.txt", "b\n"}};
    EXPECT_EQ(Files(At("top")), expected);
}

TEST_F(CommandLineSafety, OutputsAreNoMoreReadableThanTheirSources) {
    const mode_t mask = ::umask(022);
    Put(At("private.txt"), "one\ntwo\nthree\n");
    Put(At("public.txt"), "four\n");
    fs::permissions(At("private.txt"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(RunIn(root, {"split", "--parts", "2", "private.txt"}).status, 0);
    EXPECT_EQ(RunIn(root, {"merge", "public.txt", "private.txt"}).status, 0);
    // A member that allows nobody anything leaves the output its owner's still.
    Put(At("none/a.txt"), "a\n");
    Put(At("none/b.txt"), "b\n");
    fs::permissions(At("none/a.txt"), fs::perms::none);
    fs::permissions(At("none/b.txt"), fs::perms::owner_read | fs::perms::owner_write);
    RunIn(root, {"merge", "--output-dir", "m", "none"});
    ::umask(mask);
    for (const char* output : {"private/private_1.txt", "private/private_2.txt",
                               "../public等2个文件.txt", "m/a等2个文件.txt"}) {
        SCOPED_TRACE(output);
        EXPECT_EQ(fs::status(At(output)).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    // A user the access list of a source shuts out is shut out of its pieces; an output of
    // members whose lists differ is its owner's alone.
    Put(At("listed.txt"), "one\ntwo\n");
    Put(At("plain.txt"), "three\n");
    const std::string shut = "setfacl -m u:1234:--- '" + At("listed.txt").string() + "'";
    if (std::system(shut.c_str()) != 0) {
        GTEST_SKIP() << "no access lists here";
    }
    RunIn(root, {"split", "--parts", "2", "listed.txt"});
    RunIn(root, {"merge", "--output-dir", "l", "listed.txt", "plain.txt"});
    const std::string list = root.parent_path() / "list";
    const std::string get =
        "getfacl -cp '" + At("listed/listed_2.txt").string() + "' > '" + list + "'";
    EXPECT_EQ(std::system(get.c_str()), 0);
    EXPECT_NE(Slurp(list).find("user:1234:---"), std::string::npos) << Slurp(list);
    EXPECT_EQ(fs::status(At("l/listed等2个文件.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(CommandLineSafety, FailedJobsLeaveNothingTheyMade) {
    Put(At("in/empty.txt"), "");
    EXPECT_EQ(RunIn(root, {"merge", "in/nothing.txt"}).status, 1);
    EXPECT_EQ(RunIn(root, {"split", "in/nothing.txt"}).status, 1);
    EXPECT_EQ(RunIn(root, {"split", "--output-dir", "deep/er", "in/nothing.txt"}).status, 1);
    // No empty output, no empty folder: only what was there before.
    EXPECT_EQ(Files(root), (std::map<std::string, std::string>{{"in/empty.txt", ""}}));
    EXPECT_EQ(
        std::distance(fs::recursive_directory_iterator(root), fs::recursive_directory_iterator()),
        2);
}

TEST_F(CommandLineSafety, ASourceWithoutExtensionGetsAFolderBesideItself) {
    Put(At("book"), "one\ntwo\n");
    Put(At("book (2)"), "a file in the way");
    EXPECT_EQ(RunIn(root, {"split", "--parts", "2", "book"}).status, 0);
    EXPECT_EQ(Slurp(At("book (3)/book_1")) + Slurp(At("book (3)/book_2")), "one\ntwo\n");
}

TEST_F(CommandLineSafety, EveryPieceOfAMarkedSourceCarriesTheMark) {
    Put(At("wide.txt"), std::string("\xFE\xFF\0a\0\n\0b\0\n\0\n", 12));
    EXPECT_EQ(RunIn(root, {"split", "--lines", "1", "wide.txt"}).status, 0);
    int pieces = 0;
    for (const auto& e : fs::directory_iterator(At("wide"))) {
        EXPECT_EQ(Slurp(e.path()).substr(0, 2), "\xFE\xFF") << e.path();
        ++pieces;
    }
    EXPECT_GE(pieces, 3);
}

TEST_F(CommandLineSafety, TwoJobsNeverInterleaveTheirPiecesInOneFolder) {
    // Once a piece takes a " (k)" name, the rest of its source's pieces take it too, free
    // plain names or not: a cut of fewer pieces beside it never lends it its names.
    Put(At("n/s.txt"), "abcdef");
    Put(At("n/s_1.txt"), "held");
    EXPECT_EQ(
        RunIn(root, {"split", "--parts", "3", "--no-subfolder", "n/s_1.txt", "n/s.txt"}).status, 0);
    EXPECT_EQ(Slurp(At("n/s_1 (2).txt")) + Slurp(At("n/s_2 (2).txt")) + Slurp(At("n/s_3 (2).txt")),
              "abcdef");
    EXPECT_FALSE(fs::exists(At("n/s_2.txt")));

    // A job waits, and says so, while another holds the folder it writes into.
    Put(At("w.txt"), "one\ntwo\n");
    fs::create_directories(At("w"));
    const int held = open(At("w").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const fs::path waitErr = root.parent_path() / "wait-err";
    const pid_t waiting = Start(root, {"split", "--parts", "2", "w.txt"}, waitErr);
    // Waits for the job to say it waits, however loaded the machine.
    for (int tries = 0; tries < 1000 && Slurp(waitErr).find("等待") == std::string::npos; ++tries) {
        usleep(10 * 1000);
    }
    EXPECT_TRUE(fs::is_empty(At("w")));
    close(held);
    const Ran waited = Wait(waiting, waitErr);
    EXPECT_EQ(waited.status, 0);
    EXPECT_NE(waited.err.find("等待另一个任务写完："), std::string::npos) << waited.err;
    EXPECT_EQ(Slurp(At("w/w_1.txt")) + Slurp(At("w/w_2.txt")), "one\ntwo\n");

    std::string book;
    for (int i = 0; i < 4000; ++i) {
        book += "line " + std::to_string(i) + "\r\n";
    }
    book += "end";
    Put(At("s.txt"), book);
    const fs::path err1 = root.parent_path() / "err1", err2 = root.parent_path() / "err2";
    const std::vector<std::string> args = {"split", "--lines", "1-40", "--delete-sources", "s.txt"};
    const pid_t first = Start(root, args, err1);
    const pid_t second = Start(root, args, err2);
    const Ran a = Wait(first, err1), b = Wait(second, err2);
    // One of them split and deleted the source; the other found it gone.
    EXPECT_EQ(a.status + b.status, 1) << a.err << b.err;
    EXPECT_FALSE(fs::exists(At("s.txt")));
    std::string joined;
    const std::size_t count = static_cast<std::size_t>(
        std::distance(fs::directory_iterator(At("s")), fs::directory_iterator()));
    for (std::size_t k = 1; k <= count; ++k) {
        joined += (k > 1 ? "\r\n" : "") + Slurp(At("s/s_" + std::to_string(k) + ".txt"));
    }
    EXPECT_EQ(joined, book);

    // A folder another job writes into is listed once that job is done there, not halfway.
    Put(At("d/x_1.txt"), "12");
    const int other = open(At("d").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    const pid_t lister = Start(root, {"split", "--parts", "2", "d"}, err1);
    usleep(300 * 1000);
    Put(At("d/x_2.txt"), "34");
    close(other);
    EXPECT_EQ(Wait(lister, err1).status, 0);
    EXPECT_EQ(Slurp(At("d/x_2/x_2_1.txt")) + Slurp(At("d/x_2/x_2_2.txt")), "34");
}

// A rejoin gives the source back byte for byte, or writes nothing and says why.
TEST_F(CommandLineSafety, ManifestRejoinIsExactOrRefused) {
    struct Row {
        const char* name;
        std::string source;
        std::vector<std::string> options;
        bool exact;
    };
    const std::string lf = "one\ntwo\n\nthree\nfour\n";
    const std::vector<Row> rows = {
        {"lines, LF and a final break", lf, {"--lines", "2"}, true},
        {"lines, CR LF without", "a\r\nb\r\nc", {"--lines", "1"}, true},
        {"lines, mixed breaks", "a\nb\r\nc\n", {"--lines", "1"}, false},
        {"lines keeping mixed breaks",
         "a\nb\r\nc\rd",
         {"--lines", "1", "--keep-line-breaks"},
         true},
        {"blank lines skipped", lf, {"--lines", "1", "--skip-blank-lines"}, false},
        {"separator line break", lf, {"--separator", "\\n"}, true},
        {"to UTF-16LE", lf, {"--lines", "2", "--to", "utf-16le"}, true},
        {"chars", lf, {"--chars", "3"}, true},
        {"ends in the separator", "a\n===\nb\n===\n", {"--separator", "===\\n"}, true},
    };
    int i = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string name = "s" + std::to_string(++i);
        Put(At(name + ".txt"), row.source);
        // A source goes only when its manifest gives it back.
        std::vector<std::string> args = {"split", "--manifest", "--delete-sources"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back(name + ".txt");
        const Ran split = RunIn(root, args);
        EXPECT_EQ(split.status, row.exact ? 0 : 1) << split.err;
        EXPECT_EQ(fs::exists(At(name + ".txt")), !row.exact);
        const std::string manifest = name + "/" + name + ".txt.manifest.json";
        const Ran verify = RunIn(root, {"verify", manifest});
        const Ran rejoin = RunIn(root, {"merge", "--output-dir", "back", manifest});
        const fs::path back = At("back/" + name + ".txt");
        if (row.exact) {
            EXPECT_EQ(verify.status, 0) << verify.err;
            EXPECT_EQ(rejoin.status, 0) << rejoin.err;
            EXPECT_EQ(Slurp(back), row.source);
        } else {
            EXPECT_EQ(verify.status, 1);
            EXPECT_EQ(rejoin.status, 1);
            EXPECT_NE(rejoin.err.find("无法还原原文件（"), std::string::npos) << rejoin.err;
            EXPECT_FALSE(fs::exists(back));
        }
    }
}

// Each source's manifest is written when its pieces are, from the bytes the split read: a
// source the job cannot split, or a stop, takes no other source's manifest with it.
TEST_F(CommandLineSafety, EveryDeletedSourceLeavesItsManifest) {
    std::string lines;
    for (int i = 1; i <= 5000; ++i) {
        lines += std::to_string(i) + "\n";
    }
    Put(At("d/a1.txt"), lines);
    std::string japanese;  // 日本語のテキストです。 in Shift_JIS, which no text mode reads
    for (int i = 0; i < 300; ++i) {
        japanese +=
            "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67"
            "\x82\xc5\x82\xb7\x81\x42\n";
    }
    Put(At("d/a2.txt"), japanese);
    Put(At("d/a3.txt"), lines + "5001\n");
    EXPECT_EQ(
        RunIn(root, {"split", "--lines", "1000", "--manifest", "--delete-sources", "d"}).status, 1);
    EXPECT_TRUE(fs::exists(At("d/a2.txt")));
    for (const std::string name : {"a1", "a3"}) {
        EXPECT_FALSE(fs::exists(At("d/" + name + ".txt")));
        const std::string manifest = "d/" + name + "/" + name + ".txt.manifest.json";
        EXPECT_EQ(RunIn(root, {"merge", "--output-dir", "back", manifest}).status, 0);
    }
    EXPECT_EQ(Slurp(At("back/a3.txt")), lines + "5001\n");
}

// verify recomputes the whole from the pieces: a manifest or a piece changed in any way that
// a rejoin would not give the source back from is never intact.
TEST_F(CommandLineSafety, VerifyVouchesOnlyForAWholeThatRejoins) {
    std::string lines;
    for (int i = 1; i <= 3000; ++i) {
        lines += std::to_string(i) + "\n";
    }
    Put(At("b.txt"), lines);
    ASSERT_EQ(RunIn(root, {"split", "--parts", "4", "--manifest", "b.txt"}).status, 0);
    const fs::path manifest = At("b/b.txt.manifest.json");
    const std::string good = Slurp(manifest);
    const std::size_t first = good.find("{\"", good.find("\"pieces\""));
    const std::size_t second = good.find("{\"", first + 1);
    const std::size_t end = good.find('}', second) + 1;
    const std::string one = good.substr(first, good.find('}', first) + 1 - first);
    const std::string two = good.substr(second, end - second);
    const std::size_t hash = good.find('"', good.rfind("\"sha256\"") + 9) + 1;
    std::string swapped = good, digit = good, twice = good;
    swapped.replace(second, two.size(), one).replace(first, one.size(), two);
    digit[hash] = digit[hash] == '0' ? '1' : '0';
    twice.insert(second, one + ",\n    ");
    for (const auto& [name, text] :
         std::vector<std::pair<std::string, std::string>>{{"entries swapped", swapped},
                                                          {"a digit of the hash", digit},
                                                          {"an entry twice", twice}}) {
        SCOPED_TRACE(name);
        Put(manifest, text);
        EXPECT_EQ(RunIn(root, {"verify", "b/b.txt.manifest.json"}).status, 1);
        EXPECT_EQ(RunIn(root, {"merge", "--output-dir", "back", "b/b.txt.manifest.json"}).status,
                  1);
        EXPECT_FALSE(fs::exists(At("back/b.txt")));
    }
    Put(manifest, good);
    EXPECT_EQ(RunIn(root, {"verify", "b/b.txt.manifest.json"}).status, 0);
    fs::rename(At("b/b_2.txt"), At("b2.txt"));
    fs::create_symlink("../b2.txt", At("b/b_2.txt"));
    EXPECT_EQ(RunIn(root, {"verify", "b/b.txt.manifest.json"}).status, 1);
}

// A report that does not reach standard output fails the command and says so; a file of
// /proc, size 0 yet readable, is refused by the byte modes instead of giving empty pieces.
TEST_F(CommandLineSafety, LostReportsAndPseudoFilesAreFailures) {
    Put(At("s.txt"), std::string(3000, 'x'));
    const fs::path err = root.parent_path() / "stderr";
    const std::string program = QS_PROGRAM;
    const fs::path status = root.parent_path() / "status";
    // Full, closed, or a pipe whose reader has gone before the report.
    for (const auto& [redirect, pipe] :
         {std::pair{"> /dev/full", false}, {">&-", false}, {"", true}}) {
        SCOPED_TRACE(redirect);
        const std::string command =
            "cd '" + root.string() + "' && (" + (pipe ? "sleep 0.3; '" : "'") + program +
            "' split --size 1K --json s.txt " + redirect + " 2>'" + err.string() + "'; echo $? >'" +
            status.string() + "')" + (pipe ? " | true" : "");
        EXPECT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(Slurp(status), "1\n");
        EXPECT_NE(Slurp(err).find("standard output"), std::string::npos) << Slurp(err);
        fs::remove_all(At("s"));
    }
    for (const std::string mode : {"--parts", "--size"}) {
        const Ran ran = RunIn(root, {"split", mode, "2", "--output-dir", "o", "/proc/filesystems"});
        EXPECT_EQ(ran.status, 1);
        EXPECT_FALSE(fs::exists(At("o/filesystems")));
    }
}

}  // namespace
}  // namespace qs
