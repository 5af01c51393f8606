#include "cli/manifest.h"

#include <nlohmann/json.hpp>
#include <set>

#include "encoding/charset_converter.h"
#include "encoding/text_slices.h"
#include "fs/output_names.h"
#include "fs/paths.h"
#include "job/json_path.h"
#include "job/rejoin_pieces.h"
#include "platform/native_names.h"
#include "platform/services.h"
#include "platform/sha256.h"
#include "platform/system_error.h"
#include "text/characters.h"

namespace qs::cli {
namespace {

using nlohmann::json;

struct FileHash {
    bool read = false;
    std::int64_t size = 0;
    std::string sha256;
};

FileHash HashFile(const Text& path) {
    FileHash hash;
    const std::unique_ptr<ReadHandle> in = Fs().OpenRead(path);
    if (const std::optional<HandleDigest> digest = in ? Sha256OfRest(*in) : std::nullopt) {
        hash = {true, digest->size, digest->sha256};
    }
    return hash;
}

json ModeOf(const SplitParams& params) {
    if (const auto* m = std::get_if<SplitIntoPartsParams>(&params.mode)) {
        return {{"name", "parts"}, {"count", m->count}};
    }
    if (const auto* m = std::get_if<SplitBySizeParams>(&params.mode)) {
        return {{"name", "size"}, {"bytes", m->PieceBytes()}};
    }
    if (const auto* m = std::get_if<SplitByLinesParams>(&params.mode)) {
        json mode = {{"name", "lines"},
                     {"min", m->min},
                     {"max", m->max},
                     {"skipBlankLines", params.skipBlankLines && !m->keepBreaks}};
        if (m->keepBreaks) {
            mode["keepLineBreaks"] = true;  // the pieces join as they are
        }
        return mode;
    }
    if (const auto* m = std::get_if<SplitByCharsParams>(&params.mode)) {
        return {{"name", "chars"}, {"min", m->min}, {"max", m->max}};
    }
    if (const auto* m = std::get_if<SplitAtSeparatorParams>(&params.mode)) {
        return {{"name", "separator"}, {"text", Utf8(m->separator)}};
    }
    if (const auto* m = std::get_if<SplitAtChaptersParams>(&params.mode)) {
        // Nothing is cut away between chapters: the pieces join as they are.
        return {
            {"name", "chapters"}, {"expression", Utf8(m->expression)}, {"perPiece", m->perPiece}};
    }
    return {{"name", "none"}};
}

json EncodingJson(const TextFormat& format) {
    const std::string name = EncodingName(format.encoding);
    return name.empty() ? json() : json(name);
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
    json data;
    Text sourceName;
    std::vector<Piece> pieces;
};

// Reads and checks the manifest's shape; names that would leave its folder are refused.
bool Load(const Text& manifestPath, LoadedManifest& loaded) {
    const std::optional<Bytes> bytes = Fs().ReadWholeFile(manifestPath);
    if (!bytes) {
        return false;
    }
    loaded.data = json::parse(*bytes, nullptr, false);
    const json& d = loaded.data;
    if (!d.is_object() || !d.contains("source") || !d["source"].is_object() ||
        !d.contains("pieces") || !d["pieces"].is_array() ||
        !NameOf(d["source"], loaded.sourceName)) {
        return false;
    }
    const Text folder = PathDirectory(manifestPath);
    for (const json& p : d["pieces"]) {
        Text name;
        if (!p.is_object() || !NameOf(p, name) || !p.value("size", json()).is_number_integer() ||
            !p.value("sha256", json()).is_string()) {
            return false;
        }
        loaded.pieces.push_back(
            {folder + "/" + name, p["size"].get<std::int64_t>(), p["sha256"].get<std::string>()});
    }
    return true;
}

// Adds every piece that is not the file the split wrote, as its entry says, to the report:
// missing, a link (which may lead anywhere), changed, or named twice. True when all are whole.
bool CheckPieces(const LoadedManifest& loaded, const Text& manifestPath, Report& report) {
    bool intact = true;
    std::set<Text> links, seen;
    const Text folder = PathDirectory(manifestPath);
    if (const auto entries = Fs().List(folder)) {
        for (const DirEntry& e : *entries) {
            if (e.isLink) {
                links.insert(folder + "/" + e.name);
            }
        }
    } else {
        report.failures.push_back(FromJob(FailureKind::Unreadable, folder, LastSystemError()));
        return false;
    }
    for (const Piece& piece : loaded.pieces) {
        if (!seen.insert(piece.path).second) {
            report.failures.push_back(Changed(manifestPath));  // an entry given twice
            intact = false;
            continue;
        }
        if (!Fs().IsFile(piece.path)) {
            report.failures.push_back(Missing(piece.path));
            intact = false;
            continue;
        }
        if (links.count(piece.path) > 0) {
            report.failures.push_back(Changed(piece.path));
            intact = false;
            continue;
        }
        const FileHash hash = HashFile(piece.path);
        if (!hash.read) {
            report.failures.push_back(
                FromJob(FailureKind::Unreadable, piece.path, LastSystemError()));
            intact = false;
        } else if (hash.size != piece.size || hash.sha256 != piece.sha256) {
            report.failures.push_back(Changed(piece.path));
            intact = false;
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

// The one check behind verify and the rejoin: every piece is the file the split wrote, and
// the whole they give back, recomputed from them, is the source by its size and SHA-256, in
// the order of the manifest. The whole goes to out when one is given. named: what a whole
// that differs is reported as.
bool RejoinWhole(const LoadedManifest& loaded, const Text& manifestPath, const Text& named,
                 Report& report, AtomicWriter* out) {
    if (!CheckPieces(loaded, manifestPath, report)) {
        return false;
    }
    const json& d = loaded.data;
    const json& source = d["source"];
    const json mode = d.value("mode", json::object());
    const std::string name = mode.value("name", "");
    const json encoding = source.value("encoding", json());
    RejoinPlan plan;
    plan.pieceCount = loaded.pieces.size();
    plan.piece = [&](std::size_t i) { return PieceFile{loaded.pieces[i].path, std::nullopt}; };
    plan.bytes = JoinsAsBytes(mode);
    plan.source = {EncodingCode(encoding.is_string() ? encoding.get<std::string>() : ""),
                   source.value("mark", false)};
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
    const std::optional<RejoinFailure> failure = RejoinPieces(plan, out);
    if (!failure) {
        return true;
    }
    switch (failure->kind) {
        case RejoinFailure::Kind::Unreadable:
            report.failures.push_back(
                FromJob(FailureKind::Unreadable, failure->path, failure->systemError));
            break;
        case RejoinFailure::Kind::Changed:
            report.failures.push_back(Changed(failure->path.empty() ? named : failure->path));
            break;
        case RejoinFailure::Kind::NotRestorable:
            report.failures.push_back(
                NotRestorable(named, failure->why.empty() ? WhyNotRestorable(d) : failure->why));
            break;
        case RejoinFailure::Kind::NotWritten:
            report.failures.push_back(
                FromJob(FailureKind::NotWritten, named, failure->systemError));
            break;
    }
    return false;
}

}  // namespace

bool IsManifestPath(const std::string& path) {
    return path.size() > kManifestSuffix.size() &&
           path.compare(path.size() - kManifestSuffix.size(), kManifestSuffix.size(),
                        kManifestSuffix) == 0;
}

bool WriteManifest(const SourceFacts& source, const SplitParams& params, std::uint64_t seed,
                   const std::vector<const ReportedOutput*>& pieces,
                   const std::function<bool(const Text&)>& reserved,
                   const std::function<bool(const Text&)>& older, Text* manifestPath) {
    if (pieces.empty()) {
        return false;
    }
    const Text sourceName = PathFileName(source.path);
    json j;
    j["source"] = {{"size", source.size},
                   {"sha256", source.sha256},
                   {"encoding", EncodingJson(source.format)},
                   {"mark", source.format.mark}};
    PutPath(j["source"], "name", sourceName);
    j["subfolder"] = params.subfolder;
    j["mode"] = ModeOf(params);
    j["converted"] = {{"encoding", params.output.encoding.has_value()},
                      {"zh", params.output.zh != ZhConversion::None}};
    j["seed"] = seed;
    if (std::holds_alternative<SplitAtSeparatorParams>(params.mode)) {
        j["lacking"] = {{"end", Utf8(LackingEnd(params, source.format, source.tail))}};
    }
    j["pieces"] = json::array();
    // The pieces go in one line each, without a tree of them all in memory. The key can only
    // be found as the key: a quote inside a text is escaped.
    std::string text = j.dump(2) + "\n";
    const std::string key = "\"pieces\": [";
    std::size_t at = text.find(key) + key.size();
    std::string list;
    for (const ReportedOutput* piece : pieces) {
        list += list.empty() ? "\n    " : ",\n    ";
        json entry = {{"size", piece->bytes},
                      {"sha256", piece->sha256},
                      {"encoding", EncodingJson(piece->format)},
                      {"mark", piece->format.mark}};
        PutPath(entry, "name", PathFileName(piece->path));
        list += entry.dump();
    }
    text.insert(at, list + "\n  ");
    // Named after the source, cut to fit; it replaces an older manifest, never a file the
    // job read or wrote or one of another spelling, which leaves it a " (k)" name.
    const Text folder = PathDirectory(pieces.front()->path) + "/";
    const Text suffix(kManifestSuffix);
    const Text fitted = FitFileName(sourceName, "", suffix);
    Text path = folder + (fitted.empty() ? sourceName + suffix : fitted);
    std::unique_ptr<AtomicWriter> out = Fs().CreateAtomic(path);
    int k = 2;
    const bool written =
        out && out->Write(text) &&
        NameWithoutReplacing(
            *out, path, reserved, [&] { return !reserved(path) && older(path); },
            [&](int variant) {
                const Text name = FitFileName(sourceName, VariantSuffix(variant), suffix);
                return name.empty() ? name : folder + name;
            },
            [&k]() -> int& { return k; }, kMaxNameVariants) == AtomicWriter::NameResult::Named;
    if (manifestPath) {
        *manifestPath = path;
    }
    return written;
}

bool VerifyManifest(const Text& manifestPath, Report& report) {
    LoadedManifest loaded;
    if (!Load(manifestPath, loaded)) {
        report.failures.push_back(
            FromJob(FailureKind::Unreadable, manifestPath, LastSystemError()));
        return false;
    }
    if (RejoinWhole(loaded, manifestPath, manifestPath, report, nullptr)) {
        report.checked.push_back(manifestPath);
    }
    return true;
}

void RejoinManifest(const Text& manifestPath, const Text& outputFolder, Report& report) {
    LoadedManifest loaded;
    if (!Load(manifestPath, loaded)) {
        report.failures.push_back(
            FromJob(FailureKind::Unreadable, manifestPath, LastSystemError()));
        return;
    }
    const json& source = loaded.data["source"];
    Text folder = outputFolder;
    if (folder.empty()) {
        folder = PathDirectory(manifestPath);
        if (loaded.data.value("subfolder", false)) {
            folder = PathDirectory(folder);
        }
    }
    const Text target = folder + "/" + loaded.sourceName;
    if (Fs().Exists(target)) {
        report.failures.push_back(Exists(target));
        return;
    }
    std::unique_ptr<AtomicWriter> out = Fs().CreateAtomic(target);
    if (!out) {
        report.failures.push_back(FromJob(FailureKind::NotWritten, target, LastSystemError()));
        return;
    }
    if (!RejoinWhole(loaded, manifestPath, target, report, out.get())) {
        return;  // the writer goes without a name
    }
    // A file that took the name meanwhile is not replaced either.
    const AtomicWriter::NameResult result = out->CommitNew(target);
    if (result == AtomicWriter::NameResult::Taken) {
        report.failures.push_back(Exists(target));
        return;
    }
    if (result != AtomicWriter::NameResult::Named) {
        report.failures.push_back(FromJob(FailureKind::NotWritten, target, LastSystemError()));
        return;
    }
    const json named = source.value("encoding", json());
    report.outputs.push_back({target,
                              Fs().FileSize(target).value_or(0),
                              {EncodingCode(named.is_string() ? named.get<std::string>() : ""),
                               source.value("mark", false)},
                              0,
                              {},
                              {}});
}

}  // namespace qs::cli
