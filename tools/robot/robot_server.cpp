#include "tools/robot/robot_server.h"

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>

#include "tools/contest/contest_choice.h"
#include "tools/robot/answers.h"
#include "tools/robot/committee_page.h"
#include "tools/robot/data_folder.h"
#include "tools/robot/pages.h"
#include "tools/robot/text.h"

namespace robot {

namespace {

// What the upload page tells of this robot's contest and what it takes.
UploadInvitation invitationOf(const RobotConfig& config) {
    UploadInvitation invitation;
    invitation.contest = config.contestTitle.empty() ? contest::builtinContest().title : config.contestTitle;
    if (config.deadline) invitation.deadline = utcText(*config.deadline).substr(0, 16);
    invitation.closed = config.closed;
    invitation.adif = config.score.contestFile.empty();
    invitation.maxBytes = config.maxUploadBytes;
    return invitation;
}

}  // namespace

RobotServer::RobotServer(RobotConfig config)
    : config_(std::move(config)),
      uploadPage_(uploadPage(invitationOf(config_), {})),
      uploads_(config_, store_),
      runs_(config_, store_),
      server_(std::make_unique<httplib::Server>()) {
    uploads_.showResults([this](const UploadRecord& upload) { return runs_.publishedReport(upload); });
}

RobotServer::~RobotServer() {
    stop();
}

std::filesystem::path RobotServer::tokenFile() const {
    return robot::tokenFile(config_.data);
}

bool RobotServer::open(std::string& error) {
    std::string token;
    if (!openDataFolder(config_.data, folderLock_, store_, token, error)) return false;
    access_.useToken(std::move(token));
    runs_.takeInOldRuns();
    const std::shared_ptr<const int> listening =
        configureServer(*server_, {serverThreads(config_), config_.maxUploadBytes});
    // The secret the front door names each peer with: made anew at each start, known to no one else.
    FrontDoorSettings door;
    door.secret = randomHex(16);
    const InstalledRoutes routes =
        installRoutes(*server_, routeTable(), access_, {door.secret, config_.trustedProxies});
    endBodies_ = routes.endBodies;
    door.host = config_.host;
    door.port = config_.port;
    door.innerPort = server_->bind_to_any_port("127.0.0.1");
    door.trustedProxies = config_.trustedProxies;
    door.bodyRoom = routes.bodyRoom;
    door.maxUploadBytes = config_.maxUploadBytes;
    door.headDeadline = config_.headDeadline;
    door.requestDeadline = config_.requestDeadline;
    // The library listens with a queue of 5 connections; the front door may hand over hundreds at
    // once, and a connection past the queue would wait a second for the kernel's next try.
    if (door.innerPort > 0) unservedSocket_ = *listening;
    if (door.innerPort <= 0 || listen(*listening, SOMAXCONN) != 0) {
        error = "cannot listen on 127.0.0.1 behind the front door";
        closeUnserved();
        return false;
    }
    if (!door_.open(std::move(door), error)) {
        closeUnserved();
        return false;
    }
    port_ = door_.port();
    uploads_.resume();
    return true;
}

bool RobotServer::serve() {
    // The HTTP server in a thread of its own, running before the front door hands it anything; it
    // stops once the front door has.
    unservedSocket_ = -1;  // the library's now: it closes the socket when it stops
    std::thread inner([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 5000 && !server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    door_.run();
    server_->stop();
    inner.join();
    return true;
}

void RobotServer::start() {
    serving_ = std::thread([this] { serve(); });
}

void RobotServer::stop() {
    // A signal's thread and the destructor may both stop the server: the second waits for the first,
    // so that nothing is destroyed while a run still uses it.
    std::lock_guard stopping(stopping_);
    // The scoring first: a request that waits for an outcome answers at once, so that the server's
    // threads end without waiting for the queue.
    uploads_.stop();
    if (endBodies_) endBodies_();
    door_.stop();
    if (serving_.joinable()) serving_.join();
    closeUnserved();
    runs_.stop();
}

void RobotServer::closeUnserved() {
    // A server that opened and never served (or did not open) must not leave its inner socket
    // listening: connections to it would wait unanswered for as long as the process lives.
    if (const int socket = unservedSocket_.exchange(-1); socket >= 0) ::close(socket);
}

std::vector<Route> RobotServer::routeTable() {
    std::vector<Route> routes = publicRoutes();
    for (Route& r : committeeRoutes()) routes.push_back(std::move(r));
    return routes;
}

std::vector<Route> RobotServer::publicRoutes() {
    using M = Route::Method;
    const Access all = Access::kPublic;
    return {
        {M::kGet, "/", all, [this](Exchange& x) { x.res.set_content(uploadPage_, kHtml); }},
        {M::kPostStream, "/upload", all, [this](Exchange& x) { uploads_.receive(x, true); }},
        {M::kPostStream, "/api/logs", all, [this](Exchange& x) { uploads_.receive(x, false); }},
        {M::kGet, "/logs", all, [this](Exchange& x) { x.res.set_content(logsPage(store_.uploads().currentLogs()), kHtml); }},
        {M::kGet, "/api/logs", all, [this](Exchange& x) { x.res.set_content(logsJson(store_.uploads().currentLogs()), kJson); }},
        {M::kGet, R"(/report/([0-9a-f]{32}))", all,
         [this](Exchange& x) {
             const std::string page = store_.uploads().reportPage(x.req.matches[1]);
             if (page.empty()) return notFound(x.req, x.res);
             x.res.set_content(page, kHtml);
         }},
        {M::kGet, R"(/receipt/([0-9a-f]{32}))", all, [this](Exchange& x) { uploads_.receipt(x, true); }},
        {M::kGet, R"(/api/receipt/([0-9a-f]{32}))", all, [this](Exchange& x) { uploads_.receipt(x, false); }},
        // The public run's page as a folder, its reports beside it: no part of the address names a file.
        {M::kGet, R"(/results(?:/([A-Za-z0-9_~-]{1,80}\.ubn)?)?)", all, [this](Exchange& x) { runs_.results(x); }},
        {M::kGet, "/committee/signin", all, [](Exchange& x) { x.res.set_content(signInPage({}), kHtml); }},
        {M::kPost, "/committee/signin", all, [this](Exchange& x) { access_.signIn(x); }},
    };
}

std::vector<Route> RobotServer::committeeRoutes() {
    using M = Route::Method;
    const Access page = Access::kCommitteePage, api = Access::kCommitteeApi, form = Access::kCommitteeForm;
    return {
        {M::kPost, "/committee/signout", form, [this](Exchange& x) { access_.signOut(x); }},
        {M::kGet, "/committee", page, [this](Exchange& x) { showCommitteePage(x); }},
        {M::kPost, "/committee/crosscheck", form, [this](Exchange& x) { runs_.startFromPage(x); }},
        {M::kPost, R"(/committee/publish/(\d{1,15}))", form, [this](Exchange& x) { runs_.publishFromPage(x); }},
        {M::kPost, R"(/committee/unpublish/(\d{1,15}))", form, [this](Exchange& x) { runs_.unpublishFromPage(x); }},
        {M::kPost, R"(/committee/uploads/(\d{1,15})/(choose|unchoose))", form,
         [this](Exchange& x) { choose(x, true); }},
        {M::kGet, "/api/uploads", api,
         [this](Exchange& x) {
             x.res.set_content(uploadsJson(store_.uploads().all(), store_.uploads().choiceLog()), kJson);
         }},
        {M::kPost, R"(/api/uploads/(\d{1,15})/(choose|unchoose))", form,
         [this](Exchange& x) { choose(x, false); }},
        // A call as logs give it (a portable one holds a '/'): looked up, never joined into a path.
        {M::kPost, R"(/api/calls/([A-Za-z0-9/]{1,20})/choice/clear)", form,
         [this](Exchange& x) { clearChoice(x); }},
        {M::kGet, "/api/wanted", api,
         [this](Exchange& x) {
             x.res.set_content(
                 wantedJson(store_.uploads().wanted(100), store_.uploads().receivedNotAccepted()), kJson);
         }},
        {M::kPost, "/api/crosscheck", form, [this](Exchange& x) { runs_.startFromApi(x); }},
        {M::kPost, R"(/api/crosscheck/(\d{1,15})/publish)", form,
         [this](Exchange& x) { runs_.publishFromApi(x); }},
        {M::kPost, R"(/api/crosscheck/(\d{1,15})/unpublish)", form,
         [this](Exchange& x) { runs_.unpublishFromApi(x); }},
        // A run's state and outputs, looked up by the run's number and the file's name in the store.
        {M::kGet,
         R"(/api/crosscheck/(\d{1,15})(/(results\.csv|results\.html|logs\.zip|reports\.zip|ubn/([A-Za-z0-9/_-]{1,64})|)"
         R"([A-Za-z0-9_~-]{1,80}\.ubn))?)",
         api, [this](Exchange& x) { runs_.output(x); }},
    };
}

namespace {

constexpr std::int64_t kPageSize = 50;

// A page number from the query: 1 when it is missing or no number from 1 to a billion.
std::int64_t pageNumber(const Exchange& x, const std::string& name) {
    const std::string text = x.field(name).value_or("");
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    return ec == std::errc() && end == text.data() + text.size() && n >= 1 && n <= 1000000000 ? n : 1;
}

// Of the run's station reports, those of calls that hold `search`.
std::vector<std::string> shownCalls(const std::vector<std::string>& calls, const std::string& search) {
    std::vector<std::string> shown;
    for (const std::string& call : calls)
        if (upper(call).find(search) != std::string::npos) shown.push_back(call);
    return shown;
}

}  // namespace

void RobotServer::showCommitteePage(Exchange& x) {
    CommitteeView view;
    view.pageSize = kPageSize;
    view.csrf = x.csrf;
    view.search = upper(x.field("call").value_or(""));
    view.search = view.search.substr(0, 64);
    view.uploadsPage = pageNumber(x, "page");
    view.runsPage = pageNumber(x, "runs");
    UploadStore& uploads = store_.uploads();
    view.totals = uploads.totals();
    view.uploads = uploads.page({view.search, (view.uploadsPage - 1) * kPageSize, kPageSize});
    view.runs = runs_.runsPage((view.runsPage - 1) * kPageSize, kPageSize);
    if (view.runsPage == 1) view.runCalls = shownCalls(runs_.newestRunCalls(view.runs.rows), view.search);
    view.choices = uploads.choiceLog();
    view.refused = uploads.receivedNotAccepted();
    view.wanted = uploads.wanted(kWantedOnPage);
    x.res.set_content(committeePage(view), kHtml);
}

namespace {

// Who makes a choice: the page's form, or the API with the token or with the page's session.
std::string chooser(const Exchange& x, bool page) {
    return page ? "committee page" : x.csrf.empty() ? "API (token)" : "API (session)";
}

}  // namespace

void RobotServer::choose(Exchange& x, bool page) {
    // The number is looked up in the store, never used as a path; the route's pattern bounds it.
    const std::int64_t id = std::stoll(x.req.matches[1]);
    const bool take = x.req.matches[2] == "choose";
    const std::string at = utcText(std::chrono::system_clock::now());
    UploadStore& uploads = store_.uploads();
    const ChoiceAnswer done =
        take ? uploads.choose(id, at, chooser(x, page)) : uploads.unchoose(id, at, chooser(x, page));
    switch (done) {
        case ChoiceAnswer::kDone:
            break;
        case ChoiceAnswer::kNoUpload:
            return answer(x.req, x.res, 404, "Not found", "no such upload");
        case ChoiceAnswer::kNotAccepted:
            return answer(x.req, x.res, 409, "Not chosen", "only an accepted log with a call can count");
        case ChoiceAnswer::kNotChosen:
            return answer(x.req, x.res, 409, "Not undone", "the committee did not choose this version");
        case ChoiceAnswer::kFailed:
            return answer(x.req, x.res, 503, "Not stored",
                          "the choice could not be stored; please try again");
    }
    const std::optional<UploadRecord> upload = uploads.byId(id);
    if (page) return x.res.set_redirect(committeeAddressOf(upload ? upload->call : std::string()), 303);
    if (upload) x.res.set_content(choiceJson(*upload), kJson);
}

void RobotServer::clearChoice(Exchange& x) {
    const std::string call = upper(x.req.matches[1]);
    const std::string at = utcText(std::chrono::system_clock::now());
    switch (store_.uploads().clearChoice(call, at, chooser(x, false))) {
        case ChoiceAnswer::kDone:
            break;
        case ChoiceAnswer::kFailed:
            return answer(x.req, x.res, 503, "Not stored",
                          "the choice could not be stored; please try again");
        default:
            return answer(x.req, x.res, 409, "Not undone", "the committee chose no version of this call");
    }
    std::optional<std::int64_t> counting;
    for (const UploadRecord& r : store_.uploads().currentLogs())
        if (r.call == call) counting = r.id;
    x.res.set_content("{\"call\":" + jsonString(call) + ",\"counts\":" +
                          (counting ? std::to_string(*counting) : std::string("null")) + "}\n",
                      kJson);
}

}  // namespace robot
