#pragma once
// The uploads as received and what their check found, their worked calls and the counts of those,
// the wanted list and the logs that count.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/robot/database.h"

namespace robot {

/// One finding of the check: its line (0: the whole file), the text, and its kind.
struct Finding {
    std::uint64_t line = 0;
    bool error = false;
    std::string text;
    std::string kind;  ///< the check's rule (verify::ruleKey); empty for the robot's own and older findings
    std::vector<std::uint64_t> folded;  ///< the further lines of a finding repeated on many, ascending
};

/// What scoring an upload gave.
struct UploadOutcome {
    /// "accepted", "refused" (errors found) or "failed" (the scoring did not finish).
    std::string state;
    std::string call;
    std::string category;
    std::string format;  ///< "cabrillo" or "adif"
    std::int64_t qsos = 0;
    std::optional<std::int64_t> score;
    std::optional<std::string> claimed;
    std::vector<Finding> findings;
    std::vector<std::string> worked;  ///< the distinct calls the log worked
    std::string report;               ///< the report page (HTML)
};

/// Where an upload stands: received and waiting for its scoring, then as the scoring ended.
enum class UploadState {
    kReceived,     ///< stored, not scored yet
    kAccepted,     ///< scored, no error
    kRefused,      ///< the check found errors
    kFailed,       ///< the scoring did not finish (the worker crashed or overran its time)
    kInterrupted,  ///< a server that stopped left it unscored
};

/// The state's name as the store and the JSON keep it ("received", "accepted", ...).
std::string_view stateName(UploadState state);
/// The state of that name; an unknown name is a failed scoring.
UploadState uploadStateNamed(std::string_view name);

/// An upload as the store keeps it (without its bytes and report unless asked).
struct UploadRecord {
    std::int64_t id = 0;
    std::string received;  ///< "YYYY-MM-DD HH:MM:SS" UTC
    std::string address;
    std::string sha256;
    std::int64_t size = 0;
    std::string confirmation;
    std::string reportKey;
    bool late = false;
    UploadState state = UploadState::kReceived;
    std::string call, category, format;
    std::int64_t qsos = 0;
    std::optional<std::int64_t> score;
    std::optional<std::string> claimed;
    std::vector<Finding> findings;
    /// The accepted version this one replaced, when that came from another address.
    std::optional<std::int64_t> replacesOtherAddress;
    bool hasReport = false;  ///< the scoring made a report page
    bool counts = false;     ///< the version of its call that counts
    bool chosen = false;     ///< the committee chose it as the version that counts
};

/// One entry of the committee's audit trail: a version chosen to count, or such a choice undone.
struct ChoiceEvent {
    std::int64_t id = 0;
    std::string at;  ///< "YYYY-MM-DD HH:MM:SS" UTC
    std::string call;
    std::int64_t upload = 0;
    bool chosen = true;  ///< false: the choice of `upload` undone
    std::string who;     ///< "committee page" or "API"
};

/// How a choice (or its undoing) went.
enum class ChoiceAnswer {
    kDone,
    kNoUpload,     ///< no upload of that number
    kNotAccepted,  ///< only an accepted version with a call can count
    kNotChosen,    ///< undoing: that version is not its call's chosen one
    kFailed,       ///< the store could not write it
};

/// A call whose logs were received but none accepted, with the first error of its newest refused
/// upload and how many logs that count worked it.
struct RefusedCall {
    std::string call;
    std::string reason;
    std::int64_t logs = 0;
};

/// How many uploads the store holds, of each kind, and how many logs count.
struct UploadTotals {
    std::int64_t uploads = 0, accepted = 0, refused = 0, late = 0, counting = 0;
};

/// A call that logs worked and that sent none, with how many accepted logs worked it.
struct WantedCall {
    std::string call;
    std::int64_t logs = 0;
};

/// Which uploads a page of the committee's list shows: those whose call holds `call` (every upload
/// when it is empty), newest first, `limit` from `offset` on.
struct UploadQuery {
    std::string call;
    std::int64_t offset = 0;
    std::int64_t limit = 50;
};

/// The uploads' records. Thread-safe as the Database is.
class UploadStore {
  public:
    explicit UploadStore(Database& database) : db_(database) {}

    /// Creates the uploads' tables when missing; for the server, brings an older robot's up to date.
    bool setUp(bool server, std::string& error);

    /// Stores an upload as received; its id, or none when the write failed (`error`).
    std::optional<std::int64_t> add(const std::string& bytes, const std::string& sha256,
                                    const std::string& received, const std::string& address,
                                    const std::string& confirmation, const std::string& reportKey, bool late,
                                    std::string& error);
    /// Records the outcome of upload `id`; false with `error`.
    bool finish(std::int64_t id, const UploadOutcome& outcome, std::string& error);

    /// The upload with this number / report key.
    std::optional<UploadRecord> byId(std::int64_t id);
    std::optional<UploadRecord> byReportKey(const std::string& key);
    /// The report page of the upload with this report key, empty when none.
    std::string reportPage(const std::string& key);
    /// Every upload, oldest first.
    std::vector<UploadRecord> all();
    /// One page of the uploads the query asks for, newest first.
    Page<UploadRecord> page(const UploadQuery& query);
    /// The logs that count, by call: of each call with an accepted version, the one the committee
    /// chose; else its newest accepted version sent by the deadline; else its newest accepted late one.
    std::vector<UploadRecord> currentLogs();
    /// The bytes of upload `id`.
    std::string bytes(std::int64_t id);
    /// The newest accepted upload whose bytes have this SHA-256; none when there is none.
    std::optional<std::int64_t> acceptedWithBytes(const std::string& sha256);
    /// The uploads received and not scored yet, oldest first.
    std::vector<std::int64_t> unscored();
    /// The calls worked by the most current logs of which no log was received, most first (at most `limit`).
    std::vector<WantedCall> wanted(std::size_t limit);
    /// The calls with refused logs and none accepted, by call.
    std::vector<RefusedCall> receivedNotAccepted();
    UploadTotals totals();

    /// Makes upload `id` the version of its call that counts, until undone; recorded at `at` for `who`.
    ChoiceAnswer choose(std::int64_t id, const std::string& at, const std::string& who);
    /// Undoes the choice of upload `id`: its call's version that counts is found by the rule again.
    ChoiceAnswer unchoose(std::int64_t id, const std::string& at, const std::string& who);
    /// Undoes the committee's choice for `call`, whichever version it chose (kNotChosen: none).
    ChoiceAnswer clearChoice(const std::string& call, const std::string& at, const std::string& who);
    /// Every choice and undoing, oldest first.
    std::vector<ChoiceEvent> choiceLog();

  private:
    std::optional<UploadRecord> oneWhere(const char* where, const std::string& value);

    Database& db_;
};

/// Findings as the store keeps them (one per line: E|W[:kind] TAB line TAB text) and back.
std::string encodeFindings(const std::vector<Finding>& findings);
std::vector<Finding> decodeFindings(const std::string& text);

}  // namespace robot
