#include "cli/manifest.h"

#include <nlohmann/json.hpp>

#include "fs/output_names.h"
#include "fs/paths.h"
#include "job/json_path.h"
#include "job/rejoin_pieces.h"
#include "platform/services.h"
#include "platform/system_error.h"

namespace qs::cli {
namespace {

using nlohmann::json;

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

}  // namespace

bool IsManifestPath(const std::string& path) {
    return path.size() > kManifestSuffix.size() &&
           path.compare(path.size() - kManifestSuffix.size(), kManifestSuffix.size(),
                        kManifestSuffix) == 0;
}

Result<ReportedOutput> WriteManifest(const SourceFacts& source, const SplitParams& params,
                                     std::uint64_t seed,
                                     const std::vector<const ReportedOutput*>& pieces,
                                     const std::function<bool(const Text&)>& reserved,
                                     const std::function<bool(const Text&)>& older) {
    if (pieces.empty()) {
        return Error{FailureKind::NotWritten, Text()};
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
    if (!out || !out->Write(text)) {
        return Error{FailureKind::NotWritten, path, LastSystemError()};
    }
    int k = 2;
    const AtomicWriter::NameResult named = NameWithoutReplacing(
        *out, path, reserved, [&] { return !reserved(path) && older(path); },
        [&](int variant) {
            const Text name = FitFileName(sourceName, VariantSuffix(variant), suffix);
            return name.empty() ? name : folder + name;
        },
        [&k]() -> int& { return k; }, kMaxNameVariants);
    if (named != AtomicWriter::NameResult::Named) {
        return Error{FailureKind::NotWritten, path, LastSystemError()};
    }
    return ReportedOutput{
        path, static_cast<std::int64_t>(text.size()), TextFormat{TextEncoding::Utf8, false}, 0, {},
        {}};
}

}  // namespace qs::cli
