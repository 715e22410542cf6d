#include "tools/robot/front_door.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <list>
#include <map>
#include <optional>

#include "tools/robot/answers.h"
#include "tools/robot/door_connection.h"
#include "tools/robot/door_wire.h"

namespace robot {

using Connection = DoorConnection;

namespace {

constexpr std::size_t kReadSize = 64 * 1024;
// After an answer's last byte the client's further bytes are read and dropped this long: closing
// with them unread would reset the connection, and the client could lose the answer.
constexpr auto kLinger = std::chrono::seconds(2);
// At the stop, answers on their way get this long.
constexpr auto kStopGrace = std::chrono::seconds(2);

}  // namespace

struct FrontDoor::Loop {
    FrontDoorSettings settings;
    int listener = -1, port = 0;
    int wake[2] = {-1, -1};
    std::atomic<bool> stopping{false};
    std::list<Connection> connections;  // a list: each poll entry points at its connection
    std::map<std::string, std::size_t> perAddress;
    Clock::time_point acceptAfter{};  // after an accept that found no descriptor left

    ~Loop();
    void run();
    int watch(std::vector<pollfd>& fds, std::vector<Connection*>& owners, Clock::time_point now);
    void dispatch(const std::vector<pollfd>& fds, const std::vector<Connection*>& owners);
    void sweep(Clock::time_point now);
    void accept();
    void admit(int fd, const std::string& peer);
    void onClient(Connection& c, short events);
    void readClient(Connection& c);
    void startBody(Connection& c);
    void takeBody(Connection& c, std::string_view bytes);
    void handOver(Connection& c);
    void onInner(Connection& c, short events);
    void readInner(Connection& c);
    void writeClient(Connection& c);
    void refuse(Connection& c, int status);
    void linger(Connection& c);
    void drop(Connection& c);
};

FrontDoor::Loop::~Loop() {
    for (Connection& c : connections) drop(c);
    closeFd(listener);
    closeFd(wake[0]);
    closeFd(wake[1]);
}

void FrontDoor::Loop::run() {
    std::optional<Clock::time_point> graceEnd;
    std::vector<pollfd> fds;
    std::vector<Connection*> owners;
    while (true) {
        const Clock::time_point now = Clock::now();
        if (stopping) {
            // Nothing new is taken; only the answers on their way go on, for a moment.
            if (!graceEnd) graceEnd = now + kStopGrace;
            closeFd(listener);
            for (Connection& c : connections)
                if (c.phase != Connection::Phase::kInner) drop(c);
        }
        sweep(now);
        if (graceEnd && (connections.empty() || now >= *graceEnd)) break;
        fds.clear();
        owners.clear();
        const int timeout = watch(fds, owners, now);
        if (poll(fds.data(), fds.size(), timeout) > 0) dispatch(fds, owners);
    }
    for (Connection& c : connections) drop(c);
    sweep(Clock::now());
}

// The poll set: the wake-up pipe, the listening socket, each connection's sockets; the time until
// the nearest deadline, in milliseconds.
int FrontDoor::Loop::watch(std::vector<pollfd>& fds, std::vector<Connection*>& owners,
                           Clock::time_point now) {
    fds.push_back({wake[0], POLLIN, 0});
    owners.push_back(nullptr);
    if (listener >= 0 && now >= acceptAfter) {
        fds.push_back({listener, POLLIN, 0});
        owners.push_back(nullptr);
    }
    std::size_t held = 0;
    for (const Connection& c : connections) held += c.held();
    const bool budgetLeft = held < settings.budget;
    Clock::time_point next = now + std::chrono::seconds(1);
    for (Connection& c : connections) {
        fds.push_back({c.client, clientEvents(c, budgetLeft), 0});
        owners.push_back(&c);
        if (c.inner >= 0) {
            fds.push_back({c.inner, innerEvents(c, budgetLeft), 0});
            owners.push_back(&c);
        }
        next = std::min(next, deadlineOf(c));
    }
    if (!budgetLeft) next = std::min(next, now + std::chrono::milliseconds(50));
    return static_cast<int>(
        std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(next - now).count()));
}

// Each socket that poll() found ready, matched to its connection by the descriptor the connection
// holds now (one closed during this round is skipped).
void FrontDoor::Loop::dispatch(const std::vector<pollfd>& fds, const std::vector<Connection*>& owners) {
    for (std::size_t i = 0; i < fds.size(); ++i) {
        const short events = fds[i].revents;
        if (events == 0) continue;
        Connection* c = owners[i];
        if (!c && fds[i].fd == wake[0]) {
            char drained[64];
            while (read(wake[0], drained, sizeof drained) > 0) {
            }
        } else if (!c) {
            accept();
        } else if (fds[i].fd == c->client) {
            onClient(*c, events);
        } else if (fds[i].fd == c->inner) {
            onInner(*c, events);
        }
    }
}

// Deadlines passed, and the connections closed since the last round forgotten.
void FrontDoor::Loop::sweep(Clock::time_point now) {
    for (Connection& c : connections) {
        if (c.client < 0 || now < deadlineOf(c)) continue;
        if (c.reading())
            refuse(c, 408);
        else
            drop(c);
    }
    for (auto it = connections.begin(); it != connections.end();) {
        if (it->client >= 0) {
            ++it;
            continue;
        }
        if (it->counted && --perAddress[it->peer] == 0) perAddress.erase(it->peer);
        it = connections.erase(it);
    }
}

void FrontDoor::Loop::accept() {
    for (int i = 0; i < 64; ++i) {
        sockaddr_storage address{};
        socklen_t size = sizeof address;
        const int fd =
            accept4(listener, reinterpret_cast<sockaddr*>(&address), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            admit(fd, peerOf(address));
            continue;
        }
        // Out of descriptors, the connection stays queued: the socket is left alone for a moment
        // rather than found ready again at once.
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            acceptAfter = Clock::now() + std::chrono::milliseconds(100);
        return;
    }
}

void FrontDoor::Loop::admit(int fd, const std::string& peer) {
    const auto& proxies = settings.trustedProxies;
    const bool counted = std::find(proxies.begin(), proxies.end(), peer) == proxies.end();
    const auto mine = perAddress.find(peer);
    if (connections.size() >= settings.connections) return turnAway(fd, 503);
    if (counted && mine != perAddress.end() && mine->second >= settings.perAddress) return turnAway(fd, 429);
    Connection& c = connections.emplace_back();
    c.client = fd;
    c.peer = peer;
    c.counted = counted;
    if (counted) ++perAddress[peer];
    const Clock::time_point now = Clock::now();
    c.headBy = now + settings.headDeadline;
    c.requestBy = now + settings.requestDeadline;
}

void FrontDoor::Loop::onClient(Connection& c, short events) {
    if (events & POLLOUT) writeClient(c);
    if (c.client < 0 || !(events & (POLLIN | POLLHUP | POLLERR))) return;
    if (c.reading() || c.phase == Connection::Phase::kLinger)
        readClient(c);
    else if (events & (POLLHUP | POLLERR))
        drop(c);  // gone before its answer
}

void FrontDoor::Loop::readClient(Connection& c) {
    char buffer[kReadSize];
    const ssize_t n = recv(c.client, buffer, sizeof buffer, 0);
    if (n < 0 && wouldBlock()) return;
    if (n <= 0) return drop(c);  // gone, or done after its answer
    if (c.phase == Connection::Phase::kLinger) return;
    if (c.phase == Connection::Phase::kBody) return takeBody(c, std::string_view(buffer, std::size_t(n)));
    c.in.append(buffer, std::size_t(n));
    HeadReading reading = c.headReader.read(c.in);
    if (reading.state == HeadReading::State::kRefused) return refuse(c, reading.status);
    if (reading.state == HeadReading::State::kWhole) {
        c.head = std::move(reading.head);
        startBody(c);
    }
}

// The head is in: what its body may be is known before a byte of it is read.
void FrontDoor::Loop::startBody(Connection& c) {
    c.framing = bodyFraming(c.head);
    if (c.framing.kind == BodyFraming::Kind::kBad) return refuse(c, 400);
    const BodyRoom room = settings.bodyRoom(c.head.method, c.head.path);
    const bool sendsBody = c.framing.kind != BodyFraming::Kind::kNone;
    if (sendsBody && room == BodyRoom::kNone) return refuse(c, c.head.method == "POST" ? 404 : 400);
    c.upload = room == BodyRoom::kUpload;
    c.limit = c.upload ? settings.maxUploadBytes + kFormFramingRoom : kFormFramingRoom;
    if (c.framing.kind == BodyFraming::Kind::kLength && c.framing.length > c.limit) return refuse(c, 413);
    if (c.framing.kind == BodyFraming::Kind::kChunked) c.chunks.emplace(c.limit);
    if (sendsBody && c.head.version == "HTTP/1.1" && sameHeaderName(c.head.header("Expect"), "100-continue"))
        c.toClient = "HTTP/1.1 100 Continue\r\n\r\n";
    const std::string rest = c.in.substr(c.head.size);
    c.in = std::string();
    c.phase = Connection::Phase::kBody;
    takeBody(c, rest);
}

void FrontDoor::Loop::takeBody(Connection& c, std::string_view bytes) {
    if (c.framing.kind == BodyFraming::Kind::kLength) {
        c.body.append(bytes.substr(0, c.framing.length - c.body.size()));
        if (c.body.size() == c.framing.length) handOver(c);
        return;
    }
    if (c.framing.kind == BodyFraming::Kind::kNone) return handOver(c);
    switch (c.chunks->feed(bytes, c.body)) {
        case ChunkDecoder::State::kMore:
            return;
        case ChunkDecoder::State::kDone:
            return handOver(c);
        case ChunkDecoder::State::kBad:
            return refuse(c, 400);
        case ChunkDecoder::State::kTooLarge:
            return refuse(c, 413);
    }
}

// The request is whole: on to the server, on a connection of its own.
void FrontDoor::Loop::handOver(Connection& c) {
    c.toInner = forwardedHead(c, settings.secret);
    c.toInner += c.body;
    c.body = std::string();
    c.chunks.reset();
    c.phase = Connection::Phase::kInner;
    c.inner = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(settings.innerPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (c.inner < 0 || (connect(c.inner, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
                        errno != EINPROGRESS))
        refuse(c, 502);
}

void FrontDoor::Loop::onInner(Connection& c, short events) {
    if (!c.connected) {
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(c.inner, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return refuse(c, 502);
        c.connected = true;
    }
    if ((events & POLLOUT) && !c.toInner.empty()) {
        const ssize_t n = send(c.inner, c.toInner.data(), c.toInner.size(), MSG_NOSIGNAL);
        if (n < 0 && !wouldBlock()) return c.answered ? drop(c) : refuse(c, 502);
        if (n > 0) c.toInner.erase(0, std::size_t(n));
        if (c.toInner.empty()) c.toInner = std::string();
    }
    if (events & (POLLIN | POLLHUP | POLLERR)) readInner(c);
}

void FrontDoor::Loop::readInner(Connection& c) {
    char buffer[kReadSize];
    const ssize_t n = recv(c.inner, buffer, sizeof buffer, 0);
    if (n < 0 && wouldBlock()) return;
    if (n > 0) {
        if (c.toClient.empty()) c.progressBy = Clock::now() + settings.writeDeadline;
        c.toClient.append(buffer, std::size_t(n));
        c.answered = true;
        return;
    }
    // The answer is whole (the server closes after it), or the server failed before it.
    closeFd(c.inner);
    c.innerDone = true;
    c.toInner = std::string();
    if (!c.answered) return refuse(c, 502);
    if (c.toClient.empty()) linger(c);
}

void FrontDoor::Loop::writeClient(Connection& c) {
    const ssize_t n = send(c.client, c.toClient.data(), c.toClient.size(), MSG_NOSIGNAL);
    if (n < 0 && wouldBlock()) return;
    if (n <= 0) return drop(c);
    c.toClient.erase(0, std::size_t(n));
    c.progressBy = Clock::now() + settings.writeDeadline;
    const bool whole =
        c.phase == Connection::Phase::kAnswer || (c.phase == Connection::Phase::kInner && c.innerDone);
    if (c.toClient.empty() && whole) linger(c);
}

// Answers `status` and ends the request: nothing more of it is read.
void FrontDoor::Loop::refuse(Connection& c, int status) {
    closeFd(c.inner);
    c.in = c.body = c.toInner = std::string();
    c.chunks.reset();
    const std::string answer =
        refusalBytes(status, c.head.path, c.upload ? std::optional(settings.maxUploadBytes) : std::nullopt);
    // The answer to a HEAD request is its head alone.
    c.toClient += c.head.method == "HEAD" ? answer.substr(0, answer.find("\r\n\r\n") + 4) : answer;
    c.phase = Connection::Phase::kAnswer;
    c.progressBy = Clock::now() + settings.writeDeadline;
}

void FrontDoor::Loop::linger(Connection& c) {
    shutdown(c.client, SHUT_WR);
    c.toClient = std::string();
    c.phase = Connection::Phase::kLinger;
    c.lingerBy = Clock::now() + kLinger;
}

void FrontDoor::Loop::drop(Connection& c) {
    closeFd(c.client);
    closeFd(c.inner);
    c.in = c.body = c.toInner = c.toClient = std::string();
    c.chunks.reset();
}

FrontDoor::FrontDoor() : loop_(std::make_unique<Loop>()) {}

FrontDoor::~FrontDoor() = default;

bool FrontDoor::open(FrontDoorSettings settings, std::string& error) {
    loop_->settings = std::move(settings);
    raiseDescriptorLimit();
    const std::string& host = loop_->settings.host;
    loop_->listener = listenOn(host, loop_->settings.port);
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (loop_->listener < 0 ||
        getsockname(loop_->listener, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        pipe2(loop_->wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = "cannot listen on " + host + ":" + std::to_string(loop_->settings.port);
        return false;
    }
    loop_->port = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                                      : reinterpret_cast<sockaddr_in&>(address).sin_port);
    return true;
}

int FrontDoor::port() const noexcept {
    return loop_->port;
}

void FrontDoor::run() {
    if (loop_->listener >= 0) loop_->run();
}

void FrontDoor::stop() {
    loop_->stopping = true;
    const char byte = 0;
    if (loop_->wake[1] >= 0) {
        [[maybe_unused]] const ssize_t n = write(loop_->wake[1], &byte, 1);
    }
}

}  // namespace robot
