#include "tools/robot/committee_access.h"

#include <httplib.h>

#include <string_view>

#include "tools/robot/answers.h"
#include "tools/robot/pages.h"
#include "tools/robot/text.h"

namespace robot {

namespace {

constexpr const char* kSessionCookie = "robot_session";
constexpr auto kSessionLife = std::chrono::hours(12);

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

bool sameOrigin(const httplib::Request& req) {
    // A browser names the page a form came from; another site's page must not post here. Either
    // scheme: behind a reverse proxy that serves HTTPS the page is https:// at the same host.
    const std::string origin = req.get_header_value("Origin");
    const std::string host = req.get_header_value("Host");
    return origin.empty() || origin == "http://" + host || origin == "https://" + host;
}

}  // namespace

bool CommitteeAccess::admit(Access access, Exchange& x) {
    switch (access) {
        case Access::kPublic:
            return true;
        case Access::kCommitteePage:
            if (const auto s = session(x.req)) {
                x.csrf = s->csrf;
                return true;
            }
            x.res.status = 401;
            x.res.set_content(signInPage({}), kHtml);
            return false;
        case Access::kCommitteeApi:
            if (session(x.req)) return true;
            x.res.set_header("WWW-Authenticate", "Bearer");
            answer(x.req, x.res, 401, "Sign in", "the committee's API needs the committee's token");
            return false;
        case Access::kCommitteeForm:
            return formAllowed(x);
    }
    return false;
}

std::optional<CommitteeAccess::Session> CommitteeAccess::session(const httplib::Request& req) {
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

bool CommitteeAccess::formAllowed(Exchange& x) {
    const auto s = session(x.req);
    if (!s) {
        answer(x.req, x.res, 401, "Sign in", "the committee's pages need the committee's sign-in");
        return false;
    }
    x.csrf = s->csrf;
    if (s->csrf.empty()) return true;  // a Bearer token: no browser sends one by itself
    const std::string csrf = x.field("csrf").value_or(x.req.get_header_value("X-CSRF-Token"));
    if (!sameOrigin(x.req) || !sameSecret(csrf, s->csrf)) {
        answer(x.req, x.res, 403, "Refused", "this form did not come from the committee's page");
        return false;
    }
    return true;
}

void CommitteeAccess::signIn(Exchange& x) {
    const std::string token = x.field("token").value_or("");
    if (!sameOrigin(x.req) || !sameSecret(token, token_)) {
        x.res.status = 401;
        x.res.set_content(signInPage("that is not the committee's token"), kHtml);
        return;
    }
    const std::string id = randomHex(32);
    {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        std::erase_if(sessions_, [&](const auto& e) { return e.second.expires < now; });
        sessions_[id] = {randomHex(16), now + kSessionLife};
    }
    x.res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + id +
                                       "; Path=/; HttpOnly; SameSite=Strict; Max-Age=43200");
    x.res.set_redirect("/committee", 303);
}

void CommitteeAccess::signOut(Exchange& x) {
    {
        std::lock_guard lock(mutex_);
        sessions_.erase(cookieValue(x.req, kSessionCookie));
    }
    x.res.set_header("Set-Cookie", std::string(kSessionCookie) + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
    x.res.set_redirect("/committee/signin", 303);
}

}  // namespace robot
