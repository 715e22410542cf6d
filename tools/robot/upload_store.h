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

/// A call that sent logs and had none accepted, with why the newest was refused.
struct RefusedCall {
    std::string call;
    std::string reason;
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

    /// The upload with this confirmation / report key.
    std::optional<UploadRecord> byConfirmation(const std::string& code);
    std::optional<UploadRecord> byReportKey(const std::string& key);
    /// The report page of the upload with this report key, empty when none.
    std::string reportPage(const std::string& key);
    /// Every upload, oldest first.
    std::vector<UploadRecord> all();
    /// One page of the uploads the query asks for, newest first.
    Page<UploadRecord> page(const UploadQuery& query);
    /// The logs that count: the newest accepted upload of each call, by call.
    std::vector<UploadRecord> currentLogs();
    /// The bytes of upload `id`.
    std::string bytes(std::int64_t id);
    /// The calls whose uploads were all refused, by call, each with the first error of its newest.
    std::vector<RefusedCall> receivedNotAccepted();
    /// The newest accepted upload whose bytes have this SHA-256; none when there is none.
    std::optional<std::int64_t> acceptedWithBytes(const std::string& sha256);
    /// The uploads received and not scored yet, oldest first.
    std::vector<std::int64_t> unscored();
    /// The calls worked by the most current logs that sent no log, most first (at most `limit`).
    std::vector<WantedCall> wanted(std::size_t limit);

  private:
    std::optional<UploadRecord> oneWhere(const char* where, const std::string& value);

    Database& db_;
};

/// Findings as the store keeps them (one per line: E|W[:kind] TAB line TAB text) and back.
std::string encodeFindings(const std::vector<Finding>& findings);
std::vector<Finding> decodeFindings(const std::string& text);

}  // namespace robot
