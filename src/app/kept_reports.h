#pragma once

#include <string>

#include "text/text.h"

namespace qs {

// The folder the window keeps its jobs' reports in: $XDG_STATE_HOME/qirnsplit/reports, by
// default ~/.local/state/qirnsplit/reports; empty when neither is known. xdgStateHome and
// home may be empty (unset).
Text ReportsFolder(const Text& xdgStateHome, const Text& home);
Text ReportsFolder();

// How many reports the folder keeps; the oldest go first.
inline constexpr std::size_t kKeptReports = 50;

// Keeps one report (UTF-8 JSON) as <time>.json and as last.json in the folder, made when
// missing, and removes the oldest beyond kKeptReports. stamp names the file
// ("20261210T130512.345"); a taken name gets "-2", "-3"... The path kept, or empty when the
// report could not be written.
Text KeepReport(const Text& folder, const std::string& json, const std::string& stamp);
// The current time as such a stamp, in UTC.
std::string ReportStamp();

}  // namespace qs
