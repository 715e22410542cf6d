#include "tools/robot/route_table.h"

#include <httplib.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <regex>

#include "tools/robot/answers.h"
#include "tools/robot/client_address.h"
#include "tools/robot/committee_access.h"
#include "tools/robot/request_head.h"

namespace robot {

namespace {

// A form's fields are small: a token, a page number.
constexpr std::size_t kMaxFormBytes = kFormFramingRoom;

// A request with neither a length nor chunks has no body (a POST sent as `curl -X POST` without -d).
// The library would wait for one until the connection ends; it is read here as empty instead.
bool sendsBody(const httplib::Request& req) {
    return req.has_header("Content-Length") || req.has_header("Transfer-Encoding");
}

// Bounds on one request, behind the front door's own (request_head.h): the front door's peer and
// framing headers and the library's own (REMOTE_ADDR and the like) come on top of the client's. A
// browser sends some 15 headers of a few KiB in all; a client gets at most as many requests served
// at once as the front door lets it open connections; an upload's body of 5 MiB arrives well within
// the deadline even at 100 KB/s.
constexpr std::size_t kMaxHeaders = kMaxHeadLines + 8;
constexpr std::size_t kMaxHeaderBytes = kMaxHeadBytes + 1024;
constexpr int kMaxRequestsPerClient = 16;
constexpr auto kBodyDeadline = std::chrono::seconds(60);

// What every request passes before and while it is routed: the front door's secret, the proxies
// whose X-Forwarded-For is believed, the POST routes (the only ones that take a body; true for those
// whose handler reads it as it arrives), and each client's requests in hand.
struct Gate {
    RouteClients clients;
    std::vector<std::pair<std::regex, bool>> postRoutes;
    std::mutex mutex;
    std::map<std::string, int> inHand;  // guarded by mutex
    std::atomic<bool> stopping{false};  // the server stops: bodies being read end at their next bytes
};

// Counts one request of `client` while it is served; `admitted` false when the client has too many.
class InHand {
  public:
    InHand(Gate& gate, const std::string& client) : gate_(gate), client_(client) {
        std::lock_guard lock(gate_.mutex);
        admitted_ = ++gate_.inHand[client_] <= kMaxRequestsPerClient;
    }
    ~InHand() {
        std::lock_guard lock(gate_.mutex);
        if (--gate_.inHand[client_] == 0) gate_.inHand.erase(client_);
    }
    InHand(const InHand&) = delete;
    InHand& operator=(const InHand&) = delete;
    bool admitted() const noexcept { return admitted_; }

  private:
    Gate& gate_;
    std::string client_;
    bool admitted_ = false;
};

// Answers `status` and closes the connection: the request's body, if any, is left unread.
void refuse(const httplib::Request& req, httplib::Response& res, int status, const std::string& title,
            const std::string& message) {
    res.set_header("Connection", "close");
    answer(req, res, status, title, message);
}

// The body a request may send: none unless a POST route takes it.
BodyRoom bodyRoom(const Gate& gate, const std::string& method, const std::string& path) {
    if (method != "POST") return BodyRoom::kNone;
    for (const auto& [pattern, streams] : gate.postRoutes)
        if (std::regex_match(path, pattern)) return streams ? BodyRoom::kUpload : BodyRoom::kForm;
    return BodyRoom::kNone;
}

// Before the routing, and before any body is read: headers past the bounds, and a body sent where
// no route takes one (the library would read a chunked one whole, without a limit), are refused.
bool screened(const Gate& gate, const httplib::Request& req, httplib::Response& res) {
    if (!peerFromHeader(req.get_header_value(kPeerHeader), gate.clients.secret)) {
        refuse(req, res, 403, "Forbidden", "this port takes requests from the robot's front door only");
        return false;
    }
    std::size_t bytes = 0;
    for (const auto& [name, value] : req.headers) bytes += name.size() + value.size() + 4;
    if (req.headers.size() > kMaxHeaders || bytes > kMaxHeaderBytes) {
        refuse(req, res, 431, "Headers too large", "the request's headers are more than any browser sends");
        return false;
    }
    if (!sendsBody(req)) return true;
    if (bodyRoom(gate, req.method, req.path) != BodyRoom::kNone) return true;
    refuse(req, res, req.method == "POST" ? 404 : 400, req.method == "POST" ? "Not found" : "No body here",
           req.method == "POST" ? "there is nothing at this address" : "this request takes no body");
    return false;
}

// `reader`, stopping once the body has taken longer than the deadline (`late` says it did) or the
// server stops, so that a client trickling its body holds neither a thread nor the stop.
httplib::ContentReader timed(const httplib::ContentReader& reader, const Gate& gate, bool& late) {
    const auto deadline = std::chrono::steady_clock::now() + kBodyDeadline;
    const auto inTime = [deadline, &gate, &late](const httplib::ContentReceiver& receive) {
        return [deadline, &gate, &late, receive](const char* data, std::size_t n) {
            late = late || gate.stopping || std::chrono::steady_clock::now() > deadline;
            return !late && receive(data, n);
        };
    };
    return httplib::ContentReader(
        [&reader, inTime](httplib::ContentReceiver receive) { return reader(inTime(receive)); },
        [&reader, inTime](httplib::MultipartContentHeader header, httplib::ContentReceiver receive) {
            return reader(std::move(header), inTime(receive));
        });
}

const httplib::ContentReader kNoBody([](httplib::ContentReceiver) { return true; },
                                     [](httplib::MultipartContentHeader, httplib::ContentReceiver) { return true; });

// The fields of a form's body into `form`; false when the body is past the limit or did not arrive
// whole (answered).
bool readForm(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
              std::multimap<std::string, std::string>& form) {
    std::size_t size = 0;
    bool whole = true;
    if (req.is_multipart_form_data()) {
        std::string* field = nullptr;
        whole = reader(
            [&](const httplib::MultipartFormData& part) {
                // The part's name and headers count toward the limit too: past it nothing is kept.
                size += part.name.size() + part.filename.size() + part.content_type.size();
                field = size <= kMaxFormBytes ? &form.emplace(part.name, std::string())->second : nullptr;
                return true;
            },
            [&](const char* data, std::size_t n) {
                if ((size += n) <= kMaxFormBytes && field) field->append(data, n);
                return true;
            });
    } else {
        std::string body;
        whole = reader([&](const char* data, std::size_t n) {
            if ((size += n) <= kMaxFormBytes) body.append(data, n);
            return true;
        });
        if (req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) == 0)
            httplib::detail::parse_query_text(body, form);
    }
    if (res.status == 413 || size > kMaxFormBytes) {
        answer(req, res, 413, "Too large", "a form of the robot's pages is never that large");
        return false;
    }
    if (!whole) answer(req, res, 400, "Not received", "the request did not arrive whole: please send it again");
    return whole;
}

// Every routed request passes here: its client found and counted, a POST's body first (a form's
// fields read, none taken as empty, all of it within the deadline), then the route's access, then
// its handler.
void enter(const Route& route, CommitteeAccess& access, Gate& gate, const httplib::Request& req,
           httplib::Response& res, const httplib::ContentReader* reader) {
    Exchange exchange{req, res, nullptr, {}, {}, {}};
    std::vector<std::string> forwardedFor;
    for (auto [at, end] = req.headers.equal_range("X-Forwarded-For"); at != end; ++at)
        forwardedFor.push_back(at->second);
    // The peer the front door names (checked before the routing); the connection's own is the front door's.
    const std::string peer = peerFromHeader(req.get_header_value(kPeerHeader), gate.clients.secret).value_or("");
    exchange.client = clientAddress(peer, forwardedFor, gate.clients.trustedProxies);
    const InHand counted(gate, exchange.client);
    if (!counted.admitted())
        return refuse(req, res, 429, "Too many requests", "your address has too many requests open: wait for them");
    bool late = false;
    std::optional<httplib::ContentReader> inTime;
    if (reader && !sendsBody(req)) reader = &kNoBody;
    if (reader) reader = &inTime.emplace(timed(*reader, gate, late));
    if (route.method == Route::Method::kPostStream)
        exchange.reader = reader;
    else if (reader && !readForm(req, res, *reader, exchange.form))
        return late ? refuse(req, res, 408, "Too slow", "the request took too long to arrive") : void();
    if (!access.admit(route.access, exchange)) return;
    route.handler(exchange);
    if (late) refuse(req, res, 408, "Too slow", "the request took too long to arrive");
}

}  // namespace

std::optional<std::string> Exchange::field(const std::string& name) const {
    if (const auto it = form.find(name); it != form.end()) return it->second;
    if (req.has_param(name)) return req.get_param_value(name);
    return std::nullopt;
}

std::shared_ptr<const int> configureServer(httplib::Server& s, const ServerLimits& limits) {
    // The library's own socket options set SO_REUSEPORT, with which another process could bind the
    // same port and take some of the front door's connections. SO_REUSEADDR alone lets a second
    // bind of a listened port fail.
    const auto listening = std::make_shared<int>(-1);
    s.set_socket_options([listening](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        *listening = sock;
    });
    const std::size_t threads = limits.threads;
    s.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    s.set_default_headers(httplib::Headers(securityHeaders().begin(), securityHeaders().end()));
    // An upload sent as a form carries its framing around the log: the log's own limit is kept where
    // the body is read (readUpload), this one only bounds the whole.
    s.set_payload_max_length(limits.maxBody + kFormFramingRoom);
    // Each read of a request waits at most this long; the whole of a body, kBodyDeadline.
    s.set_read_timeout(std::chrono::seconds(20));
    // The front door relays an answer at its client's pace, reading ahead of it by 1 MiB: a write
    // waits at most this long for it, as the front door waits for its client.
    s.set_write_timeout(std::chrono::seconds(20));
    s.set_error_handler([maxBody = limits.maxBody](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        if (res.status == 413)
            tooLarge(req, res, maxBody);
        else if (res.status == 404)
            notFound(req, res);
        else
            answer(req, res, res.status, "Error", "the request could not be served (HTTP " +
                                                      std::to_string(res.status) + ")");
    });
    return listening;
}

InstalledRoutes installRoutes(httplib::Server& server, const std::vector<Route>& routes, CommitteeAccess& access,
                              const RouteClients& clients) {
    const auto gate = std::make_shared<Gate>();
    gate->clients = clients;
    for (const Route& r : routes)
        if (r.method != Route::Method::kGet)
            gate->postRoutes.emplace_back(std::regex(r.pattern), r.method == Route::Method::kPostStream);
    server.set_pre_routing_handler([gate](const httplib::Request& req, httplib::Response& res) {
        return screened(*gate, req, res) ? httplib::Server::HandlerResponse::Unhandled
                                         : httplib::Server::HandlerResponse::Handled;
    });
    for (const Route& r : routes) {
        // Each handler keeps its own copy of the route: the table may go once they are registered.
        auto route = std::make_shared<const Route>(r);
        // Every POST takes its body through a reader, so that the entry decides how it is read.
        if (r.method == Route::Method::kGet)
            server.Get(r.pattern, [route, gate, &access](const httplib::Request& req, httplib::Response& res) {
                enter(*route, access, *gate, req, res, nullptr);
            });
        else
            server.Post(r.pattern, [route, gate, &access](const httplib::Request& req, httplib::Response& res,
                                                          const httplib::ContentReader& reader) {
                enter(*route, access, *gate, req, res, &reader);
            });
    }
    return {[gate] { gate->stopping = true; },
            [gate](const std::string& method, const std::string& path) { return bodyRoom(*gate, method, path); }};
}

}  // namespace robot
