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
    std::int64_t id = 0;  ///< the upload's number, as the committee's page and API name it
    std::string state;    ///< "accepted", "refused", "failed"
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

/// What the upload page tells a contester before the form: the contest, the deadline and what is taken.
struct UploadInvitation {
    std::string contest;   ///< the contest's title
    std::string deadline;  ///< "YYYY-MM-DD HH:MM" (UTC); empty: none
    bool closed = false;   ///< after the deadline logs are refused, not marked late
    bool adif = true;      ///< ADIF logs are taken besides Cabrillo
    std::size_t maxBytes = 0;
};
/// The upload form: what the robot takes, a file field and a box to paste the log into.
std::string uploadPage(const UploadInvitation& invitation, const std::string& notice);
/// The answer to an upload from the form.
std::string receiptPage(const Receipt& receipt);
/// The upload's answer as JSON.
std::string receiptJson(const Receipt& receipt);
/// The logs that count, for everyone.
std::string logsPage(const std::vector<UploadRecord>& logs);
std::string logsJson(const std::vector<UploadRecord>& logs);
/// A page's start with the robot's shared style sheet, its navigation and the heading `title`.
std::string pageStart(const std::string& title);
/// A page's end, after `out`.
std::string pageEnd(std::string out);
/// An upload's state in words ("refused (errors)", ...).
std::string stateWord(const std::string& state);
/// The errors (or the warnings) of `findings` as a JSON array.
std::string findingsJson(const std::vector<Finding>& findings, bool errors);
/// A page with a heading and one paragraph.
std::string messagePage(const std::string& title, const std::string& text);
/// The committee's sign-in form.
std::string signInPage(const std::string& notice);

}  // namespace robot
