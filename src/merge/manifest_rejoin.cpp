#include "merge/manifest_rejoin.h"

#include <nlohmann/json.hpp>
#include <set>

#include "fs/paths.h"
#include "job/job_report.h"
#include "job/rejoin_pieces.h"
#include "job/result.h"
#include "job/told_files.h"
#include "platform/native_names.h"
#include "platform/services.h"
#include "platform/sha256.h"
#include "platform/system_error.h"

namespace qs {
namespace {

using nlohmann::json;

Result<HandleDigest> HashFile(const Text& path) {
    const std::unique_ptr<ReadHandle> in = Fs().OpenRead(path);
    if (!in) {
        return Error{FailureKind::Unreadable, path, LastSystemError()};
    }
    if (std::optional<HandleDigest> digest = Sha256OfRest(*in)) {
        return std::move(*digest);
    }
    return Error{FailureKind::Unreadable, path, LastSystemError()};
}

bool ToInternal(const json& value, Text& out) {
    return value.is_string() && Utf8ToInternal(value.get<std::string>(), out) && !out.empty() &&
           out.find('/') == Text::npos && out != "." && out != "..";
}

// The file name of an entry: its bytes where they are given (a name that is not UTF-8),
// else its text. Names that would leave the manifest's folder are refused.
bool NameOf(const json& entry, Text& out) {
    const json bytes = entry.value("nameBytes", json());
    if (!bytes.is_string()) {
        return ToInternal(entry.value("name", json()), out);
    }
    const std::string hex = bytes.get<std::string>();
    if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdef") != std::string::npos) {
        return false;
    }
    std::string native;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        native += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    out = NativeToInternal(native);
    return !native.empty() && native.find('/') == std::string::npos && native != "." &&
           native != "..";
}

struct Piece {
    Text path;
    std::int64_t size;
    std::string sha256;
};

struct LoadedManifest {
    Text path;
    json data;
    Text sourceName;
    std::vector<Piece> pieces;
};

// Reads and checks the manifest's shape; names that would leave its folder are refused.
Result<LoadedManifest> Load(const Text& manifestPath) {
    const std::optional<Bytes> bytes = Fs().ReadWholeFile(manifestPath);
    if (!bytes) {
        return Error{FailureKind::Unreadable, manifestPath, LastSystemError()};
    }
    const Error notOne{FailureKind::Unreadable, manifestPath, 0};
    LoadedManifest loaded{manifestPath, json::parse(*bytes, nullptr, false), {}, {}};
    const json& d = loaded.data;
    if (!d.is_object() || !d.contains("source") || !d["source"].is_object() ||
        !d.contains("pieces") || !d["pieces"].is_array() ||
        !NameOf(d["source"], loaded.sourceName)) {
        return notOne;
    }
    const Text folder = PathDirectory(manifestPath);
    for (const json& p : d["pieces"]) {
        Text name;
        if (!p.is_object() || !NameOf(p, name) || !p.value("size", json()).is_number_integer() ||
            !p.value("sha256", json()).is_string()) {
            return notOne;
        }
        loaded.pieces.push_back(
            {folder + "/" + name, p["size"].get<std::int64_t>(), p["sha256"].get<std::string>()});
    }
    return loaded;
}

// Tells every piece that is not the file the split wrote, as its entry says: missing, a
// link (which may lead anywhere), changed, or named twice. True when all are whole.
bool CheckPieces(const LoadedManifest& loaded, JobEvents& events) {
    std::set<Text> links, seen;
    const Text folder = PathDirectory(loaded.path);
    const std::optional<std::vector<DirEntry>> entries = Fs().List(folder);
    if (!entries) {
        events.Failed({FailureKind::Unreadable, folder, LastSystemError()});
        return false;
    }
    for (const DirEntry& e : *entries) {
        if (e.isLink) {
            links.insert(folder + "/" + e.name);
        }
    }
    bool intact = true;
    const auto fail = [&](JobFailure failure) {
        events.Failed(failure);
        intact = false;
    };
    for (const Piece& piece : loaded.pieces) {
        if (!seen.insert(piece.path).second) {
            fail({FailureKind::Changed, loaded.path});  // an entry given twice
        } else if (!Fs().IsFile(piece.path)) {
            fail({FailureKind::Missing, piece.path});
        } else if (links.count(piece.path) > 0) {
            fail({FailureKind::Changed, piece.path});
        } else if (const Result<HandleDigest> hash = HashFile(piece.path); !hash) {
            fail(hash.error());
        } else if (hash->size != piece.size || hash->sha256 != piece.sha256) {
            fail({FailureKind::Changed, piece.path});
        }
    }
    return intact;
}

// Whether the pieces join as they are: the byte modes, and lines that kept their breaks.
bool JoinsAsBytes(const json& mode) {
    const std::string name = mode.value("name", "");
    return name == "parts" || name == "size" ||
           (name == "lines" && mode.value("keepLineBreaks", false));
}

// Why the text pieces of a manifest cannot give its source back, as far as its options tell.
std::string WhyNotRestorable(const json& d) {
    const json mode = d.value("mode", json::object());
    const std::string name = mode.value("name", "");
    if (mode.value("skipBlankLines", false)) {
        return "分割时跳过了空行";
    }
    if (d.value("converted", json::object()).value("zh", false)) {
        return "分割时做了繁简转换";
    }
    if ((name == "lines" && !JoinsAsBytes(mode)) || name == "chars") {
        return "原文件的换行符不一致";
    }
    return "拼接结果与原文件不同";
}

TextFormat SourceFormat(const json& source) {
    const json encoding = source.value("encoding", json());
    return {EncodingCode(encoding.is_string() ? encoding.get<std::string>() : ""),
            source.value("mark", false)};
}

// What the pieces of the manifest must give back, and how they give it.
RejoinPlan PlanOf(const LoadedManifest& loaded) {
    const json& d = loaded.data;
    const json& source = d["source"];
    const json mode = d.value("mode", json::object());
    const std::string name = mode.value("name", "");
    RejoinPlan plan;
    plan.pieceCount = loaded.pieces.size();
    plan.piece = [&loaded](std::size_t i) {
        return PieceFile{loaded.pieces[i].path, std::nullopt};
    };
    plan.bytes = JoinsAsBytes(mode);
    plan.source = SourceFormat(source);
    plan.reencoded = d.value("converted", json::object()).value("encoding", false);
    plan.size = source.value("size", std::int64_t{-1});
    plan.sha256 = source.value("sha256", "");
    plan.breaksNormalised = name != "separator";
    if (name == "lines") {
        plan.joiner = "\r\n";
    } else if (name == "separator") {
        Utf8ToInternal(mode.value("text", ""), plan.joiner);
        const json lacking = d.value("lacking", json());
        Text end;
        if (lacking.is_object() && Utf8ToInternal(lacking.value("end", ""), end) && !end.empty()) {
            plan.ends.push_back(end);
        }
        if (!plan.joiner.empty()) {
            plan.ends.push_back(plan.joiner);
        }
    }
    return plan;
}

// The one check behind verify and the rejoin: every piece is the file the split wrote, and
// the whole they give back, recomputed from them, is the source by its size and SHA-256, in
// the order of the manifest. The whole goes to out when one is given. named: what a whole
// that differs is told as.
bool RejoinWhole(const LoadedManifest& loaded, const Text& named, JobEvents& events,
                 AtomicWriter* out) {
    if (!CheckPieces(loaded, events)) {
        return false;
    }
    const std::optional<RejoinFailure> failure = RejoinPieces(PlanOf(loaded), out);
    if (!failure) {
        return true;
    }
    switch (failure->kind) {
        case RejoinFailure::Kind::Unreadable:
            events.Failed({FailureKind::Unreadable, failure->path, failure->systemError});
            break;
        case RejoinFailure::Kind::Changed:
            events.Failed({FailureKind::Changed, failure->path.empty() ? named : failure->path});
            break;
        case RejoinFailure::Kind::NotRestorable:
            events.Failed({FailureKind::NotRestorable, named, 0, -1,
                           failure->why.empty() ? WhyNotRestorable(loaded.data) : failure->why});
            break;
        case RejoinFailure::Kind::NotWritten:
            events.Failed({FailureKind::NotWritten, named, failure->systemError});
            break;
    }
    return false;
}

// Writes the source the pieces give back as target, a name it never takes from another
// file; every failure is told.
std::optional<OutputRecord> WriteSource(const LoadedManifest& loaded, const Text& target,
                                        JobEvents& events) {
    const auto fail = [&events](const JobFailure& failure) {
        events.Failed(failure);
        return std::nullopt;
    };
    if (Fs().Exists(target)) {
        return fail({FailureKind::Exists, target});
    }
    Result<std::unique_ptr<JobOutput>> out = CreateOutput(target, events);
    if (!out) {
        return fail(out.error());
    }
    if (!RejoinWhole(loaded, target, events, out->get())) {
        return std::nullopt;  // the writer goes without a name
    }
    // A file that took the name meanwhile is not replaced either.
    switch ((*out)->CommitNew(target)) {
        case AtomicWriter::NameResult::Named:
            break;
        case AtomicWriter::NameResult::Taken:
            return fail({FailureKind::Exists, target});
        case AtomicWriter::NameResult::Failed:
            return fail({FailureKind::NotWritten, target, (*out)->SystemError()});
    }
    // What was written is what the pieces were proven to give back: the source's size.
    const json& source = loaded.data["source"];
    return OutputRecord{target, source.value("size", std::int64_t{0}), SourceFormat(source), 0,
                        Text()};
}

}  // namespace

RejoinOutcome RunRejoinJob(const RejoinRequest& request, JobEvents& events) {
    const Result<LoadedManifest> loaded = Load(request.manifest);
    if (!loaded) {
        events.Failed(loaded.error());
        return RejoinOutcome::ManifestUnreadable;
    }
    if (!request.writeSource) {
        return RejoinWhole(*loaded, request.manifest, events, nullptr)
                   ? RejoinOutcome::GivenBack
                   : RejoinOutcome::NotGivenBack;
    }
    Text folder = request.outputFolder;
    if (folder.empty()) {
        folder = PathDirectory(request.manifest);
        if (loaded->data.value("subfolder", false)) {
            folder = PathDirectory(folder);
        }
    }
    const std::optional<OutputRecord> written =
        WriteSource(*loaded, folder + "/" + loaded->sourceName, events);
    if (!written) {
        return RejoinOutcome::NotGivenBack;
    }
    events.OutputWritten(*written);
    return RejoinOutcome::GivenBack;
}

}  // namespace qs
