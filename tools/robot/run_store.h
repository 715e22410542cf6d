#pragma once
// The cross-check runs' records.

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
    bool published = false;
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
    void publish(std::int64_t id);
    std::optional<RunRecord> find(std::int64_t id);
    /// Every run, newest first.
    std::vector<RunRecord> all();
    /// One page of the runs, newest first.
    Page<RunRecord> page(std::int64_t offset, std::int64_t limit);
    /// The newest published run that is done.
    std::optional<RunRecord> published();

  private:
    Database& db_;
};

}  // namespace robot
