#pragma once
// The committee's sign-in in one place: its token, the sessions the sign-in page opens, and the
// check every committee route passes (token or session; for a form also its origin and the
// session's form token).

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "tools/robot/route_table.h"

namespace robot {

/// Who the committee is and which sessions it holds; safe to use from several threads.
class CommitteeAccess {
  public:
    /// The committee's token, as the data folder keeps it.
    void useToken(std::string token) { token_ = std::move(token); }
    const std::string& token() const noexcept { return token_; }

    /// True when `exchange` may use a route of `access` (its csrf set on a committee route); else
    /// the refusal is answered.
    bool admit(Access access, Exchange& exchange);

    /// POST /committee/signin: a session for the token in the form, or the form again.
    void signIn(Exchange& exchange);
    /// POST /committee/signout: the session ends.
    void signOut(Exchange& exchange);

  private:
    struct Session {
        std::string csrf;  ///< empty for a Bearer token
        std::chrono::steady_clock::time_point expires;
    };

    /// The committee's session of the request (a Bearer token: one with an empty csrf); none: not signed in.
    std::optional<Session> session(const httplib::Request& req);
    /// For a committee form post: signed in, same origin, and the session's csrf token.
    bool formAllowed(Exchange& exchange);

    std::string token_;
    std::mutex mutex_;  // guards sessions_
    std::map<std::string, Session> sessions_;
};

}  // namespace robot
