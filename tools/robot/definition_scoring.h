#pragma once
// An upload of a contest other than SA-TOLVEN, scored by the contest's definition without the
// plug-in: its QSOs read and judged alone as the committee's cross-check judges them before it
// matches the logs (dupes, bands, modes, numbers, the period), the score the log claims by the
// definition's scoring, and the report page of the replay's analysis, fed with those verdicts in
// place of the plug-in's answers.

#include <filesystem>
#include <string>

#include "tools/contest/contest_definition.h"
#include "tools/robot/scoring.h"
#include "tools/robot/store.h"

namespace logs {
class CountryFile;
}
namespace host {
class Startup;
}

namespace robot {

/// What scoring an upload reads once the check has said what the log is.
struct UploadJob {
    const std::string& bytes;
    const std::filesystem::path& folder;
    const ScoreSettings& settings;
    const contest::ContestDefinition& contest;
    const logs::CountryFile* countries;
};

/// How an upload's QSOs are scored: through the plug-in (its own contest, the log replayed with the
/// check and the report) or by the contest's definition. uploadScoring is the one place that chooses.
class UploadScoring {
  public:
    virtual ~UploadScoring() = default;
    /// Scores the upload into `o`: its score, QSOs, the calls worked, the report and the findings.
    virtual void score(const UploadJob& job, host::Startup& startup, UploadOutcome& o) const = 0;
};

/// The scoring of `contest`'s uploads (contest::scoringKindOf).
const UploadScoring& uploadScoring(const contest::ContestDefinition& contest);

/// Scores the log in `logFile` by `contest` into `o`: its score, QSOs, the calls worked and the report
/// page, which lists `o.findings` too. A log the cross-check could not use gets an error finding
/// that says why. `countries` may be null (only the points rules for any station then apply).
void scoreByDefinition(const std::filesystem::path& logFile, const contest::ContestDefinition& contest,
                       const ScoreSettings& settings, const logs::CountryFile* countries, UploadOutcome& o);

}  // namespace robot
