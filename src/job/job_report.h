#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "encoding/text_format.h"
#include "job/failure.h"
#include "job/job_events.h"

namespace qs {

// The name the report gives an encoding ("UTF-8", "GB18030", ...); empty for bytes copied
// as they are, which were never decoded.
std::string EncodingName(TextEncoding code);
TextEncoding EncodingCode(std::string_view name);  // Undetected for an unknown name

struct ReportedOutput {
    Text path;
    std::int64_t bytes = 0;
    TextFormat format;
    std::size_t source = 0;  // a split's source, 1-based
    std::string sha256;      // when hashing was asked for
    Text heading;            // a chapter piece's heading
};

struct ReportedFailure {
    std::string kind;   // stable name for scripts: "unreadable", "not-written", ...
    std::string label;  // the window's label, UTF-8
    Text path;
    int systemError = 0;  // why, as the system said (an errno value); 0: no such reason
    std::string why{};    // why in the program's words, where the label holds it
};

ReportedFailure FromJob(FailureKind kind, const Text& path, int systemError = 0);
// A failure as a job told it, with its reason in the program's words where it has one: the
// offset from which a source does not decode, what keeps whole pieces from giving their
// source back.
ReportedFailure FromJob(const JobFailure& failure);

// A source as the job read it: the encoding it was decoded from, or none for bytes.
struct ReadSource {
    Text path;
    TextFormat format;
    TextEncoding guessedOver = TextEncoding::Undetected;  // as good: the format is a guess
    std::optional<ChapterContents> contents;              // a split at chapters found these
    TextDamage damage;  // bytes that do not decode, kept in the text
};

// A source whose text is the wreck of an earlier wrong conversion.
struct WreckedSource {
    Text path;
    std::string what;  // "replacement-characters", ...
    std::int64_t offset = 0;
};

// A merge unit whose members were ordered by their headings.
struct OrderedUnit {
    Text output;
    TextList members;
    ChapterContents contents;
};

struct Report {
    std::vector<ReportedOutput> outputs;  // not printed yet
    std::vector<ReadSource> sources;      // kept for the JSON object only
    TextList deleted;
    std::vector<ReportedFailure> failures;
    std::optional<std::uint64_t> seed;
    bool stopped = false;
    TextList checked;                  // verify: manifests found intact
    bool chapters = false;             // split at chapters: each piece is listed with its heading
    std::vector<UncutBook> uncut;      // books that do not look cut into chapters
    std::vector<OrderedUnit> ordered;  // kept for the JSON object only
    std::vector<WreckedSource> wrecked;
};

// What a job told of its outputs and failures, kept as a report for a face that shows them
// once the job is done.
struct ReportKeeper : JobEvents {
    void OutputWritten(const OutputRecord& o) override {
        report.outputs.push_back({o.path, o.bytes, o.format, o.source, {}, o.heading});
    }
    void Failed(const JobFailure& failure) override { report.failures.push_back(FromJob(failure)); }
    Report report;
};

// The line standard error gets: "qirnsplit: ", the window's label, the path and, where the
// system gave one, ": " and its reason.
std::string FailureLine(const ReportedFailure& failure);

// How the command line prints its report.
struct ReportStyle {
    bool dryRun = false;
    bool json = false;
    bool quiet = false;
};

// Standard output gets the outputs (or the JSON object), standard error the failures. The
// outputs are printed as the job writes them, so that none is kept for the report.
class ReportPrinter {
public:
    explicit ReportPrinter(const ReportStyle& common);
    void Output(const ReportedOutput& output, bool chapters);
    // A dry run names the encoding each source is read in, as the job reads it.
    void Source(const ReadSource& source);
    // A split at chapters: a dry run lists the contents on standard output; every run tells
    // the warnings (on standard error when pieces are written). JSON carries both in the
    // source's object instead.
    void Contents(const Text& path, const ChapterContents& contents);
    // The dry run's line on a source's damage.
    void Damaged(const ReadSource& source);
    // A merge in the order of the headings: a dry run lists the members in that order and
    // the book's contents; every run tells the warnings, as Contents does.
    void Order(const OrderedUnit& unit);
    // The outputs still held by the report, then everything else.
    void Finish(const Report& report);

private:
    const ReportStyle& m_common;
    bool m_begun = false;
};
// What the command line's exit status says of a report: 0 done, 1 failures or stopped.
int ExitStatusOf(const Report& report);

// The report as one JSON object, as --json prints it.
std::string ReportJson(const Report& report, bool dryRun);

// A text as it is shown: a name's bytes that are no UTF-8 as the window shows them.
std::string Utf8(const Text& internal);

}  // namespace qs
