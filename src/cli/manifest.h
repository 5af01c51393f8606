#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "job/job_report.h"
#include "job/result.h"
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
// manifest. The manifest as written (its path, size and encoding); a NotWritten error on the
// path it tried.
Result<ReportedOutput> WriteManifest(const SourceFacts& source, const SplitParams& params,
                                     std::uint64_t seed,
                                     const std::vector<const ReportedOutput*>& pieces,
                                     const std::function<bool(const Text&)>& reserved,
                                     const std::function<bool(const Text&)>& older);

}  // namespace qs::cli
