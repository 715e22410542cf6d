#include "tools/robot/robot_server.h"

#include <httplib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tools/robot/crosscheck_run.h"
#include "tools/robot/private_files.h"
#include "tools/robot/text.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json";
constexpr const char* kSessionCookie = "robot_session";
constexpr auto kSessionLife = std::chrono::hours(12);

// Pages draw with inline styles and SVG only: nothing else may load, nothing may frame them.
const httplib::Headers kSecurityHeaders = {
    {"Content-Security-Policy",
     "default-src 'none'; style-src 'unsafe-inline'; img-src data:; form-action 'self'; "
     "frame-ancestors 'none'; base-uri 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    // A report's address never leaves in a Referer; same-origin rather than no-referrer, with which a
    // browser sends "Origin: null" on form posts and the origin check could not tell.
    {"Referrer-Policy", "same-origin"},
    {"X-Frame-Options", "DENY"},
    {"Cache-Control", "no-store"},
};

bool wantsJson(const httplib::Request& req) {
    return req.path.rfind("/api/", 0) == 0;
}

void answer(const httplib::Request& req, httplib::Response& res, int status, const std::string& title,
            const std::string& message) {
    res.status = status;
    if (wantsJson(req))
        res.set_content("{\"error\":" + jsonString(message) + "}\n", kJson);
    else
        res.set_content(messagePage(title, message), kHtml);
}

void tooLarge(const httplib::Request& req, httplib::Response& res) {
    answer(req, res, 413, "Too large", "the upload is larger than 5 MiB: no contest log is that big");
}

// startRun()'s answer when it started none.
void runNotStarted(const httplib::Request& req, httplib::Response& res, std::int64_t id) {
    if (id == 0) return answer(req, res, 409, "Busy", "a cross-check is running: wait for it to end");
    answer(req, res, 503, "Not started", "the run could not be recorded: please try again");
}

std::string readWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string cookieValue(const httplib::Request& req, const std::string& name) {
    const std::string cookies = req.get_header_value("Cookie");
    std::size_t at = 0;
    while (at < cookies.size()) {
        std::size_t end = cookies.find(';', at);
        if (end == std::string::npos) end = cookies.size();
        std::string_view part(cookies.data() + at, end - at);
        while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
        if (part.size() > name.size() && part.substr(0, name.size()) == name && part[name.size()] == '=')
            return std::string(part.substr(name.size() + 1));
        at = end + 1;
    }
    return {};
}

// The committee's token: made on the first start, read on the next, readable by the owner only.
bool committeeTokenOf(const fs::path& file, std::string& token, std::string& error) {
    std::error_code ec;
    if (fs::exists(file, ec)) {
        std::ifstream in(file);
        std::getline(in, token);
        if (token.size() < 32) {
            error = "the committee token in " + file.string() + " is too short";
            return false;
        }
        return true;
    }
    token = randomHex(32);
    const fs::path temporary = file.string() + ".new";
    // Owner-only before the token is written (fchmod too: a leftover file keeps its mode on open).
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string line = token + "\n";
    const bool written = fd >= 0 && fchmod(fd, 0600) == 0 &&
                         write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    if ((fd >= 0 && close(fd) != 0) || !written) {
        error = "cannot write " + temporary.string();
        return false;
    }
    fs::rename(temporary, file, ec);
    if (ec) error = "cannot write " + file.string() + ": " + ec.message();
    return !ec;
}

}  // namespace

RobotServer::RobotServer(RobotConfig config)
    : config_(std::move(config)), server_(std::make_unique<httplib::Server>()),
      pool_(config_.jobs, config_.jobTimeLimit) {}

RobotServer::~RobotServer() {
    stop();
}

bool RobotServer::open(std::string& error) {
    if (!privateFolder(config_.data, error) || !privateFolder(config_.data / "jobs", error) ||
        !privateFolder(config_.data / "runs", error))
        return false;
    std::error_code ec;
    // Job folders left by a server that stopped: their uploads are "interrupted" in the store.
    for (const auto& entry : fs::directory_iterator(config_.data / "jobs", ec)) fs::remove_all(entry.path(), ec);
    if (!store_.open(config_.data, error) || !committeeTokenOf(tokenFile(), token_, error)) return false;
    routes();
    port_ = config_.port == 0 ? server_->bind_to_any_port(config_.host)
                              : (server_->bind_to_port(config_.host, config_.port) ? config_.port : -1);
    if (port_ <= 0) {
        error = "cannot listen on " + config_.host + ":" + std::to_string(config_.port);
        return false;
    }
    return true;
}

bool RobotServer::serve() {
    return server_->listen_after_bind();
}

void RobotServer::start() {
    serving_ = std::thread([this] { serve(); });
    for (int i = 0; i < 5000 && !server_->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void RobotServer::stop() {
    // A signal's thread and the destructor may both stop the server: the second waits for the first,
    // so that nothing is destroyed while a run still uses it.
    std::lock_guard stopping(stopping_);
    server_->stop();
    if (serving_.joinable()) serving_.join();
    std::vector<std::thread> runs;
    {
        std::lock_guard lock(mutex_);
        runs.swap(runs_);
    }
    for (std::thread& t : runs)
        if (t.joinable()) t.join();
}

fs::path RobotServer::runFolder(std::int64_t id) const {
    return config_.data / "runs" / std::to_string(id);
}

long RobotServer::rateLimited(const std::string& address) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    auto& recent = recentUploads_[address];
    while (!recent.empty() && now - recent.front() >= std::chrono::minutes(1)) recent.pop_front();
    if (recent.size() >= config_.uploadsPerMinute) {
        const auto wait = std::chrono::ceil<std::chrono::seconds>(recent.front() + std::chrono::minutes(1) - now);
        return std::max<long>(1, static_cast<long>(wait.count()));
    }
    recent.push_back(now);
    // Addresses that went quiet are forgotten, so the map stays as small as the last minute.
    if (recentUploads_.size() > 10000)
        std::erase_if(recentUploads_, [&](const auto& e) {
            return e.second.empty() || now - e.second.back() >= std::chrono::minutes(1);
        });
    return 0;
}

namespace {

// An upload's body as it arrived: the log (a form's "log" file, else its "text" box, else the whole
// body) and what is wrong with it.
struct UploadBody {
    std::string bytes;
    bool whole = false;     // it arrived to its end
    bool tooLarge = false;  // past the limit
    bool repeated = false;  // a form's field sent twice: two files are not one log
    bool namesLog = true;   // not a form, or a form with a "log" or "text" field
};

// Reads the body here rather than by the library, whatever the answer, so that the connection stays
// usable. The library checks a stated Content-Length only: a chunked body, or one read to the end
// of the connection, is counted here, and what passes the limit is read and dropped (as the library
// skips an overlong stated length) so that the client hears the answer.
UploadBody readUpload(const httplib::Request& req, const httplib::ContentReader& reader, std::size_t limit) {
    UploadBody body;
    std::size_t size = 0;
    const auto within = [&](std::size_t more) { return (size += more) <= limit; };
    if (req.is_multipart_form_data()) {
        std::map<std::string, std::string> fields;
        std::string* field = nullptr;
        body.whole = reader(
            [&](const httplib::MultipartFormData& part) {
                body.repeated = body.repeated || fields.count(part.name);
                field = &fields[part.name];
                return true;
            },
            [&](const char* data, std::size_t n) {
                if (within(n) && field) field->append(data, n);
                return true;
            });
        const auto file = fields.find("log"), text = fields.find("text");
        if (file != fields.end()) body.bytes = file->second;
        if (body.bytes.empty() && text != fields.end()) body.bytes = text->second;
        body.namesLog = file != fields.end() || text != fields.end();
    } else {
        body.whole = reader([&](const char* data, std::size_t n) {
            if (within(n)) body.bytes.append(data, n);
            return true;
        });
    }
    body.tooLarge = size > limit;
    return body;
}

}  // namespace

void RobotServer::upload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
                         bool page) {
    const UploadBody body = readUpload(req, reader, config_.maxUploadBytes);
    const std::string& bytes = body.bytes;
    if (res.status == 413 || body.tooLarge) return tooLarge(req, res);
    // A body that did not arrive whole is no log: nothing is stored, and the connection, whose
    // unread rest cannot be told from a next request, is closed.
    if (!body.whole) {
        res.set_header("Connection", "close");
        return answer(req, res, 400, "Not received", "the upload did not arrive whole: please send it again");
    }
    const auto now = std::chrono::system_clock::now();
    const bool late = config_.deadline && now > *config_.deadline;
    if (late && config_.closed) {
        answer(req, res, 403, "Uploads closed",
               "the robot takes no more logs: the deadline was " + utcText(*config_.deadline).substr(0, 16) + " UTC");
        return;
    }
    if (const long wait = rateLimited(req.remote_addr); wait > 0) {
        res.set_header("Retry-After", std::to_string(wait));
        answer(req, res, 429, "Too many uploads",
               "more than " + std::to_string(config_.uploadsPerMinute) +
                   " uploads in a minute from your address: try again in " + std::to_string(wait) + " s");
        return;
    }
    if (body.repeated) {
        answer(req, res, 400, "One log per upload", "the form gives a field twice: send each log on its own");
        return;
    }
    if (!body.namesLog) {
        answer(req, res, 400, "No log", "the form has no field \"log\" (a file) or \"text\" (the log pasted)");
        return;
    }

    const std::string received = utcText(now);
    const std::string confirmation = confirmationCode();
    const std::string reportKey = randomHex(16);  // 128 random bits
    std::string error;
    const auto id = store_.addUpload(bytes, sha256Hex(bytes), received, req.remote_addr, confirmation, reportKey,
                                     late, error);
    if (!id) {
        answer(req, res, 503, "Not stored",
               "the log could not be stored: " + withoutServerPaths(error, config_.data) +
                   "; please send it again");
        return;
    }
    const Receipt receipt = scoreStored(*id, bytes, confirmation, reportKey, received, late);
    res.status = receipt.accepted() ? 201 : receipt.state == "refused" ? 422 : 500;
    if (page)
        res.set_content(receiptPage(receipt), kHtml);
    else
        res.set_content(receiptJson(receipt), kJson);
}

Receipt RobotServer::scoreStored(std::int64_t id, const std::string& bytes, const std::string& confirmation,
                                 const std::string& reportKey, const std::string& received, bool late) {
    UploadOutcome outcome;
    const fs::path job = config_.data / "jobs" / std::to_string(id);
    std::error_code ec;
    std::string error;
    if (privateFolder(job, error) && writeJob(job, config_.score, bytes, error)) {
        const WorkerExit exit =
            pool_.run({config_.workerProgram.string(), "--worker", job.string()}, job);
        if (!exit.finished || exit.status != 0) {
            error = exit.problem;
            const std::string failure = readWhole(job / "failure");
            if (!failure.empty()) error += ": " + failure;
        } else if (!readOutcome(job, outcome, error)) {
            outcome = {};
        }
    }
    if (!error.empty()) {
        outcome = {};
        outcome.state = "failed";
        outcome.findings.push_back(
            {0, true, "the log could not be scored: " + withoutServerPaths(error, config_.data)});
    }
    std::string storeError;
    if (!store_.finishUpload(id, outcome, storeError)) {
        outcome.state = "failed";
        outcome.findings.push_back(
            {0, true, "the outcome could not be stored: " + withoutServerPaths(storeError, config_.data)});
    }
    fs::remove_all(job, ec);

    Receipt r;
    r.state = outcome.state;
    r.confirmation = confirmation;
    r.call = outcome.call;
    r.qsos = outcome.qsos;
    r.score = outcome.score;
    r.claimed = outcome.claimed;
    r.late = late;
    r.findings = outcome.findings;
    r.received = received;
    if (!outcome.report.empty()) r.reportPath = "/report/" + reportKey;
    return r;
}

std::optional<RobotServer::Session> RobotServer::committee(const httplib::Request& req) {
    const std::string authorization = req.get_header_value("Authorization");
    constexpr std::string_view kBearer = "Bearer ";
    if (authorization.rfind(kBearer, 0) == 0)
        return sameSecret(std::string_view(authorization).substr(kBearer.size()), token_)
                   ? std::optional<Session>(Session{})
                   : std::nullopt;
    const std::string id = cookieValue(req, kSessionCookie);
    if (id.empty()) return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto it = sessions_.find(id);
    if (it == sessions_.end()) return std::nullopt;
    if (it->second.expires < std::chrono::steady_clock::now()) {
        sessions_.erase(it);
        return std::nullopt;
    }
    return it->second;
}

bool RobotServer::sameOrigin(const httplib::Request& req) const {
    // A browser names the page a form came from; another site's page must not post here. Either
    // scheme: behind a reverse proxy that serves HTTPS the page is https:// at the same host.
    const std::string origin = req.get_header_value("Origin");
    const std::string host = req.get_header_value("Host");
    return origin.empty() || origin == "http://" + host || origin == "https://" + host;
}

bool RobotServer::committeeForm(const httplib::Request& req, httplib::Response& res) {
    const auto session = committee(req);
    if (!session) {
        answer(req, res, 401, "Sign in", "the committee's pages need the committee's sign-in");
        return false;
    }
    if (session->csrf.empty()) return true;  // a Bearer token: no browser sends one by itself
    std::string csrf = req.has_param("csrf") ? req.get_param_value("csrf") : req.get_header_value("X-CSRF-Token");
    if (req.is_multipart_form_data() && req.has_file("csrf")) csrf = req.get_file_value("csrf").content;
    if (!sameOrigin(req) || !sameSecret(csrf, session->csrf)) {
        answer(req, res, 403, "Refused", "this form did not come from the committee's page");
        return false;
    }
    return true;
}

std::int64_t RobotServer::startRun() {
    std::vector<std::thread> ended;
    {
        std::lock_guard lock(mutex_);
        if (runActive_) return 0;
        runActive_ = true;
        ended.swap(runs_);  // the runs before have ended (or are about to return): joined here
    }
    for (std::thread& t : ended) t.join();
    const std::int64_t id = store_.addRun(utcText(std::chrono::system_clock::now()));
    std::lock_guard lock(mutex_);
    if (id <= 0) {
        runActive_ = false;
        return -1;
    }
    const fs::path folder = runFolder(id);
    runs_.emplace_back([this, id, folder] {
        RunOutcome outcome;
        try {
            outcome = runCrossCheck(store_, folder, config_.workerProgram, config_.score, config_.runTimeLimit,
                                    [&](const std::string& line) { store_.updateRun(id, "running", line); });
        } catch (const std::exception& e) {
            // Not out of the thread, which would end the server: the run fails and says why.
            outcome = {false, std::string("the run stopped: ") + e.what()};
        }
        store_.updateRun(id, outcome.done ? "done" : "failed",
                         withoutServerPaths(outcome.progress, config_.data));
        std::lock_guard done(mutex_);
        runActive_ = false;
    });
    return id;
}

void RobotServer::routes() {
    configureServer();
    publicRoutes();
    committeePageRoutes();
    committeeApiRoutes();
}

void RobotServer::configureServer() {
    httplib::Server& s = *server_;
    // A connection holds a thread while it waits for its worker; beyond the workers' slots, enough
    // threads that the pages stay served while every slot is busy.
    const std::size_t threads = std::max<std::size_t>(32, 4 * std::size_t{config_.jobs});
    s.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    s.set_default_headers(kSecurityHeaders);
    s.set_payload_max_length(config_.maxUploadBytes);
    s.set_read_timeout(std::chrono::seconds(30));
    s.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        if (res.status == 413)
            tooLarge(req, res);
        else if (res.status == 404)
            answer(req, res, 404, "Not found", "there is nothing at this address");
        else
            answer(req, res, res.status, "Error", "the request could not be served (HTTP " +
                                                      std::to_string(res.status) + ")");
    });
}

void RobotServer::publicRoutes() {
    httplib::Server& s = *server_;
    s.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content(uploadPage({}), kHtml); });
    s.Post("/upload", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        upload(req, res, reader, true);
    });
    s.Post("/api/logs",
           [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
               upload(req, res, reader, false);
           });
    s.Get("/logs", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(logsPage(store_.currentLogs()), kHtml);
    });
    s.Get("/api/logs", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(logsJson(store_.currentLogs()), kJson);
    });
    s.Get(R"(/report/([0-9a-f]{32}))", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string page = store_.reportPage(req.matches[1]);
        if (page.empty()) return answer(req, res, 404, "Not found", "there is nothing at this address");
        res.set_content(page, kHtml);
    });
    s.Get("/results", [this](const httplib::Request& req, httplib::Response& res) {
        const auto run = store_.publishedRun();
        const std::string page = run ? readWhole(runFolder(run->id) / "out" / "results.html") : std::string();
        if (page.empty()) return answer(req, res, 404, "No results yet", "the committee has published no results yet");
        res.set_content(page, kHtml);
    });
}

void RobotServer::committeePageRoutes() {
    httplib::Server& s = *server_;
    s.Get("/committee/signin", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(signInPage({}), kHtml);
    });
    s.Post("/committee/signin", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string token = req.has_param("token") ? req.get_param_value("token") : std::string();
        if (!sameOrigin(req) || !sameSecret(token, token_)) {
            res.status = 401;
            res.set_content(signInPage("that is not the committee's token"), kHtml);
            return;
        }
        const std::string id = randomHex(32);
        {
            std::lock_guard lock(mutex_);
            const auto now = std::chrono::steady_clock::now();
            std::erase_if(sessions_, [&](const auto& e) { return e.second.expires < now; });
            sessions_[id] = {randomHex(16), now + kSessionLife};
        }
        res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + id +
                                         "; Path=/; HttpOnly; SameSite=Strict; Max-Age=43200");
        res.set_redirect("/committee", 303);
    });
    s.Post("/committee/signout", [this](const httplib::Request& req, httplib::Response& res) {
        if (!committeeForm(req, res)) return;
        std::lock_guard lock(mutex_);
        sessions_.erase(cookieValue(req, kSessionCookie));
        res.set_header("Set-Cookie", std::string(kSessionCookie) + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
        res.set_redirect("/committee/signin", 303);
    });
    s.Get("/committee", [this](const httplib::Request& req, httplib::Response& res) {
        const auto session = committee(req);
        if (!session) {
            res.status = 401;
            res.set_content(signInPage({}), kHtml);
            return;
        }
        const auto runs = store_.runs();
        std::vector<std::string> calls;
        if (!runs.empty() && runs.front().state == "done") calls = stationReportCalls(runFolder(runs.front().id));
        res.set_content(committeePage(store_.uploads(), store_.wanted(50), runs, calls, session->csrf), kHtml);
    });
    s.Post("/committee/crosscheck", [this](const httplib::Request& req, httplib::Response& res) {
        if (!committeeForm(req, res)) return;
        if (const std::int64_t id = startRun(); id <= 0) return runNotStarted(req, res, id);
        res.set_redirect("/committee", 303);
    });
    s.Post(R"(/committee/publish/(\d{1,15}))", [this](const httplib::Request& req, httplib::Response& res) {
        if (!committeeForm(req, res)) return;
        store_.publishRun(std::stoll(req.matches[1]));
        res.set_redirect("/committee", 303);
    });
}

bool RobotServer::signedIn(const httplib::Request& req, httplib::Response& res) {
    if (committee(req)) return true;
    res.set_header("WWW-Authenticate", "Bearer");
    answer(req, res, 401, "Sign in", "the committee's API needs the committee's token");
    return false;
}

void RobotServer::committeeApiRoutes() {
    httplib::Server& s = *server_;
    s.Get("/api/uploads", [this](const httplib::Request& req, httplib::Response& res) {
        if (signedIn(req, res)) res.set_content(uploadsJson(store_.uploads()), kJson);
    });
    s.Get("/api/wanted", [this](const httplib::Request& req, httplib::Response& res) {
        if (signedIn(req, res)) res.set_content(wantedJson(store_.wanted(100)), kJson);
    });
    s.Post("/api/crosscheck", [this](const httplib::Request& req, httplib::Response& res) {
        if (!committeeForm(req, res)) return;
        const std::int64_t id = startRun();
        if (id <= 0) return runNotStarted(req, res, id);
        res.status = 202;
        res.set_header("Location", "/api/crosscheck/" + std::to_string(id));
        res.set_content("{\"id\":" + std::to_string(id) + "}\n", kJson);
    });
    s.Post(R"(/api/crosscheck/(\d{1,15})/publish)", [this](const httplib::Request& req, httplib::Response& res) {
        if (!committeeForm(req, res)) return;
        const std::int64_t id = std::stoll(req.matches[1]);
        store_.publishRun(id);
        const auto run = store_.run(id);
        if (!run || !run->published) return answer(req, res, 409, "Not published", "only a finished run can be published");
        res.set_content(runJson(*run), kJson);
    });
    // A run's state and outputs; the run's number is the only part of the address that names a file.
    s.Get(R"(/api/crosscheck/(\d{1,15})(/(results\.csv|results\.html|logs\.zip|ubn/([A-Za-z0-9/_-]{1,64})))?)",
          [this](const httplib::Request& req, httplib::Response& res) { runOutput(req, res); });
}

void RobotServer::runOutput(const httplib::Request& req, httplib::Response& res) {
    if (!signedIn(req, res)) return;
    const std::int64_t id = std::stoll(req.matches[1]);
    const auto run = store_.run(id);
    if (!run) return answer(req, res, 404, "Not found", "no such cross-check run");
    const std::string what = req.matches[3];
    if (what.empty()) {
        RunRecord shown = *run;
        if (shown.state == "running") {
            const std::string progress = crossCheckProgress(runFolder(id));
            if (!progress.empty()) shown.progress = progress;
        }
        return res.set_content(runJson(shown), kJson);
    }
    if (run->state != "done") return answer(req, res, 409, "Not ready", "the run is " + run->state);
    const fs::path folder = runFolder(id);
    if (what == "results.csv") {
        res.set_content(readWhole(folder / "out" / "results.csv"), "text/csv; charset=utf-8");
    } else if (what == "results.html") {
        res.set_content(readWhole(folder / "out" / "results.html"), kHtml);
    } else if (what == "logs.zip") {
        res.set_header("Content-Disposition", "attachment; filename=\"logs.zip\"");
        res.set_content(runLogsZip(folder), "application/zip");
    } else {
        const auto report = stationReport(folder, req.matches[4]);
        if (!report) return answer(req, res, 404, "Not found", "no station report for this call");
        res.set_content(readWhole(*report), "text/plain; charset=utf-8");
    }
}

}  // namespace robot
