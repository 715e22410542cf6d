#pragma once
// The robot's routes as one table, and the one place where every routed request enters: the
// route's access is checked there (the committee-only wrapper), then its handler runs.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace httplib {
class ContentReader;
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace robot {

class CommitteeAccess;

/// Who may use a route, and how a refusal is answered.
enum class Access {
    kPublic,
    kCommitteePage,  ///< signed in; else 401 with the sign-in page
    kCommitteeApi,   ///< signed in by token or session; else 401 asking for the token
    kCommitteeForm,  ///< a committee POST: signed in, and from the committee's own page (origin, csrf)
};

/// One request as a route's handler sees it.
struct Exchange {
    const httplib::Request& req;
    httplib::Response& res;
    /// The body's reader on a route that reads its body itself (an upload); null on the others. A
    /// request sent without a body has an empty one.
    const httplib::ContentReader* reader = nullptr;
    /// The fields of a POST's form body (URL-encoded or multipart) on the other POST routes.
    std::multimap<std::string, std::string> form;
    /// The committee session's form token on a committee route; empty for a Bearer token.
    std::string csrf;
    /// The client's address: the peer's, or the one a trusted proxy names.
    std::string client;

    /// A form field or query parameter named `name` (the form's first); none when neither has it.
    std::optional<std::string> field(const std::string& name) const;
};

using Handler = std::function<void(Exchange&)>;

/// One route: its method, its address (a regular expression matched whole), who may use it, and
/// what answers it.
struct Route {
    enum class Method {
        kGet,
        kPost,        ///< a form's POST: its fields read for the handler (at most 64 KiB of them)
        kPostStream,  ///< a POST whose handler reads the body itself, as it arrives
    };
    Method method;
    std::string pattern;
    Access access;
    Handler handler;
};

/// What the HTTP server is given besides its routes.
struct ServerLimits {
    std::size_t threads = 32;
    std::size_t maxBody = 5 * 1024 * 1024;
};

/// Sets up `server`: its threads, the security headers every answer carries, the body limit, the
/// timeouts and the answers to errors.
void configureServer(httplib::Server& server, const ServerLimits& limits);

/// Registers `routes` on `server`; each request of a route enters through one function that finds
/// its client (X-Forwarded-For believed only from `trustedProxies`) and asks `access` whether it may
/// pass. `access` must outlive the server. Returns what makes every body being read end at its next
/// bytes, for the server's stop.
std::function<void()> installRoutes(httplib::Server& server, const std::vector<Route>& routes,
                                    CommitteeAccess& access, const std::vector<std::string>& trustedProxies);

}  // namespace robot
