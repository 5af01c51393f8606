#include "fault_fixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace qs::fault {

Tree Snapshot(const Text& folder) {
    Tree tree;
    std::string native;
    if (!InternalToUtf8(folder, native)) {
        return tree;
    }
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(native, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (ec || !it->is_regular_file()) {
            continue;
        }
        std::ifstream in(it->path(), std::ios::binary);
        tree[std::filesystem::relative(it->path(), native).string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return tree;
}

Bench::Bench() {
    use.reset();  // the override in place goes first, or it would restore itself over this one
    use = std::make_unique<ServicesOverride>(Platform{&faulty, nullptr, nullptr, &ui});
}

bool HasTemporary(const Tree& tree) {
    for (const auto& [path, bytes] : tree) {
        if (std::filesystem::path(path).filename().string().rfind(".qirnsplit-", 0) == 0) {
            return true;
        }
    }
    return false;
}

void ExpectSafe(const Tree& before, const Tree& reference, const Tree& after,
                const std::string& messages,
                const std::function<std::string(const std::string&)>& owner, bool partialOutputs,
                bool reencoded) {
    EXPECT_FALSE(HasTemporary(after)) << "a temporary file was left behind";
    bool shortOfReference = false;
    for (const auto& [path, bytes] : before) {
        const bool output = reference.count(path) && reference.at(path) != bytes;
        const bool deletedByReference = !reference.count(path);
        const auto now = after.find(path);
        if (now == after.end()) {
            EXPECT_TRUE(deletedByReference) << path << " was lost";
            if (deletedByReference && partialOutputs) {
                bool kept = false;
                for (const auto& [made, madeBytes] : after) {
                    if (!before.count(made) &&
                        (reencoded || madeBytes.find(bytes) != std::string::npos)) {
                        kept = true;
                    }
                }
                EXPECT_TRUE(kept) << path << " deleted although no output holds it";
            } else if (deletedByReference) {
                // Deleted: only when everything the reference made of it is in place.
                for (const auto& [made, madeBytes] : reference) {
                    if (!before.count(made) && (owner(made) == path || owner(made) == "*")) {
                        const auto there = after.find(made);
                        EXPECT_TRUE(there != after.end() && there->second == madeBytes)
                            << path << " deleted although " << made << " is not complete";
                    }
                }
            }
            continue;
        }
        if (output) {
            EXPECT_TRUE(now->second == bytes || now->second == reference.at(path))
                << path << " holds neither its old nor its new bytes";
            shortOfReference |= now->second != reference.at(path);
        } else {
            EXPECT_EQ(now->second, bytes) << path << " was changed";
            shortOfReference |= deletedByReference;  // the reference could delete it
        }
    }
    for (const auto& [path, bytes] : after) {
        if (before.count(path) || HasTemporary({{path, bytes}})) {
            continue;
        }
        const auto expected = reference.find(path);
        ASSERT_TRUE(expected != reference.end()) << path << " is not an output of the job";
        if (!partialOutputs) {
            EXPECT_EQ(bytes, expected->second) << path << " holds a partial or wrong output";
        }
        shortOfReference |= bytes != expected->second;
    }
    for (const auto& [path, bytes] : reference) {
        if (!before.count(path) && !after.count(path)) {
            shortOfReference = true;
        }
    }
    if (shortOfReference) {
        EXPECT_FALSE(messages.empty()) << "an incomplete job was not reported:\n" << messages;
    }
}

namespace {

const std::string kKeep = std::string("\x00\x01keep\xFF", 7);

void PutSources(Bench& b, const FaultJob& job) {
    std::filesystem::create_directories(ToUtf8Lossy(b.temp.File("src")));
    for (const auto& [name, bytes] : job.sources) {
        b.temp.Write(U("src/" + name), bytes);
    }
    b.temp.Write("src/keep.dat", kKeep);
}

}  // namespace

void ApplyChange(Bench& b, const FaultJob& job, Change change) {
    std::error_code ignored;
    const std::string path = ToUtf8Lossy(b.Src(job.changing));
    if (change == Change::Vanish) {
        std::filesystem::remove(path, ignored);
    } else if (change == Change::Shrink) {
        std::filesystem::resize_file(path, job.shrunkSize, ignored);
    }
}

Outcome RunAgainstReference(const FaultJob& job, Change change,
                            const std::function<void(Bench&)>& arm) {
    Outcome outcome;
    Bench reference;
    PutSources(reference, job);
    job.configure(reference);
    ApplyChange(reference, job, change);
    outcome.before = Snapshot(reference.temp.Path());
    job.run(reference);
    outcome.expected = Snapshot(reference.temp.Path());

    Bench b;
    PutSources(b, job);
    job.configure(b);
    arm(b);
    job.run(b);
    outcome.after = Snapshot(b.temp.Path());
    outcome.messages = b.Messages();
    outcome.fired = b.faulty.Fired();
    return outcome;
}

}  // namespace qs::fault
