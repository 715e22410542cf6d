// The uploads' store: the version of each call that counts, the committee's choices of it and
// their audit trail, the calls received and not accepted, the totals.
#include "tools/robot/statement.h"
#include "tools/robot/upload_counts.h"
#include "tools/robot/upload_store.h"

namespace robot {

// The committee's choice first (while that version is still an accepted one of the call), then the
// newest accepted version sent by the deadline, then the newest accepted late one: a late version
// never replaces one sent in time unless the committee takes it.
const char* const kCurrentLogsView = R"sql(
CREATE VIEW IF NOT EXISTS current_logs AS
  SELECT * FROM uploads u WHERE state = 'accepted' AND call <> '' AND id = COALESCE(
    (SELECT c.upload FROM choices c JOIN uploads x ON x.id = c.upload
       WHERE c.call = u.call AND x.call = u.call AND x.state = 'accepted'),
    (SELECT MAX(id) FROM uploads v WHERE v.call = u.call AND v.state = 'accepted' AND v.late = 0),
    (SELECT MAX(id) FROM uploads v WHERE v.call = u.call AND v.state = 'accepted'));
)sql";

std::optional<std::int64_t> currentOf(sqlite3* db, const std::string& call) {
    Statement s(db, "SELECT id FROM current_logs WHERE call = ?");
    s.bind(1, call);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return s.integer(0);
}

bool recount(sqlite3* db, const std::string& call, const std::optional<std::int64_t>& before,
             std::optional<std::int64_t>& now) {
    now = currentOf(db, call);
    if (now == before) return true;
    if (before) {
        Statement fewer(db,
                        "UPDATE worked_counts SET logs = logs - 1 WHERE call IN (SELECT call FROM worked "
                        "WHERE upload = ?)");
        fewer.bind(1, *before);
        if (!fewer.done()) return false;
    }
    if (!now) return true;
    Statement more(db,
                   "INSERT INTO worked_counts(call, logs) SELECT call, 1 FROM worked WHERE upload = ? "
                   "ON CONFLICT(call) DO UPDATE SET logs = logs + 1");
    more.bind(1, *now);
    return more.done();
}

namespace {

// The call of upload `id` when it may count (accepted, with a call); the answer when not.
std::optional<std::string> countableCall(sqlite3* db, std::int64_t id, ChoiceAnswer& answer) {
    Statement s(db, "SELECT state, call FROM uploads WHERE id = ?");
    s.bind(1, id);
    if (s.step() != SQLITE_ROW) {
        answer = ChoiceAnswer::kNoUpload;
        return std::nullopt;
    }
    if (s.text(0) != "accepted" || s.text(1).empty()) {
        answer = ChoiceAnswer::kNotAccepted;
        return std::nullopt;
    }
    return s.text(1);
}

bool logChoice(sqlite3* db, const ChoiceEvent& e) {
    Statement s(db, "INSERT INTO choice_log(at, call, upload, chosen, who) VALUES(?, ?, ?, ?, ?)");
    s.bind(1, e.at).bind(2, e.call).bind(3, e.upload).bind(4, std::int64_t{e.chosen}).bind(5, e.who);
    return s.done();
}

// Sets or clears the choice of upload `id`'s call, records it, and moves the worked counts.
ChoiceAnswer changeChoice(Database& database, std::int64_t id, bool choose, const std::string& at,
                          const std::string& who) {
    ChoiceAnswer answer = ChoiceAnswer::kFailed;
    const bool written = database.write([&](sqlite3* db) {
        const std::optional<std::string> call = countableCall(db, id, answer);
        if (!call) return false;
        const std::optional<std::int64_t> before = currentOf(db, *call);
        Statement change(db, choose ? "INSERT INTO choices(call, upload) VALUES(?1, ?2) "
                                      "ON CONFLICT(call) DO UPDATE SET upload = excluded.upload"
                                    : "DELETE FROM choices WHERE call = ?1 AND upload = ?2");
        change.bind(1, *call).bind(2, id);
        if (!change.done()) return false;
        if (!choose && sqlite3_changes(db) == 0) {
            answer = ChoiceAnswer::kNotChosen;
            return false;
        }
        std::optional<std::int64_t> now;
        answer = ChoiceAnswer::kFailed;
        return logChoice(db, {0, at, *call, id, choose, who}) && recount(db, *call, before, now);
    });
    return written ? ChoiceAnswer::kDone : answer;
}

}  // namespace

ChoiceAnswer UploadStore::choose(std::int64_t id, const std::string& at, const std::string& who) {
    return changeChoice(db_, id, true, at, who);
}

ChoiceAnswer UploadStore::unchoose(std::int64_t id, const std::string& at, const std::string& who) {
    return changeChoice(db_, id, false, at, who);
}

ChoiceAnswer UploadStore::clearChoice(const std::string& call, const std::string& at,
                                      const std::string& who) {
    std::optional<std::int64_t> chosen;
    {
        const Database::Reading reader = db_.reading();
        Statement s(reader.get(), "SELECT upload FROM choices WHERE call = ?");
        s.bind(1, call);
        if (s.step() == SQLITE_ROW) chosen = s.integer(0);
    }
    // Undone in a write of its own, which finds again whether that version is still the one chosen.
    return chosen ? unchoose(*chosen, at, who) : ChoiceAnswer::kNotChosen;
}

std::vector<ChoiceEvent> UploadStore::choiceLog() {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), "SELECT id, at, call, upload, chosen, who FROM choice_log ORDER BY id");
    std::vector<ChoiceEvent> out;
    while (s.step() == SQLITE_ROW)
        out.push_back({s.integer(0), s.text(1), s.text(2), s.integer(3), s.integer(4) != 0, s.text(5)});
    return out;
}

std::vector<RefusedCall> UploadStore::receivedNotAccepted() {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(),
                "SELECT u.call, u.findings, COALESCE(w.logs, 0) FROM uploads u LEFT JOIN worked_counts w ON "
                "w.call = u.call "
                "WHERE u.state = 'refused' AND u.call <> '' "
                "AND u.id = (SELECT MAX(id) FROM uploads v WHERE v.call = u.call AND v.state = 'refused') "
                "AND NOT EXISTS (SELECT 1 FROM uploads a WHERE a.call = u.call AND a.state = 'accepted') "
                "ORDER BY u.call");
    std::vector<RefusedCall> out;
    while (s.step() == SQLITE_ROW) {
        RefusedCall r{s.text(0), "", s.integer(2)};
        for (const Finding& f : decodeFindings(s.text(1)))
            if (f.error) {
                r.reason = f.text;
                break;
            }
        out.push_back(std::move(r));
    }
    return out;
}

UploadTotals UploadStore::totals() {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(),
                "SELECT COUNT(*), COALESCE(SUM(state = 'accepted'), 0), COALESCE(SUM(state = 'refused'), 0), "
                "COALESCE(SUM(late <> 0), 0), (SELECT COUNT(*) FROM current_logs) FROM uploads");
    if (s.step() != SQLITE_ROW) return {};
    return {s.integer(0), s.integer(1), s.integer(2), s.integer(3), s.integer(4)};
}

}  // namespace robot
