#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/run_control.h"
#include "cli/command_line.h"
#include "cli/output_recorder.h"
#include "encoding/text_decoder.h"
#include "split/chapter_split.h"

namespace qs::cli {

// How the program reads an output: the encoding its detection gives for the first bytes,
// and whether they begin with that encoding's byte-order mark.
struct EncodingFacts {
    TextEncoding code = EncodingRaw;
    std::string name;
    bool mark = false;
};
EncodingFacts EncodingOf(std::string_view head);
std::string EncodingName(TextEncoding code);
TextEncoding EncodingCode(std::string_view name);  // 0 for an unknown name

struct ReportedFailure {
    std::string kind;   // stable name for scripts: "unreadable", "not-written", ...
    std::string label;  // the window's label, UTF-8
    Text path;
};

ReportedFailure FromJob(FailureKind kind, const Text& path);
ReportedFailure Missing(const Text& path);
ReportedFailure Changed(const Text& path);
ReportedFailure Exists(const Text& path);
// The pieces are whole but do not give the source back; why says what the split changed.
ReportedFailure NotRestorable(const Text& path, const std::string& why);

struct Report {
    std::vector<RecordedOutput> outputs;
    TextList deleted;
    std::vector<ReportedFailure> failures;
    std::optional<std::uint64_t> seed;
    bool stopped = false;
    TextList checked;              // verify: manifests found intact
    HeadingTest isHeading;         // split at chapters: each piece is listed with its heading
    std::vector<UncutBook> uncut;  // books that do not look cut into chapters
};

// Standard output gets the outputs (or the JSON object), standard error the failures.
void PrintReport(const Report& report, const CommonOptions& common);
int ExitStatusOf(const Report& report);

std::string Utf8(const Text& internal);

}  // namespace qs::cli
