#include "tools/robot/route_table.h"

#include <httplib.h>

#include <memory>

#include "tools/robot/answers.h"
#include "tools/robot/client_address.h"
#include "tools/robot/committee_access.h"

namespace robot {

namespace {

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

// A form's fields are small: a token, a page number.
constexpr std::size_t kMaxFormBytes = 64 * 1024;

// A request with neither a length nor chunks has no body (a POST sent as `curl -X POST` without -d).
// The library would wait for one until the connection ends; it is read here as empty instead.
bool sendsBody(const httplib::Request& req) {
    return req.has_header("Content-Length") || req.has_header("Transfer-Encoding");
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
                field = &form.emplace(part.name, std::string())->second;
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

// Every routed request passes here: a POST's body first (a form's fields read, none taken as empty),
// then the route's access, then its handler.
void enter(const Route& route, CommitteeAccess& access, const std::vector<std::string>& trustedProxies,
           const httplib::Request& req, httplib::Response& res, const httplib::ContentReader* reader) {
    Exchange exchange{req, res, nullptr, {}, {}, {}};
    std::vector<std::string> forwardedFor;
    for (auto [at, end] = req.headers.equal_range("X-Forwarded-For"); at != end; ++at)
        forwardedFor.push_back(at->second);
    exchange.client = clientAddress(req.remote_addr, forwardedFor, trustedProxies);
    if (reader && !sendsBody(req)) reader = &kNoBody;
    if (route.method == Route::Method::kPostStream)
        exchange.reader = reader;
    else if (reader && !readForm(req, res, *reader, exchange.form))
        return;
    if (!access.admit(route.access, exchange)) return;
    route.handler(exchange);
}

}  // namespace

std::optional<std::string> Exchange::field(const std::string& name) const {
    if (const auto it = form.find(name); it != form.end()) return it->second;
    if (req.has_param(name)) return req.get_param_value(name);
    return std::nullopt;
}

void configureServer(httplib::Server& s, const ServerLimits& limits) {
    // The library's own socket options set SO_REUSEPORT, with which a second robot binds the same
    // port and the kernel splits the clients between the two. SO_REUSEADDR alone lets a restart
    // bind at once while the old connections linger, and a second bind of a listened port fails.
    s.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    const std::size_t threads = limits.threads;
    s.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    s.set_default_headers(kSecurityHeaders);
    s.set_payload_max_length(limits.maxBody);
    s.set_read_timeout(std::chrono::seconds(30));
    s.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        if (res.status == 413)
            tooLarge(req, res);
        else if (res.status == 404)
            notFound(req, res);
        else
            answer(req, res, res.status, "Error", "the request could not be served (HTTP " +
                                                      std::to_string(res.status) + ")");
    });
}

void installRoutes(httplib::Server& server, const std::vector<Route>& routes, CommitteeAccess& access,
                   const std::vector<std::string>& trustedProxies) {
    const auto trusted = std::make_shared<const std::vector<std::string>>(trustedProxies);
    for (const Route& r : routes) {
        // Each handler keeps its own copy of the route: the table may go once they are registered.
        auto route = std::make_shared<const Route>(r);
        // Every POST takes its body through a reader, so that the entry decides how it is read.
        if (r.method == Route::Method::kGet)
            server.Get(r.pattern, [route, trusted, &access](const httplib::Request& req, httplib::Response& res) {
                enter(*route, access, *trusted, req, res, nullptr);
            });
        else
            server.Post(r.pattern, [route, trusted, &access](const httplib::Request& req, httplib::Response& res,
                                                             const httplib::ContentReader& reader) {
                enter(*route, access, *trusted, req, res, &reader);
            });
    }
}

}  // namespace robot
