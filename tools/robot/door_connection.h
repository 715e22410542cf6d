#pragma once
// One connection of the front door, from its accept to its close: what it holds in each phase, the
// events its sockets wait for, its deadline, and the request as it is handed to the server.

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "tools/robot/request_head.h"

namespace robot {

using Clock = std::chrono::steady_clock;

/// How far an answer is read ahead of its client, so that a small answer never waits in the server.
inline constexpr std::size_t kAnswerAhead = 1024 * 1024;

/// One client's connection.
struct DoorConnection {
    enum class Phase {
        kHead,    // reading the head
        kBody,    // reading the body
        kInner,   // handed over: the request goes to the server, its answer to the client
        kAnswer,  // sending the front door's own answer
        kLinger,  // answered: dropping what the client still sends
    };
    int client = -1, inner = -1;
    std::string peer;
    bool counted = false;  // in its address's count
    Phase phase = Phase::kHead;
    Clock::time_point headBy, requestBy, progressBy, lingerBy;
    HeadReader headReader;
    std::string in;  // the head as it arrives, and the body's first bytes after it
    RequestHead head;
    BodyFraming framing;
    std::optional<ChunkDecoder> chunks;
    bool upload = false;    // on an upload's route
    std::size_t limit = 0;  // the body's, framing included
    std::string body, toInner, toClient;
    bool connected = false, answered = false, innerDone = false;

    std::size_t held() const { return in.size() + body.size() + toInner.size() + toClient.size(); }
    bool reading() const { return phase == Phase::kHead || phase == Phase::kBody; }
};

/// The events the client's socket waits for; `budgetLeft`: more may be read within the front door's budget.
short clientEvents(const DoorConnection& c, bool budgetLeft);
/// The events the server's socket waits for.
short innerEvents(const DoorConnection& c, bool budgetLeft);
/// When the connection's current phase runs out of time.
Clock::time_point deadlineOf(const DoorConnection& c);
/// The request as the server gets it, its peer named with `secret`.
std::string forwardedHead(const DoorConnection& c, const std::string& secret);

}  // namespace robot
