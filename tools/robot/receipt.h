#pragma once
// What a receipt says at a glance: one sentence (accepted, or refused and why), the findings
// grouped by kind with the lines each concerns and what to change. The receipt page and its JSON
// both say it this way.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/robot/store.h"

namespace robot {

struct Receipt;

/// The findings of one kind and one severity.
struct FindingGroup {
    bool error = false;
    bool blocks = false;               ///< its findings keep the log from being scored
    std::string kind;                  ///< the check's rule key; empty for a finding of the robot's own
    std::string title;                 ///< "a tab between the fields"; a finding of the robot's own: its text
    std::string advice;                ///< what to change, one sentence; empty when there is nothing to say
    std::vector<std::uint64_t> lines;  ///< the lines concerned, ascending, each once (0: the whole file)
    std::vector<const Finding*> findings;  ///< in line order
};

/// True when the finding keeps the log from being scored: an error of a check rule that blocks, or
/// an error of the robot's own (a log it cannot read or score).
bool blocksScoring(const Finding& finding);

/// The findings grouped: errors first, then warnings, the groups of each in the order of their first line.
std::vector<FindingGroup> groupFindings(const std::vector<Finding>& findings);

/// "line 7", "lines 15, 28 and 42", "lines 15, 28, 42, 50, 61 … (20 lines)", "the whole file".
std::string linesText(const std::vector<std::uint64_t>& lines);

/// The receipt's first sentence: accepted (with the QSOs, the score, what the committee may look at,
/// and that the log counts), or not accepted and why (what keeps it from being scored, with the
/// lines), or not scored.
std::string receiptSentence(const Receipt& receipt, const std::vector<FindingGroup>& groups);

}  // namespace robot
