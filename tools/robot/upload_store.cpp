#include "tools/robot/upload_store.h"

#include <charconv>
#include <utility>

#include "tools/robot/statement.h"
#include "tools/robot/upload_counts.h"

namespace robot {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS uploads(
  id INTEGER PRIMARY KEY,
  received TEXT NOT NULL,
  address TEXT NOT NULL,
  sha256 TEXT NOT NULL,
  bytes BLOB NOT NULL,
  confirmation TEXT NOT NULL UNIQUE,
  report_key TEXT NOT NULL UNIQUE,
  late INTEGER NOT NULL DEFAULT 0,
  state TEXT NOT NULL DEFAULT 'received',
  call TEXT NOT NULL DEFAULT '',
  category TEXT NOT NULL DEFAULT '',
  format TEXT NOT NULL DEFAULT '',
  qsos INTEGER NOT NULL DEFAULT 0,
  score INTEGER,
  claimed TEXT,
  findings TEXT NOT NULL DEFAULT '',
  report BLOB,
  replaces_other INTEGER);
CREATE INDEX IF NOT EXISTS uploads_call ON uploads(call, state, id);
CREATE TABLE IF NOT EXISTS worked(upload INTEGER NOT NULL REFERENCES uploads(id), call TEXT NOT NULL,
  PRIMARY KEY(upload, call)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS worked_counts(call TEXT PRIMARY KEY, logs INTEGER NOT NULL) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS worked_counts_logs ON worked_counts(logs DESC, call);
CREATE TABLE IF NOT EXISTS choices(call TEXT PRIMARY KEY, upload INTEGER NOT NULL REFERENCES uploads(id))
  WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS choice_log(
  id INTEGER PRIMARY KEY,
  at TEXT NOT NULL,
  call TEXT NOT NULL,
  upload INTEGER NOT NULL REFERENCES uploads(id),
  chosen INTEGER NOT NULL,
  who TEXT NOT NULL);
)sql";

// The schema's version: 1 counted the worked calls; 2 keeps late versions from replacing those
// sent in time and adds the committee's choices, so the logs that count are counted anew.
constexpr std::int64_t kSchemaVersion = 2;

constexpr const char* kUploadColumns =
    "id, received, address, sha256, length(bytes), confirmation, report_key, late, state, call, category, "
    "format, qsos, score, claimed, findings, length(report) > 0, replaces_other, "
    "EXISTS(SELECT 1 FROM current_logs c WHERE c.call = uploads.call AND c.id = uploads.id), "
    "EXISTS(SELECT 1 FROM choices h WHERE h.call = uploads.call AND h.upload = uploads.id)";

std::string selectUploads(const std::string& rest) {
    return std::string("SELECT ") + kUploadColumns + rest;
}

UploadRecord uploadFrom(const Statement& s) {
    UploadRecord r;
    r.id = s.integer(0);
    r.received = s.text(1);
    r.address = s.text(2);
    r.sha256 = s.text(3);
    r.size = s.integer(4);
    r.confirmation = s.text(5);
    r.reportKey = s.text(6);
    r.late = s.integer(7) != 0;
    r.state = uploadStateNamed(s.text(8));
    r.call = s.text(9);
    r.category = s.text(10);
    r.format = s.text(11);
    r.qsos = s.integer(12);
    if (!s.null(13)) r.score = s.integer(13);
    if (!s.null(14)) r.claimed = s.text(14);
    r.findings = decodeFindings(s.text(15));
    r.hasReport = s.integer(16) != 0;
    if (!s.null(17)) r.replacesOtherAddress = s.integer(17);
    r.counts = s.integer(18) != 0;
    r.chosen = s.integer(19) != 0;
    return r;
}

std::vector<UploadRecord> uploadsFrom(Statement& s) {
    std::vector<UploadRecord> out;
    while (s.step() == SQLITE_ROW) out.push_back(uploadFrom(s));
    return out;
}

// Notes on upload `id`, once it counts, the version it replaced when that one came from another
// address: whoever sends a call's log from elsewhere may not be its station, so the committee is shown it.
bool noteReplaced(sqlite3* db, std::int64_t id, std::int64_t replaced) {
    Statement s(db,
                "UPDATE uploads SET replaces_other = ?2 WHERE id = ?1 "
                "AND address <> (SELECT address FROM uploads WHERE id = ?2)");
    s.bind(1, id).bind(2, replaced);
    return s.done();
}

// Stores the outcome and its worked calls; the worked counts follow the call's log that counts,
// whichever version that is now (a late one, one scored out of turn, the committee's choice).
bool storeOutcome(sqlite3* db, std::int64_t id, const UploadOutcome& o) {
    const std::optional<std::int64_t> before = o.call.empty() ? std::nullopt : currentOf(db, o.call);
    Statement s(db,
                "UPDATE uploads SET state = ?, call = ?, category = ?, format = ?, qsos = ?, score = ?, "
                "claimed = ?, findings = ?, report = ?, replaces_other = NULL WHERE id = ?");
    s.bind(1, std::string(stateName(uploadStateNamed(o.state)))).bind(2, o.call).bind(3, o.category);
    s.bind(4, o.format).bind(5, o.qsos);
    o.score ? s.bind(6, *o.score) : s.bindNull(6);
    o.claimed ? s.bind(7, *o.claimed) : s.bindNull(7);
    s.bind(8, encodeFindings(o.findings)).blob(9, o.report).bind(10, id);
    if (!s.done()) return false;
    Statement w(db, "INSERT OR IGNORE INTO worked(upload, call) VALUES(?, ?)");
    for (const std::string& call : o.worked) {
        w.bind(1, id).bind(2, call);
        if (!w.done()) return false;
        w.reset();
    }
    if (o.call.empty()) return true;
    std::optional<std::int64_t> now;
    if (!recount(db, o.call, before, now)) return false;
    return !(before && now == id) || noteReplaced(db, id, *before);
}

// `text` as a LIKE pattern that matches it anywhere, its own % and _ taken as they are.
std::string containing(const std::string& text) {
    std::string pattern = "%";
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

constexpr std::pair<UploadState, std::string_view> kStateNames[] = {
    {UploadState::kReceived, "received"},       {UploadState::kAccepted, "accepted"},
    {UploadState::kRefused, "refused"},         {UploadState::kFailed, "failed"},
    {UploadState::kInterrupted, "interrupted"},
};

}  // namespace

std::string_view stateName(UploadState state) {
    for (const auto& [s, name] : kStateNames)
        if (s == state) return name;
    return "failed";
}

UploadState uploadStateNamed(std::string_view name) {
    for (const auto& [s, n] : kStateNames)
        if (n == name) return s;
    return UploadState::kFailed;
}

std::string encodeFindings(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings) {
        out += f.error ? 'E' : 'W';
        if (!f.kind.empty()) out += ':' + f.kind;
        out += '\t';
        out += std::to_string(f.line);
        // A finding said once for many lines keeps them after its own, each after a '+': a reader
        // that knows only the one line reads up to the first '+'.
        for (const std::uint64_t more : f.folded) out += '+' + std::to_string(more);
        out += '\t';
        for (const char c : f.text) out += (c == '\n' || c == '\r') ? ' ' : c;
        out += '\n';
    }
    return out;
}

std::vector<Finding> decodeFindings(const std::string& text) {
    std::vector<Finding> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + at, end - at);
        at = end + 1;
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos) continue;
        Finding f;
        const std::string_view mark = line.substr(0, tab1);
        f.error = mark.substr(0, 1) == "E";
        if (mark.size() > 2 && mark[1] == ':') f.kind = mark.substr(2);
        const char* next = std::from_chars(line.data() + tab1 + 1, line.data() + tab2, f.line).ptr;
        for (std::uint64_t more = 0; next < line.data() + tab2 && *next == '+';) {
            next = std::from_chars(next + 1, line.data() + tab2, more).ptr;
            f.folded.push_back(more);
        }
        f.text = std::string(line.substr(tab2 + 1));
        out.push_back(std::move(f));
    }
    return out;
}

bool UploadStore::setUp(bool server, std::string& error) {
    if (!db_.exec(kSchema, error) || !db_.exec(kCurrentLogsView, error)) return false;
    if (!server || db_.schemaVersion() >= kSchemaVersion) return true;
    // A database of an older robot: the columns added since, the rule of the logs that count as it
    // is now, and the wanted list's counts counted once from those logs.
    return db_.write(
        [&](sqlite3* db) {
            return Database::addColumn(db, "uploads", "replaces_other", "INTEGER") &&
                   execOn(db, "DROP VIEW IF EXISTS current_logs;") && execOn(db, kCurrentLogsView) &&
                   execOn(db,
                          "DELETE FROM worked_counts; INSERT INTO worked_counts SELECT w.call, COUNT(*) "
                          "FROM worked w JOIN current_logs c ON w.upload = c.id GROUP BY w.call;") &&
                   Database::setSchemaVersion(db, kSchemaVersion);
        },
        error);
}

std::optional<std::int64_t> UploadStore::add(const std::string& bytes, const std::string& sha256,
                                             const std::string& received, const std::string& address,
                                             const std::string& confirmation, const std::string& reportKey,
                                             bool late, std::string& error) {
    std::int64_t id = 0;
    const bool ok = db_.write(
        [&](sqlite3* db) {
            Statement s(
                db,
                "INSERT INTO uploads(received, address, sha256, bytes, confirmation, report_key, late) "
                "VALUES(?, ?, ?, ?, ?, ?, ?)");
            s.bind(1, received).bind(2, address).bind(3, sha256).blob(4, bytes).bind(5, confirmation);
            s.bind(6, reportKey).bind(7, std::int64_t{late});
            if (!s.done()) return false;
            id = sqlite3_last_insert_rowid(db);
            return true;
        },
        error);
    return ok ? std::optional(id) : std::nullopt;
}

bool UploadStore::finish(std::int64_t id, const UploadOutcome& o, std::string& error) {
    return db_.write([&](sqlite3* db) { return storeOutcome(db, id, o); }, error);
}

std::optional<UploadRecord> UploadStore::oneWhere(const char* where, const std::string& value) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), selectUploads(std::string(" FROM uploads WHERE ") + where + " = ?"));
    s.bind(1, value);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return uploadFrom(s);
}

std::optional<UploadRecord> UploadStore::byId(std::int64_t id) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), selectUploads(" FROM uploads WHERE id = ?"));
    s.bind(1, id);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return uploadFrom(s);
}

std::optional<UploadRecord> UploadStore::byReportKey(const std::string& key) {
    return oneWhere("report_key", key);
}

std::string UploadStore::reportPage(const std::string& key) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), "SELECT report FROM uploads WHERE report_key = ?");
    s.bind(1, key);
    return s.step() == SQLITE_ROW ? s.text(0) : std::string();
}

std::vector<UploadRecord> UploadStore::all() {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), selectUploads(" FROM uploads ORDER BY id"));
    return uploadsFrom(s);
}

Page<UploadRecord> UploadStore::page(const UploadQuery& query) {
    const Database::Reading reader = db_.reading();
    // The calls searched in their index alone: a row's call lies past its log's bytes.
    constexpr const char* kWhere =
        " FROM uploads INDEXED BY uploads_call WHERE ?1 = '' OR call LIKE ?2 ESCAPE '\\'";
    Page<UploadRecord> page;
    Statement count(reader.get(), std::string("SELECT COUNT(*)") + kWhere);
    count.bind(1, query.call).bind(2, containing(query.call));
    if (count.step() == SQLITE_ROW) page.total = count.integer(0);
    Statement s(reader.get(), selectUploads(std::string(" FROM uploads WHERE id IN (SELECT id") + kWhere +
                                            " ORDER BY id DESC LIMIT ?3 OFFSET ?4) ORDER BY id DESC"));
    s.bind(1, query.call).bind(2, containing(query.call)).bind(3, query.limit).bind(4, query.offset);
    page.rows = uploadsFrom(s);
    return page;
}

std::vector<UploadRecord> UploadStore::currentLogs() {
    const Database::Reading reader = db_.reading();
    // Named as the table, so that the columns' subqueries find their row.
    Statement s(reader.get(), selectUploads(" FROM current_logs AS uploads ORDER BY call"));
    return uploadsFrom(s);
}

std::string UploadStore::bytes(std::int64_t id) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), "SELECT bytes FROM uploads WHERE id = ?");
    s.bind(1, id);
    return s.step() == SQLITE_ROW ? s.text(0) : std::string();
}

std::optional<std::int64_t> UploadStore::acceptedWithBytes(const std::string& sha256) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), "SELECT MAX(id) FROM uploads WHERE sha256 = ? AND state = 'accepted'");
    s.bind(1, sha256);
    if (s.step() != SQLITE_ROW || s.null(0)) return std::nullopt;
    return s.integer(0);
}

std::vector<std::int64_t> UploadStore::unscored() {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), "SELECT id FROM uploads WHERE state = 'received' ORDER BY id");
    std::vector<std::int64_t> out;
    while (s.step() == SQLITE_ROW) out.push_back(s.integer(0));
    return out;
}

std::vector<WantedCall> UploadStore::wanted(std::size_t limit) {
    const Database::Reading reader = db_.reading();
    Statement s(
        reader.get(),
        "SELECT call, logs FROM worked_counts WHERE logs > 0 AND call NOT IN (SELECT call FROM uploads) "
        "ORDER BY logs DESC, call LIMIT ?");
    s.bind(1, static_cast<std::int64_t>(limit));
    std::vector<WantedCall> out;
    while (s.step() == SQLITE_ROW) out.push_back({s.text(0), s.integer(1)});
    return out;
}

}  // namespace robot
