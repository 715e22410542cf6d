#pragma once
// The robot's public listening socket. One thread accepts the connections and reads each request's
// head and body into memory within bounds (connections per address and in all, the head's size, the
// body's limit, deadlines, a budget for everything in hand); only a request in hand whole goes on to
// the HTTP server on a loopback port, with its peer named in a header that carries a secret, and
// the answer comes back at the client's pace. A slow or oversized request never holds one of the
// server's threads, which the HTTP library itself cannot bound: it reads the headers whole before
// any hook of it runs, has no deadline for a whole request, and no hook where a connection is taken.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/robot/route_table.h"

namespace robot {

/// Where the front door listens, where it hands requests over, and its bounds.
struct FrontDoorSettings {
    std::string host = "127.0.0.1";
    int port = 0;        ///< 0: a free port
    int innerPort = 0;   ///< the HTTP server's, on 127.0.0.1
    std::string secret;  ///< sent beside each peer's address, so that no one else can name a peer
    /// Peers not capped per address (reverse proxies: every client comes from them).
    std::vector<std::string> trustedProxies;
    /// The body a request may send, from the route table.
    std::function<BodyRoom(const std::string& method, const std::string& path)> bodyRoom;
    std::size_t maxUploadBytes = 5 * 1024 * 1024;
    std::chrono::milliseconds headDeadline{20000};
    std::chrono::milliseconds requestDeadline{60000};
    /// A client that takes none of its answer for this long is dropped.
    std::chrono::milliseconds writeDeadline{20000};
    std::size_t perAddress = 16;
    std::size_t connections = 512;
    /// Bytes of requests and answers in hand past which no more is read from the clients.
    std::size_t budget = 256 * 1024 * 1024;
};

/// The front door: open(), then run() in a thread of its own until stop().
class FrontDoor {
  public:
    FrontDoor();
    ~FrontDoor();
    FrontDoor(const FrontDoor&) = delete;
    FrontDoor& operator=(const FrontDoor&) = delete;

    /// Listens on the settings' address; false with `error`.
    bool open(FrontDoorSettings settings, std::string& error);
    /// The port it listens on, once open.
    int port() const noexcept;
    /// Serves until stop(); blocks.
    void run();
    /// Makes run() end soon, from any thread: requests not yet handed over are dropped, answers on
    /// their way get a moment to finish.
    void stop();

  private:
    struct Loop;
    std::unique_ptr<Loop> loop_;
};

}  // namespace robot
