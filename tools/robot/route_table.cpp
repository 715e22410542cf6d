#include "tools/robot/route_table.h"

#include <httplib.h>

#include <memory>

#include "tools/robot/answers.h"
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

// Every routed request passes here: the route's access first, then its handler.
void enter(const Route& route, CommitteeAccess& access, const httplib::Request& req, httplib::Response& res,
           const httplib::ContentReader* reader) {
    Exchange exchange{req, res, reader, {}};
    if (!access.admit(route.access, exchange)) return;
    route.handler(exchange);
}

}  // namespace

std::optional<std::string> Exchange::field(const std::string& name) const {
    if (req.is_multipart_form_data() && req.has_file(name)) return req.get_file_value(name).content;
    if (req.has_param(name)) return req.get_param_value(name);
    return std::nullopt;
}

void configureServer(httplib::Server& s, const ServerLimits& limits) {
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

void installRoutes(httplib::Server& server, const std::vector<Route>& routes, CommitteeAccess& access) {
    for (const Route& r : routes) {
        // Each handler keeps its own copy of the route: the table may go once they are registered.
        auto route = std::make_shared<const Route>(r);
        const auto plain = [route, &access](const httplib::Request& req, httplib::Response& res) {
            enter(*route, access, req, res, nullptr);
        };
        switch (r.method) {
            case Route::Method::kGet:
                server.Get(r.pattern, plain);
                break;
            case Route::Method::kPost:
                server.Post(r.pattern, plain);
                break;
            case Route::Method::kPostStream:
                server.Post(r.pattern, [route, &access](const httplib::Request& req, httplib::Response& res,
                                                        const httplib::ContentReader& reader) {
                    enter(*route, access, req, res, &reader);
                });
                break;
        }
    }
}

}  // namespace robot
