#include "cli/job_path.h"

#include <filesystem>
#include <vector>

#include "platform/native_names.h"
#include "platform/services.h"

namespace qs::cli {
namespace {

// The path up to its last ".." as the file system resolves it: after a link, ".." leads to
// the parent of the link's target, as every other program finds it. The rest is text. The
// path is an internal text, in which "/" and "." are never part of another character.
std::optional<std::filesystem::path> ResolveParentSteps(const std::filesystem::path& absolute) {
    const std::vector<std::filesystem::path> parts(absolute.begin(), absolute.end());
    std::size_t last = parts.size();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == "..") {
            last = i;
        }
    }
    if (last == parts.size()) {
        return absolute;
    }
    std::filesystem::path head, tail;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        (i <= last ? head : tail) /= parts[i];
    }
    const std::optional<Text> resolved = Fs().ResolveLinks(head.string());
    if (!resolved) {
        return std::nullopt;
    }
    return std::filesystem::path(*resolved) / tail;
}

}  // namespace

std::optional<Text> ToJobPath(const std::string& given) {
    if (given.empty()) {
        return std::nullopt;  // names no file
    }
    std::filesystem::path p(NativeToInternal(given));
    if (p.is_relative()) {
        const std::optional<Text> current = Fs().CurrentFolder();
        if (!current) {
            return std::nullopt;
        }
        p = std::filesystem::path(*current) / p;
    }
    const std::optional<std::filesystem::path> resolved = ResolveParentSteps(p);
    if (!resolved) {
        return std::nullopt;
    }
    Text path = resolved->lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace qs::cli
