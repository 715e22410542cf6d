#pragma once
// A log scored through the plug-in twice, as the host would score it: every QSO as claimed, and
// only the QSOs that keep credit as checked; then the committee's penalty.

#include <string>
#include <vector>

#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/crosscheck_output.h"
#include "tools/crosscheck/submission.h"
#include "tools/host/plugin_library.h"

namespace crosscheck {

/// The committee's choices the scoring follows.
struct ScoringRules {
    std::optional<std::chrono::sys_days> start, end;  ///< the contest period given to the reset
    Penalty penalty = Penalty::kNone;
    bool removeUniques = false;
};

/// Counts `checks` by verdict into `result.counts` and `result.lost`; the QSOs that keep credit.
std::vector<char> tally(const std::vector<QsoCheck>& checks, bool removeUniques, LogResult& result);

/// The contacts of `log` that `keep` selects, as the host would log them again.
replay::ReplayLog selected(const replay::ReplayLog& log, const std::vector<char>& keep);

/// Scores `contacts` (the log of `s` read again, one verdict per contact in `checks`) through
/// `plugin` in the current folder into `result`; false when the summary holds no score.
bool scoreLog(const host::PluginExports& plugin, const replay::ReplayLog& contacts, const Submission& s,
              const std::vector<QsoCheck>& checks, const ScoringRules& rules, const replay::CountryFile* countries,
              LogResult& result);

}  // namespace crosscheck
