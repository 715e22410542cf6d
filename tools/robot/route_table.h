#pragma once
// The robot's routes as one table, and the one place where every routed request enters: the
// route's access is checked there (the committee-only wrapper), then its handler runs.

#include <functional>
#include <map>
#include <memory>
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
/// timeouts and the answers to errors. Returns where the listening socket is noted once bound.
std::shared_ptr<const int> configureServer(httplib::Server& server, const ServerLimits& limits);

/// What a request may send as its body, by the route its method and path find.
enum class BodyRoom {
    kNone,    ///< no route takes a body here
    kForm,    ///< a form's fields (at most 64 KiB)
    kUpload,  ///< an upload, which its handler reads as it arrives
};

/// What the server is given back once the routes are registered.
struct InstalledRoutes {
    /// Makes every body being read end at its next bytes, for the server's stop.
    std::function<void()> endBodies;
    /// The body a request to `path` with `method` may send (for the front door, before it reads one).
    std::function<BodyRoom(const std::string& method, const std::string& path)> bodyRoom;
};

/// Whom the routes serve: requests through the front door only, which names each one's peer in the
/// peer header with `secret`; behind the proxies `trustedProxies`, the client they name.
struct RouteClients {
    std::string secret;
    std::vector<std::string> trustedProxies;
};

/// Registers `routes` on `server`; each request of a route enters through one function that finds
/// its client (X-Forwarded-For believed only from trusted proxies) and asks `access` whether it may
/// pass. A request without the front door's peer header is refused. `access` must outlive the server.
InstalledRoutes installRoutes(httplib::Server& server, const std::vector<Route>& routes, CommitteeAccess& access,
                              const RouteClients& clients);

}  // namespace robot
