#pragma once
// The cross-check runs' records, and the files each finished run keeps (its results, station
// reports and logs), which the robot serves from here.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/robot/database.h"

namespace robot {

/// A cross-check run.
struct RunRecord {
    std::int64_t id = 0;
    std::string started;
    std::string state;     ///< "running", "done", "failed"
    std::string progress;  ///< one line
    bool published = false;      ///< the public run (a setting: RunStore leaves it false)
    bool reportsPublic = false;  ///< and its station reports are public too
    bool filesKept = false;      ///< its files are in the database
};

/// A file a finished run keeps: a result (results.csv, results.html, the page without links), a
/// station report, or a log as sent.
struct RunFile {
    enum class Kind { kResult, kReport, kLog };
    Kind kind = Kind::kResult;
    std::string name;
    /// The upload a log is, or the one a report was made from; none when not known.
    std::optional<std::int64_t> upload;
    /// The file's bytes; a log that is an upload keeps only the reference (its bytes are the upload's).
    std::string bytes;
};

/// A station report of a run, with the version of the log it was made from.
struct RunReport {
    std::string bytes;
    std::int64_t upload = 0;
    std::string received;  ///< when that version was received
};

/// The runs' records. Thread-safe as the Database is.
class RunStore {
  public:
    explicit RunStore(Database& database) : db_(database) {}

    /// Creates the runs' table when missing; for the server, the runs a server that stopped left
    /// "running" are marked "failed" (beside a running server, "running" is the run it is busy with).
    bool setUp(bool server, std::string& error);

    /// Starts a run record; its id (0 when the write failed).
    std::int64_t add(const std::string& started);
    void update(std::int64_t id, const std::string& state, const std::string& progress);
    /// Marks run `id` done with `progress` and keeps its `files` (replacing any), in one
    /// transaction; false with `error`.
    bool finish(std::int64_t id, const std::string& progress, const std::vector<RunFile>& files,
                std::string& error);
    std::optional<RunRecord> find(std::int64_t id);
    /// Every run, newest first.
    std::vector<RunRecord> all();
    /// One page of the runs, newest first.
    Page<RunRecord> page(std::int64_t offset, std::int64_t limit);

    /// The file `name` (letter case aside) of `kind` that run `run` keeps; none when it has none.
    std::optional<std::string> file(std::int64_t run, RunFile::Kind kind, const std::string& name);
    /// The run's files of `kind` with their bytes, and their names alone, by name.
    std::vector<RunFile> files(std::int64_t run, RunFile::Kind kind);
    std::vector<std::string> fileNames(std::int64_t run, RunFile::Kind kind);
    /// The run's station report of the log of `call` (the newest version, should it hold two).
    std::optional<RunReport> reportOf(std::int64_t run, const std::string& call);

    /// The run an older robot marked published, when one is done; and forgetting such marks.
    std::optional<std::int64_t> olderPublished();
    bool forgetOlderPublished(std::string& error);

  private:
    Database& db_;
};

}  // namespace robot
