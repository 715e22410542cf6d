#pragma once
// The robot's HTML pages. Every text from a log or a request is escaped; no page needs a script.

#include <optional>
#include <string>
#include <vector>

#include "tools/robot/store.h"

namespace robot {

/// What an upload's answer says, for the JSON answer and the receipt page alike.
struct Receipt {
    std::string state;  ///< "accepted", "refused", "failed"
    std::string confirmation;
    std::string call;
    std::int64_t qsos = 0;
    std::optional<std::int64_t> score;
    std::optional<std::string> claimed;
    bool late = false;
    std::vector<Finding> findings;
    std::string reportPath;  ///< empty when there is no report page
    std::string received;
    bool accepted() const { return state == "accepted"; }
};

/// The upload form: a file field and a box to paste the log into.
std::string uploadPage(const std::string& notice);
/// The answer to an upload from the form.
std::string receiptPage(const Receipt& receipt);
/// The upload's answer as JSON.
std::string receiptJson(const Receipt& receipt);
/// The logs that count, for everyone.
std::string logsPage(const std::vector<UploadRecord>& logs);
std::string logsJson(const std::vector<UploadRecord>& logs);
/// A page with a heading and one paragraph.
std::string messagePage(const std::string& title, const std::string& text);
/// The committee's sign-in form.
std::string signInPage(const std::string& notice);
/// The committee's page: uploads, wanted calls, cross-check runs, with forms that carry `csrf`.
std::string committeePage(const std::vector<UploadRecord>& uploads, const std::vector<WantedCall>& wanted,
                          const std::vector<RunRecord>& runs, const std::vector<std::string>& runCalls,
                          const std::string& csrf);
/// The committee's JSON: every upload grouped by call with its versions; the wanted calls; a run.
std::string uploadsJson(const std::vector<UploadRecord>& uploads);
std::string wantedJson(const std::vector<WantedCall>& wanted);
std::string runJson(const RunRecord& run);

}  // namespace robot
