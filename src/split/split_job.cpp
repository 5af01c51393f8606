#include "split/split_job.h"

#include "fs/made_folders.h"
#include "fs/output_names.h"
#include "fs/paths.h"
#include "fs/unchanged_source.h"
#include "job/folder_listing.h"
#include "job/output_folder_claim.h"
#include "job/result.h"
#include "platform/random.h"
#include "platform/services.h"
#include "platform/system_error.h"
#include "split/piece_writer.h"
#include "split/split_modes.h"

namespace qs {
namespace {

constexpr int kFolderAttempts = 3;

Result<void> MakeOutputFolder(JobEvents& events, const Text& folder) {
    for (int attempt = 1;; ++attempt) {
        if (EnsureDirectoryChain(folder)) {
            return {};
        }
        if (attempt == kFolderAttempts) {
            return Error{FailureKind::FolderNotCreated, folder, LastSystemError()};
        }
        events.Pump();
    }
}

// Whether pieces of a source whose encoding was a guess hold its text converted (to another
// encoding or by 繁简) or are named after it: then they may hold other characters than
// the source's, and the guess must not pass for a fact.
bool ConvertedAGuess(SplitContext& ctx) {
    const SplitState& state = ctx.state;
    if (state.sourceGuessedOver == TextEncoding::Undetected || state.piecesMade == 0) {
        return false;
    }
    const OutputRequest& request = state.outputRequest;
    const bool reencoded = request.encoding && request.encoding->encoding != state.source.encoding;
    return reencoded || request.zh != ZhConversion::None || ctx.Options().nameFromText;
}

// The sub-folder named after a source. A source without an extension stands where its own
// folder would: it takes the first " (k)" variant that no file holds.
Text SubfolderName(const Text& parent, const PathParts& source) {
    constexpr int kVariants = 99;
    Text name = source.stem;
    if (!source.DotExtension().empty()) {
        return name;
    }
    for (int k = 2; k <= kVariants && Fs().Kind(parent + name) == PathKind::File; ++k) {
        name = source.stem + VariantSuffix(k);
    }
    return name;
}

// The handle the split read the source by, when it is the file the path named before the
// reading began: the pieces are compared with it. nullptr otherwise.
ReadHandle* ReadBy(const std::optional<ReadDigest>& digest,
                   const std::optional<FileStamp>& asRead) {
    ReadHandle* source = digest ? digest->Source() : nullptr;
    const std::optional<FileId> id = source ? source->Identity() : std::nullopt;
    return asRead && id && *id == FileId{asRead->device, asRead->inode} ? source : nullptr;
}

}  // namespace

SplitRun RunSplitJob(SplitRequestSource& requests, JobEvents& events) {
    const SplitRequest request = requests.Read();
    if (request.params.seed) {
        FixRandomSeed(*request.params.seed);
    }
    SplitRun run;
    for (const Text& path : request.paths) {
        if (!Fs().IsFolder(path)) {
            run.files.push_back(path);
            continue;
        }
        const auto claim = ClaimFolderToList(events, path);
        if (!claim) {
            return run;  // stopped while another job wrote there
        }
        const Result<TextList> listing =
            ListFolder(events, request.objectEnumeration, path, request.params.pattern, false);
        if (listing) {
            run.files.insert(run.files.end(), listing->begin(), listing->end());
        } else {
            // A folder that cannot be read is a failure, not a folder without files.
            events.Failed(listing.error());
            run.listed = false;
        }
    }
    events.FilesListed(run.files);
    if (!events.StopRequested()) {
        SplitFiles(requests, events, run.files);
    }
    return run;
}

void SplitFiles(SplitRequestSource& requests, JobEvents& events, const TextList& paths) {
    if (paths.empty()) {
        return;  // nothing to split touches nothing, not even the progress bar
    }
    SplitContext ctx{requests, events, Text(), {}};
    const Text outputRoot = ctx.Request().outputRoot;
    ctx.sourceEncoding = ctx.Request().sourceEncoding;
    for (const Text& p : paths) {
        ctx.state.sourcePaths.insert(p);
        if (const auto id = Fs().FileIdentity(p)) {
            ctx.state.sourceIdentities.insert(*id);
        }
    }

    const int n = static_cast<int>(paths.size());
    events.FilesStarting(n);
    std::unique_ptr<FolderLock> claim;
    Text claimed;
    for (int i = 1; i <= n; ++i) {
        const Text& p = paths[static_cast<std::size_t>(i - 1)];
        events.SourceStarted(i, n, p);
        ctx.sourceIndex = static_cast<std::size_t>(i);
        const PathParts& source = SourceParts(ctx, p);
        const Text base = outputRoot.empty() ? source.folder : outputRoot;
        const auto device = Fs().FileIdentity(base);
        ctx.outputFull = device && ctx.fullDevices.count(device->first) != 0;
        if (ctx.outputFull) {
            // Its pieces would go to a full disk: the source stays as it is, and is said to
            // stay where it was to go.
            if (ctx.Options().deleteSources) {
                ctx.Fail(FailureKind::SourceKept, p);
            }
            events.SourceFinished();
            continue;
        }
        ctx.outputFolder = base + "/";
        if (ctx.Options().subfolder) {
            ctx.outputFolder += SubfolderName(ctx.outputFolder, source) + "/";
        }
        MadeFolders made;
        made.NoteMissing(ctx.outputFolder);
        if (const Result<void> folderMade = MakeOutputFolder(events, ctx.outputFolder);
            !folderMade) {
            events.Failed(folderMade.error());
            if (IsOutOfSpace(folderMade.error().systemError) && device) {
                ctx.fullDevices.insert(device->first);
                if (ctx.Options().deleteSources) {
                    ctx.Fail(FailureKind::SourceKept, p);
                }
                events.SourceFinished();
                continue;
            }
        }
        // Sources whose pieces share a folder keep its claim: no other job writes between them.
        if (!claim || claimed != ctx.outputFolder) {
            claim.reset();
            claim = ClaimOutputFolder(events, ctx.outputFolder);
            if (!claim) {
                break;  // stopped while another job wrote there
            }
            claimed = ctx.outputFolder;
            ctx.state.olderFiles.Claimed(claim.get());
        }
        const std::unique_ptr<FolderHold> heldFolder = Fs().HoldFolder(ctx.outputFolder);

        ctx.state.source = TextFormat();
        ctx.state.piecesInUtf8 = false;
        ctx.state.piecesKeepBytes = false;
        ctx.state.pieceNumber = 0;
        ctx.state.sourceVariant = 0;
        ctx.state.piecesMade = 0;
        ctx.state.piecesFailed = 0;
        ctx.state.sourceUnreadable = false;
        ctx.state.sourceGuessedOver = TextEncoding::Undetected;
        ctx.state.sourceDamage = TextDamage();
        ctx.state.sourcePieces.clear();
        const std::optional<FileStamp> asRead = StampBeforeReading(p);
        const Text sourceFolder = PathDirectory(p);
        ctx.state.stampsShowChanges =
            ctx.Options().deleteSources && Fs().StampsShowEveryChange(ctx.outputFolder) &&
            Fs().StampsShowEveryChange(sourceFolder.empty() ? Text(".") : sourceFolder);
        ctx.state.sourcePermissions = SharedPermissions(07777, asRead);
        ctx.state.sourceAccess = Fs().ExtendedAccess(p);
        ctx.state.readDigest.reset();
        if (ctx.Options().deleteSources || events.WantsSplitSources()) {
            // Only a manifest needs the hash of what was read.
            ctx.state.readDigest.emplace(events.WantsSplitSources());
        }
        const ModeResult result = RunSplitMode(ctx, p);
        events.SourceFinished();
        if (result == ModeResult::ValidationFailed) {
            break;
        }
        const bool convertedAGuess = ConvertedAGuess(ctx);
        if (convertedAGuess) {
            ctx.Fail(FailureKind::Guessed, p);
        }
        if (ctx.state.piecesMade == ctx.state.piecesFailed) {
            made.RemoveEmpty();  // a source that gave nothing leaves no folder of its own
        }

        // Every piece written: whoever listens records them (a manifest) before the source
        // may go, whatever becomes of the sources after it.
        const bool piecesComplete = !ctx.Stopped() && !ctx.state.sourceUnreadable &&
                                    ctx.state.piecesMade > 0 && ctx.state.piecesFailed == 0;
        std::optional<SourceDigest> digest;
        if (piecesComplete && ctx.state.readDigest) {
            digest = ctx.state.readDigest->Finish();
        }
        const bool recorded = digest && events.SourceSplit({p, ctx.sourceIndex, ctx.state.source,
                                                            *digest, &ctx.state.olderFiles});

        if (ctx.Options().deleteSources) {
            // The only copy of the content goes only when every piece of it is safely written,
            // still there and on the disk. Pieces are recorded for this while deletion is on:
            // when it was switched on halfway, some are not, and the source stays.
            const bool restorable = PiecesCanGiveSourceBack(ctx);
            const bool complete =
                restorable && piecesComplete && recorded && !convertedAGuess &&
                ctx.state.sourcePieces.size() == static_cast<std::size_t>(ctx.state.piecesMade) &&
                PiecesOfSourceAreSafe(ctx) &&
                PiecesGiveSourceBack(ctx, *digest, ReadBy(ctx.state.readDigest, asRead));
            const auto id = Fs().FileIdentity(p);
            const SourceRemoval removal =
                complete ? DeleteIfUnchanged(p, asRead) : SourceRemoval{Removal::Changed};
            if (removal.outcome == Removal::Deleted) {
                if (id) {
                    ctx.state.sourceIdentities.erase(*id);
                }
                events.SourceDeleted(p);
            } else {
                ctx.Fail(restorable ? FailureKind::SourceKept : FailureKind::SourceKeptUnrestorable,
                         p, removal.systemError);
            }
        }
        // The source's handle goes too: the room of a deleted source is free for the next
        // source's pieces.
        ctx.state.readDigest.reset();

        events.Pump();
        if (events.StopRequested()) {
            break;
        }
    }
}

}  // namespace qs
