#pragma once
// The robot's embedded store: every upload as received and what its check found, the logs that
// count, the worked calls, the cross-check runs and settings, in one SQLite file.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

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
};

/// A cross-check run.
struct RunRecord {
    std::int64_t id = 0;
    std::string started;
    std::string state;     ///< "running", "done", "failed"
    std::string progress;  ///< one line
    bool published = false;
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

/// One page of a list, and how many the whole list holds.
template <typename Record>
struct Page {
    std::vector<Record> rows;
    std::int64_t total = 0;
};

/// The store. Every method is safe to call from several threads: the writes take turns on one
/// connection, each read has a connection of its own, so that no reader waits for a writer (WAL);
/// each write is one transaction, durable when it returns.
class Store {
  public:
    Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    ~Store();

    /// Who opens the store: the server, or a program beside a server that may be running (the backup).
    enum class Opener { kServer, kBeside };

    /// Opens (creating) DIR/robot.db; false with `error`. For the server, the runs a server that
    /// stopped left "running" are marked "failed" (its uploads left "received" it scores again).
    bool open(const std::filesystem::path& folder, std::string& error, Opener opener = Opener::kServer);

    /// Stores an upload as received; its id, or none when the write failed (`error`).
    std::optional<std::int64_t> addUpload(const std::string& bytes, const std::string& sha256,
                                          const std::string& received, const std::string& address,
                                          const std::string& confirmation, const std::string& reportKey,
                                          bool late, std::string& error);
    /// Records the outcome of upload `id`; false with `error`.
    bool finishUpload(std::int64_t id, const UploadOutcome& outcome, std::string& error);

    /// The upload with this confirmation / report key / id.
    std::optional<UploadRecord> uploadByConfirmation(const std::string& code);
    std::optional<UploadRecord> uploadByReportKey(const std::string& key);
    /// The report page of the upload with this report key, empty when none.
    std::string reportPage(const std::string& key);
    /// Every upload, oldest first.
    std::vector<UploadRecord> uploads();
    /// One page of the uploads the query asks for, newest first.
    Page<UploadRecord> uploadsPage(const UploadQuery& query);
    /// The logs that count: the newest accepted upload of each call, by call.
    std::vector<UploadRecord> currentLogs();
    /// The bytes of upload `id`.
    std::string uploadBytes(std::int64_t id);
    /// The uploads received and not scored yet, oldest first.
    std::vector<std::int64_t> unscoredUploads();
    /// The calls worked by the most current logs that sent no log, most first (at most `limit`).
    std::vector<WantedCall> wanted(std::size_t limit);

    /// Starts a run record; its id.
    std::int64_t addRun(const std::string& started);
    void updateRun(std::int64_t id, const std::string& state, const std::string& progress);
    void publishRun(std::int64_t id);
    std::optional<RunRecord> run(std::int64_t id);
    std::vector<RunRecord> runs();
    /// One page of the runs, newest first.
    Page<RunRecord> runsPage(std::int64_t offset, std::int64_t limit);
    /// The newest published run that is done.
    std::optional<RunRecord> publishedRun();

    /// Copies the whole database, as it is at one moment, to `file` while it stays in use (the
    /// uploads go on meanwhile); false with `error`.
    bool backup(const std::filesystem::path& file, std::string& error);
    /// "ok", or what the integrity check found.
    std::string integrityCheck();

  private:
    /// A read connection lent to one call, given back when it goes.
    class Reading {
      public:
        Reading(Store& store, sqlite3* db) : store_(store), db_(db) {}
        ~Reading() { store_.giveBack(db_); }
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;
        sqlite3* get() const noexcept { return db_; }

      private:
        Store& store_;
        sqlite3* db_;
    };
    static constexpr std::size_t kMaxIdleReaders = 16;

    bool exec(const char* sql, std::string& error);
    /// Adds what an older robot's database lacks.
    bool upgrade(std::string& error);
    /// Keeps the wanted list's counts, in finishUpload's transaction: when upload `id` becomes its
    /// call's current log, each call it worked counts one log more, those of the log it replaces one less.
    bool countWorked(std::int64_t id, const UploadOutcome& outcome);
    /// Fills the counts once for a database from before them.
    bool countWorkedOnce(std::string& error);
    Reading reading();
    void giveBack(sqlite3* db);

    std::string file_;
    std::mutex mutex_;  // the writer's: one write at a time
    sqlite3* db_ = nullptr;
    std::mutex readersMutex_;  // guards idleReaders_
    std::vector<sqlite3*> idleReaders_;
};

/// Findings as the store keeps them (one per line: E|W[:kind] TAB line TAB text) and back.
std::string encodeFindings(const std::vector<Finding>& findings);
std::vector<Finding> decodeFindings(const std::string& text);

}  // namespace robot
