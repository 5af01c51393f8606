#include "app/kept_reports.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "fs/paths.h"
#include "platform/process.h"
#include "platform/services.h"

namespace qs {
namespace {

const Text kLastReport = "last.json";

bool IsKeptReport(const DirEntry& entry) {
    const Text& name = entry.name;
    return !entry.isFolder && name != kLastReport && name.size() > 5 &&
           name.compare(name.size() - 5, 5, ".json") == 0;
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
    Text path = folder + "/" + stamp + ".json";
    for (int n = 2; Fs().Exists(path); ++n) {
        path = folder + "/" + stamp + "-" + std::to_string(n) + ".json";
    }
    if (!Fs().WriteWholeFile(path, json)) {
        return Text();
    }
    Fs().WriteWholeFile(folder + "/" + kLastReport, json);
    if (std::optional<std::vector<DirEntry>> entries = Fs().List(folder)) {
        std::vector<Text> kept;
        for (const DirEntry& e : *entries) {
            if (IsKeptReport(e)) {
                kept.push_back(e.name);
            }
        }
        // The stamps sort as the times they name.
        std::sort(kept.begin(), kept.end());
        for (std::size_t i = 0; i + kKeptReports < kept.size(); ++i) {
            Fs().DeleteFile(folder + "/" + kept[i]);
        }
    }
    return path;
}

}  // namespace qs
