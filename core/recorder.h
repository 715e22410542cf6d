#pragma once
// Recording and withdrawing the host's contacts.

#include <string>

#include "core/contest.h"

namespace stats {

/// The stored record of an accepted contact: its texts, kHz and time, and the multiplier it carries.
CInfo recordOf(const QsoParams& qso);

/// Applies the acceptance and dupe rules and stores an accepted contact (dupes included).
/// The error-log lines it calls for (a rejection, or one per earlier contact with the same call,
/// band and mode) are appended to `errorLines`. Returns 1 when stored, 0 when rejected.
int recordQso(ContestState& state, const QsoParams& qso, std::string& errorLines);

/// Withdraws the contact the host deleted and marks the dupes of its call, band and mode afresh.
/// Returns 0 when either serial number is empty (nothing removed), else 1.
int removeQso(ContestState& state, const QsoParams& qso);

}  // namespace stats
