#include "cli/source_manifest.h"

#include "cli/manifest.h"
#include "platform/services.h"
#include "platform/system_error.h"

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
    m.written = WriteManifest(facts, params, seed, pieces, reserved, older, &m.output.path);
    m.systemError = m.written ? 0 : LastSystemError();
    std::erase_if(kept, [&](const ReportedOutput& p) { return p.source <= split.index; });
    if (!m.written) {
        return m;
    }
    m.output.bytes = Fs().FileSize(m.output.path).value_or(0);
    m.output.format = TextFormat{TextEncoding::Utf8, false};
    m.output.source = split.index;
    Report check;
    m.givesSourceBack = !prove || (VerifyManifest(m.output.path, check) && !check.checked.empty());
    if (!m.givesSourceBack) {
        m.problems = std::move(check.failures);
    }
    return m;
}

}  // namespace qs::cli
