#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "job/job_report.h"
#include "job/split_params.h"

namespace qs::cli {

// What a manifest keeps of a source: what the split read of it.
struct SourceFacts {
    Text path;
    std::int64_t size = 0;
    std::string sha256;
    TextFormat format;  // as the job's reader finds it
    Bytes tail;         // its last bytes (4 KiB), for what the pieces may lack at the end
    bool read = false;
};

inline constexpr std::string_view kManifestSuffix = ".manifest.json";
bool IsManifestPath(const std::string& path);

// Writes <source name>.manifest.json beside the pieces: the source, the mode and its values
// of the parameters, the seed and every piece in order, with the encoding it was written in. A
// file of that name is replaced only when older(path) says the folder held it, by that very
// name, before the job, and it is not reserved (read or written by the job): otherwise the
// manifest takes the name <source name> (k).manifest.json. A file system that ignores case
// answers a name as taken by a file of another spelling, which may be another source's
// manifest. False when not written.
bool WriteManifest(const SourceFacts& source, const SplitParams& params, std::uint64_t seed,
                   const std::vector<const ReportedOutput*>& pieces,
                   const std::function<bool(const Text&)>& reserved,
                   const std::function<bool(const Text&)>& older, Text* manifestPath);

// Checks every piece of the manifest against its size and SHA-256; the problems go into
// the report. False when the manifest itself cannot be read.
bool VerifyManifest(const Text& manifestPath, Report& report);

// Rejoins the pieces of the manifest into the source, in outputFolder (empty: where the
// source was). Refuses, writing nothing, when a piece is missing or changed, the result
// exists already or (byte modes) the result is not the source byte for byte.
void RejoinManifest(const Text& manifestPath, const Text& outputFolder, Report& report);

}  // namespace qs::cli
