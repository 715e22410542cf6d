#pragma once
// The committee's page and JSON: the uploads with their versions and the one that counts, the
// committee's choices, the cross-check runs, the calls received and not accepted, the wanted calls.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/robot/store.h"

namespace robot {

/// What the committee's page shows: the totals, a page of the uploads (those of the searched call),
/// a page of the cross-check runs and the newest run's station reports, the choices made, the calls
/// whose logs were refused, the wanted calls.
struct CommitteeView {
    UploadTotals totals;
    Page<UploadRecord> uploads;
    std::string search;            ///< the call searched for; empty: every upload
    std::int64_t uploadsPage = 1;  ///< counted from 1
    Page<RunRecord> runs;
    std::int64_t runsPage = 1;
    std::int64_t pageSize = 50;
    std::vector<std::string> runCalls;  ///< the newest run's station reports (of the searched call)
    std::vector<ChoiceEvent> choices;   ///< the audit trail, oldest first
    std::vector<RefusedCall> refused;
    std::vector<WantedCall> wanted;
    std::string csrf;  ///< the session's form token, carried by every form
};

/// How many wanted calls the page lists: it ends with them, and their head is what matters.
inline constexpr std::size_t kWantedOnPage = 30;

/// The committee's page; every form on it carries the session's token.
std::string committeePage(const CommitteeView& view);
/// The committee's page searching `call` (an address for a redirect).
std::string committeeAddressOf(const std::string& call);
/// Every upload grouped by call with its versions, the one that counts, the choices made.
std::string uploadsJson(const std::vector<UploadRecord>& uploads, const std::vector<ChoiceEvent>& choices);
/// The wanted calls, and the calls whose logs were received and not accepted.
std::string wantedJson(const std::vector<WantedCall>& wanted, const std::vector<RefusedCall>& refused);
/// An upload's standing after a choice: its call, whether it counts and whether it is chosen.
std::string choiceJson(const UploadRecord& upload);

}  // namespace robot
