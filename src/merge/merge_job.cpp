#include "merge/merge_job.h"

#include <cstdint>
#include <set>
#include <utility>

#include "fs/paths.h"
#include "job/folder_listing.h"
#include "job/output_folder_claim.h"
#include "platform/services.h"
#include "text/characters.h"

namespace qs {
namespace {

// The flag is tested after every pump of the walk, before the next unit's start clears it
// again, so that a stop requested while a folder is listed or just before a sub-folder is
// entered ends the walk.
struct FolderWalk {
    MergeJob& job;
    bool useObjectEnumeration;
    using Identity = std::pair<std::uint64_t, std::uint64_t>;
    // Folders already walked: a link back to one of them is not followed again.
    std::set<Identity> walked = {};
    // The folders that hold the one the walk began in: a link up to one of them would take
    // the walk (and the deletion of sources) outside the folder it was given.
    std::set<Identity> enclosing = {};

    bool Stopped() const { return job.events.StopRequested(); }

    void Walk(const Text& top) {
        enclosing.clear();
        Text path = top;
        while (path.size() > 1 && path.back() == kPathSeparator) {
            path.pop_back();
        }
        while (FindChar(path, kPathSeparator) != Text::npos) {
            path = PathDirectory(path);
            if (const auto identity =
                    Fs().FileIdentity(path.empty() ? Text(1, kPathSeparator) : path)) {
                enclosing.insert(*identity);
            }
        }
        Merge(top, true);
    }

    void Merge(const Text& folder, bool top = false) {
        const auto identity = Fs().FileIdentity(folder);
        if (identity &&
            ((!top && enclosing.count(*identity) != 0) || !walked.insert(*identity).second)) {
            return;
        }
        if (job.claimed == folder) {
            job.claim.reset();  // its own claim joined would count as another job's
        }
        auto claim = ClaimFolderToList(job.events, folder);
        if (!claim) {
            return;  // stopped while another job wrote there
        }
        Result<TextList> files =
            ListFolder(job.events, useObjectEnumeration, folder, job.Params().pattern, false);
        claim.reset();
        if (Stopped()) {
            return;
        }
        if (!files) {
            // A folder that cannot be read is a failure, not "nothing to merge": the
            // completion question must not pass it off as done.
            job.events.Failed(files.error());
            return;
        }
        if (job.written) {
            std::erase_if(*files, [&](const Text& file) { return job.written->Holds(file); });
        }
        MergeFiles(job, *files);
        if (!job.Params().includeSubfolders || Stopped()) {
            return;
        }
        const Result<TextList> subfolders =
            ListFolder(job.events, useObjectEnumeration, folder, job.Params().pattern, true);
        if (!subfolders) {
            job.events.Failed(subfolders.error());
            return;
        }
        for (const Text& subfolder : *subfolders) {
            if (Stopped()) {
                break;
            }
            job.events.Pump();
            if (Stopped()) {
                break;
            }
            Merge(subfolder);
        }
    }
};

}  // namespace

void MergeFolders(MergeJob& job, const TextList& folders, bool useObjectEnumeration) {
    FolderWalk walk{job, useObjectEnumeration};
    const std::span<const Text> ahead = job.foldersAhead;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        // An output that lands in a folder given after this one (its parent, say) replaces
        // nothing there: what that folder holds is still to be merged.
        job.foldersAhead = std::span<const Text>(folders).subspan(i + 1);
        walk.Walk(folders[i]);
        if (walk.Stopped()) {
            break;
        }
    }
    job.foldersAhead = ahead;
}

void RunMergeJob(MergeJob& job) {
    const MergeRequest request = job.requests.Read();
    job.outputRoot = request.outputRoot;
    job.sourceEncoding = request.sourceEncoding;
    if (!request.files.empty() && !job.events.StopRequested()) {
        const std::span<const Text> ahead = job.foldersAhead;
        if (!request.folders.empty()) {
            job.foldersAhead = request.folders;
        }
        MergeFiles(job, request.files);
        job.foldersAhead = ahead;
    }
    if (!request.folders.empty() && !job.events.StopRequested()) {
        MergeFolders(job, request.folders, request.objectEnumeration);
    }
}

}  // namespace qs
