#pragma once
// The robot's HTML pages. Every text from a log or a request is escaped; no page needs a script.

#include <optional>
#include <string>
#include <vector>

#include "tools/robot/store.h"

namespace robot {

/// A station's report in the published results, and which version of its log they were made from.
struct PublishedReport {
    enum class Version { kThis, kEarlier, kLater };  ///< the version cross-checked, to the receipt's
    std::int64_t run = 0;
    Version version = Version::kThis;
    std::string versionReceived;  ///< when the version cross-checked was received
    std::string text;
};

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
    std::optional<PublishedReport> published;  ///< the station's report, once results are published
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
/// What the committee's page shows: a page of the uploads (those of the searched call), a page of
/// the cross-check runs, the wanted calls, and the newest run's station reports.
struct CommitteeView {
    Page<UploadRecord> uploads;
    std::string search;           ///< the call searched for; empty: every upload
    std::int64_t uploadsPage = 1;  ///< counted from 1
    Page<RunRecord> runs;
    std::int64_t runsPage = 1;
    std::int64_t pageSize = 50;
    std::vector<WantedCall> wanted;
    std::vector<std::string> runCalls;  ///< the newest run's station reports (of the searched call)
    std::size_t runCallsTotal = 0;      ///< how many the run has in all
    std::string csrf;                   ///< the session's form token, carried by every form
};
/// The committee's page: a page at a time of the uploads (each with the count of its findings and
/// a link to its receipt) and of the runs, a search by call, the wanted calls, the forms.
std::string committeePage(const CommitteeView& view);
/// The committee's JSON: every upload grouped by call with its versions; the wanted calls.
std::string uploadsJson(const std::vector<UploadRecord>& uploads);
std::string wantedJson(const std::vector<WantedCall>& wanted);

}  // namespace robot
