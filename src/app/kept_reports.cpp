#include "app/kept_reports.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "fs/paths.h"
#include "platform/process.h"
#include "platform/services.h"

namespace qs {
namespace {

const Text kLastReport = "last.json";
constexpr std::size_t kStampSize = 19;  // 20261210T130512.345

// The order of a kept report among the others: its stamp, then its "-n" (none: 1). Empty
// for any other file, which the folder keeps whatever it is.
std::optional<std::pair<Text, long>> ReportOrder(const DirEntry& entry) {
    const Text& name = entry.name;
    if (entry.isFolder || name.size() < kStampSize + 5 ||
        name.compare(name.size() - 5, 5, ".json") != 0 || name[8] != 'T' || name[15] != '.') {
        return std::nullopt;
    }
    const Text rest = name.substr(kStampSize, name.size() - 5 - kStampSize);
    long n = 1;
    if (!rest.empty()) {
        if (rest[0] != '-' || rest.size() < 2 || rest.size() > 10 ||
            rest.find_first_not_of("0123456789", 1) != Text::npos) {
            return std::nullopt;
        }
        n = std::stol(rest.substr(1));
    }
    for (std::size_t i = 0; i < kStampSize; ++i) {
        if (i != 8 && i != 15 && (name[i] < '0' || name[i] > '9')) {
            return std::nullopt;
        }
    }
    return std::make_pair(name.substr(0, kStampSize), n);
}

// The kept reports of the folder, oldest first.
std::vector<std::pair<std::pair<Text, long>, Text>> KeptInOrder(const Text& folder) {
    std::vector<std::pair<std::pair<Text, long>, Text>> kept;
    if (std::optional<std::vector<DirEntry>> entries = Fs().List(folder)) {
        for (const DirEntry& e : *entries) {
            if (std::optional<std::pair<Text, long>> order = ReportOrder(e)) {
                kept.emplace_back(std::move(*order), e.name);
            }
        }
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

// Writes the report under a name of the stamp after every kept one (a name freed by pruning
// would sort among the oldest); a name another job (of this window or another) took in the
// meantime is never written over.
Text KeepUnderFreeName(const Text& folder, const std::string& json, const std::string& stamp) {
    long first = 1;
    for (const auto& [order, name] : KeptInOrder(folder)) {
        if (order.first == stamp) {
            first = std::max(first, order.second + 1);
        }
    }
    for (long n = first; n < first + 1000; ++n) {
        const Text path =
            folder + "/" + stamp + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".json";
        const std::unique_ptr<AtomicWriter> out = Fs().CreateAtomic(path);
        if (!out || !out->Write(json)) {
            return Text();
        }
        switch (out->CommitNew(path)) {
            case AtomicWriter::NameResult::Named:
                return path;
            case AtomicWriter::NameResult::Failed:
                return Text();
            case AtomicWriter::NameResult::Taken:
                break;
        }
    }
    return Text();
}

}  // namespace

Text ReportsFolder(const Text& xdgStateHome, const Text& home) {
    Text base;
    if (!xdgStateHome.empty() && xdgStateHome[0] == '/') {
        base = xdgStateHome;
    } else if (!home.empty()) {
        base = home + "/.local/state";
    } else {
        return Text();
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/qirnsplit/reports";
}

Text ReportsFolder() {
    return ReportsFolder(EnvironmentValue("XDG_STATE_HOME").value_or(Text()),
                         EnvironmentValue("HOME").value_or(Text()));
}

std::string ReportStamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d.%03d", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

Text KeepReport(const Text& folder, const std::string& json, const std::string& stamp) {
    if (folder.empty() || !EnsureDirectoryChain(folder + "/")) {
        return Text();
    }
    const Text path = KeepUnderFreeName(folder, json, stamp);
    if (path.empty()) {
        return Text();
    }
    Fs().WriteWholeFile(folder + "/" + kLastReport, json);
    const auto kept = KeptInOrder(folder);
    for (std::size_t i = 0; i + kKeptReports < kept.size(); ++i) {
        if (folder + "/" + kept[i].second != path) {
            Fs().DeleteFile(folder + "/" + kept[i].second);
        }
    }
    return path;
}

}  // namespace qs
