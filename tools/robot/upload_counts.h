#pragma once
// What the uploads' store files share: the rule of the logs that count, and keeping the wanted
// list's counts in step with it.

#include <cstdint>
#include <optional>
#include <string>

struct sqlite3;

namespace robot {

/// The view of the logs that count (see UploadStore::currentLogs).
extern const char* const kCurrentLogsView;

/// The upload of `call` that counts now, inside a write.
std::optional<std::int64_t> currentOf(sqlite3* db, const std::string& call);
/// Moves the worked counts from `before` (the upload of `call` that counted) to the one that counts
/// now, inside the write that changed it; the upload that counts now, none when the write failed.
bool recount(sqlite3* db, const std::string& call, const std::optional<std::int64_t>& before,
             std::optional<std::int64_t>& now);

}  // namespace robot
