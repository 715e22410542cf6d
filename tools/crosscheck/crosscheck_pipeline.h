#pragma once
// The committee's cross-check as one library call: the logs read, reconciled and matched against
// each other, each scored through the plug-in as claimed and as checked, and the outputs made
// (CALL.ubn per log, results.csv, results.html). The command-line tool, the tests and the log
// robot call it; none of them parses another's text.

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/contest/contest_choice.h"
#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/crosscheck_output.h"

namespace logs {
class CountryFile;
}

namespace crosscheck {

/// The stages of a run, in order, as progress names them.
enum class Stage : std::uint8_t { kReading, kMatching, kScoring, kReporting, kWriting };

/// How far a run is: `done` of `total` items (logs, or 1 of 1 for the matching) of `stage`.
struct Progress {
    Stage stage = Stage::kReading;
    std::size_t done = 0;
    std::size_t total = 0;
};

/// What a cross-check is asked to do. Relative paths are taken from `baseFolder`.
struct CrossCheckRequest {
    /// Log files (Cabrillo or ADIF) or folders holding them (one level deep, in name order);
    /// "-" is standard input, read once into the scratch folder.
    std::vector<std::string> inputs;
    std::filesystem::path baseFolder;     ///< empty: the current folder at the call
    std::filesystem::path outputFolder;   ///< created; empty: nothing is written, the texts are returned
    std::filesystem::path qsoCsv;         ///< every QSO line with its verdict written here (CSV); empty: none
    /// Where the plug-in keeps err.txt and its settings while it scores; used as it is and left in
    /// place. Empty: a scratch folder of this process (memory-backed where the system has one),
    /// removed at the end.
    std::filesystem::path scratchFolder;
    std::filesystem::path pluginLibrary;  ///< the plug-in (Stats.dll, Stats.so) to score with
    /// The country file (CTY.DAT format) for the continents of the calls worked; empty: none;
    /// "-": standard input.
    std::filesystem::path countryFile;
    /// A country file the caller has loaded (the command line's start-up): used instead of
    /// `countryFile`, and must outlive the call.
    const logs::CountryFile* countries = nullptr;

    /// The contest, resolved from its definition: the QSO lines' layout, bands, modes, periods, exchange
    /// and scoring. The built-in SA-TOLVEN's logs are read as its host reads them and scored through the
    /// plug-in (contest::scoringKindOf).
    contest::ContestDefinition contest = contest::builtinContest();
    std::int64_t windowSeconds = 180;  ///< QSOs match within this once the clock offsets are off
    std::optional<std::chrono::sys_days> start, end;  ///< the contest period (UTC days), if checked
    Penalty penalty = Penalty::kNone;
    bool removeUniques = false;  ///< uniques lose credit in the checked score
    bool callFromName = false;   ///< a log naming no own call is the station of its file name
    std::vector<std::string> acceptContests;  ///< other Cabrillo CONTEST: names used (upper case)
    unsigned jobs = 0;  ///< threads for reading, matching and reports; 0: the machine's cores
    /// Logs received but not accepted (refused before the cross-check): results.html counts and
    /// lists them with the reason, and the reports name such a call "CALL: log received, not
    /// accepted" where they would say it sent no log. Scored as any station that sent no log.
    std::vector<ReceivedLog> notAccepted;
    /// results.html links each call to its report file in the same folder; false: calls only.
    bool linkReports = true;
    /// The results page without links is made too (CrossCheckRun::resultsHtmlUnlinked), for results
    /// published without the station reports.
    bool unlinkedPage = false;
    /// Each log's report text and lines are kept in the result. False (with an output folder): each
    /// report is written as soon as it is made and let go, which keeps a large contest's memory down.
    bool keepReports = true;

    /// Called with each line for the operator as it arises (a skipped line, a log set aside); one
    /// call at a time, possibly from a worker thread.
    std::function<void(std::string_view)> onNote;
    /// Called at the start of each stage and as its items are done, in order; one call at a time,
    /// possibly from a worker thread.
    std::function<void(const Progress&)> onProgress;
};

/// One usable log's outcome: its numbers, its flagged QSOs and its report.
struct LogCheck {
    LogResult result;
    std::vector<ReportLine> lines;    ///< this log's flagged QSOs, by line
    std::vector<CopiedLine> copied;   ///< other logs' QSOs that miscopied this station
    std::string reportText;           ///< the report (result.reportFile in the output folder)
};

/// What a cross-check gave.
struct CrossCheckRun {
    /// Why the run stopped or its outputs are incomplete (one line); empty when it ran through.
    std::string failure;
    std::vector<LogCheck> logs;         ///< the usable logs, by call
    std::vector<UnusableLog> unusable;  ///< the logs set aside, with the reason
    std::string resultsCsv;
    std::string resultsHtml;
    std::string resultsHtmlUnlinked;  ///< with CrossCheckRequest::unlinkedPage: the page without links
    std::array<std::size_t, kVerdictCount> totals{};  ///< QSOs per Verdict over all usable logs
    std::size_t qsoCount = 0;                         ///< QSO lines judged over all usable logs
    std::vector<std::string> notes;                   ///< every line given to onNote, in order

    bool ok() const noexcept { return failure.empty(); }
    /// True when at least one log could be used: a run with none is no result.
    bool anyLogUsed() const noexcept { return !logs.empty(); }
    std::size_t total(Verdict verdict) const noexcept { return totals[static_cast<std::size_t>(verdict)]; }
};

/// Runs the whole cross-check of `request`. The scoring loads the plug-in into this process and
/// works in the scratch folder as the current folder (restored before it returns), so one run at a
/// time per process. Throws nothing that it can report as `failure`.
CrossCheckRun checkLogFiles(const CrossCheckRequest& request);

/// The threads `jobs` asks for: itself, or the machine's cores (at least 1) for 0.
unsigned workerCount(unsigned jobs) noexcept;

}  // namespace crosscheck
