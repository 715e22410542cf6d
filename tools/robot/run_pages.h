#pragma once
// The parts of the robot's pages about cross-check runs: the committee's list of runs with the one
// public run and the forms to publish or take it down, a run as JSON, and the station's own
// report of the published results on its receipt.

#include <optional>
#include <string>

#include "tools/robot/committee_page.h"
#include "tools/robot/pages.h"

namespace robot {

/// The committee's runs, a page of them: each finished run's outputs, the public one marked, the
/// forms to publish another (with or without the station reports) or take it down.
std::string runsTable(const CommitteeView& view, const std::string& csrfField);
/// A run as JSON: its state and progress, whether it is the public one (and with its reports), and
/// whether its files are in the database.
std::string runJson(const RunRecord& run);
/// The receipt's section with the station's report of the published results; empty when none.
std::string publishedReportSection(const std::optional<PublishedReport>& report);
/// The same as the JSON member "results", null when none.
std::string publishedReportJson(const std::optional<PublishedReport>& report);

}  // namespace robot
