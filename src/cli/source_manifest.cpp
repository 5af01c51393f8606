#include "cli/source_manifest.h"

#include "cli/manifest.h"
#include "merge/manifest_rejoin.h"

namespace qs::cli {

SourceManifest WriteSourceManifest(const SplitSource& split, const SplitParams& params,
                                   std::uint64_t seed, std::vector<ReportedOutput>& kept,
                                   const std::function<bool(const Text&)>& reserved, bool prove) {
    std::vector<const ReportedOutput*> pieces;
    for (const ReportedOutput& p : kept) {
        if (p.source == split.index) {
            pieces.push_back(&p);
        }
    }
    const SourceFacts facts{split.path,   split.read.size, split.read.sha256,
                            split.format, split.read.tail, true};
    const auto older = [&split](const Text& path) {
        return split.older != nullptr && split.older->Holds(path);
    };
    SourceManifest m;
    Result<ReportedOutput> written = WriteManifest(facts, params, seed, pieces, reserved, older);
    std::erase_if(kept, [&](const ReportedOutput& p) { return p.source <= split.index; });
    if (!written) {
        m.output.path = written.error().path;
        m.systemError = written.error().systemError;
        return m;
    }
    m.written = true;
    m.output = std::move(*written);
    m.output.source = split.index;
    // Read back, the manifest must give the source back before the source may go.
    ReportKeeper check;
    m.givesSourceBack =
        !prove || RunRejoinJob({m.output.path, false, Text()}, check) == RejoinOutcome::GivenBack;
    if (!m.givesSourceBack) {
        m.problems = std::move(check.report.failures);
    }
    return m;
}

}  // namespace qs::cli
