#include "tools/robot/door_connection.h"

#include <algorithm>
#include <iterator>

#include "tools/robot/client_address.h"

namespace robot {

using Connection = DoorConnection;

short clientEvents(const Connection& c, bool budgetLeft) {
    short events = c.toClient.empty() ? 0 : POLLOUT;
    if ((c.reading() && budgetLeft) || c.phase == Connection::Phase::kLinger) events |= POLLIN;
    return events;
}

// The server's answer is read ahead of the client by kAnswerAhead at most, and past the budget
// only when none of it waits.
short innerEvents(const Connection& c, bool budgetLeft) {
    short events = !c.connected || !c.toInner.empty() ? POLLOUT : 0;
    if (c.connected && (c.toClient.empty() || (budgetLeft && c.toClient.size() < kAnswerAhead)))
        events |= POLLIN;
    return events;
}

Clock::time_point deadlineOf(const Connection& c) {
    switch (c.phase) {
        case Connection::Phase::kHead:
            return std::min(c.headBy, c.requestBy);
        case Connection::Phase::kBody:
            return c.requestBy;
        case Connection::Phase::kInner:
            return c.toClient.empty() ? Clock::time_point::max() : c.progressBy;
        case Connection::Phase::kAnswer:
            return c.progressBy;
        case Connection::Phase::kLinger:
            return c.lingerBy;
    }
    return Clock::time_point::max();
}

// The request as the server gets it: as it came, one request per connection, its body whole with
// its length, and its peer named with the secret; the same headers from outside are dropped.
std::string forwardedHead(const Connection& c, const std::string& secret) {
    static constexpr std::string_view kDropped[] = {
        "Connection", "Keep-Alive", "Proxy-Connection", "Transfer-Encoding", "Content-Length",
        "Expect",     "TE",         "Upgrade",          kPeerHeader};
    std::string head = c.head.method + " " + c.head.target + " " + c.head.version + "\r\n";
    for (const auto& [name, value] : c.head.headers)
        if (std::none_of(
                std::begin(kDropped), std::end(kDropped),
                [&, &name = name](std::string_view dropped) { return sameHeaderName(name, dropped); }))
            head += name + ": " + value + "\r\n";
    head += std::string(kPeerHeader) + ": " + peerHeaderValue(secret, c.peer) + "\r\nConnection: close\r\n";
    if (c.framing.kind != BodyFraming::Kind::kNone)
        head += "Content-Length: " + std::to_string(c.body.size()) + "\r\n";
    return head + "\r\n";
}

}  // namespace robot
