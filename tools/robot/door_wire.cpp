#include "tools/robot/door_wire.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "tools/robot/answers.h"
#include "tools/robot/client_address.h"
#include "tools/robot/pages.h"
#include "tools/robot/text.h"

namespace robot {

namespace {

struct Refusal {
    int status;
    const char* reason;
    const char* title;
    const char* message;
};

constexpr Refusal kRefusals[] = {
    {400, "Bad Request", "Bad request", "the request could not be read"},
    {404, "Not Found", "Not found", "there is nothing at this address"},
    {408, "Request Timeout", "Too slow", "the request took too long to arrive"},
    {413, "Payload Too Large", "Too large", "a form of the robot's pages is never that large"},
    {429, "Too Many Requests", "Too many requests",
     "your address has too many connections open: wait for them"},
    {431, "Request Header Fields Too Large", "Headers too large",
     "the request's headers are more than any browser sends"},
    {502, "Bad Gateway", "Not served", "the robot could not serve the request: please send it again"},
    {503, "Service Unavailable", "Busy", "the robot has too many connections open: please try again soon"},
};

}  // namespace

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

bool wouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

std::string refusalBytes(int status, const std::string& path, std::optional<std::size_t> uploadLimit) {
    const Refusal* found = std::find_if(std::begin(kRefusals), std::end(kRefusals),
                                        [status](const Refusal& x) { return x.status == status; });
    const Refusal& r = found == std::end(kRefusals) ? kRefusals[0] : *found;
    const std::string message = uploadLimit && status == 413 ? uploadTooLargeText(*uploadLimit) : r.message;
    const bool api = path.rfind("/api/", 0) == 0;
    const std::string body =
        api ? "{\"error\":" + jsonString(message) + "}\n" : messagePage(r.title, message);
    std::string bytes = "HTTP/1.1 " + std::to_string(r.status) + " " + r.reason +
                        "\r\nContent-Type: " + (api ? kJson : kHtml) +
                        "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n";
    for (const auto& [name, value] : securityHeaders()) bytes += name + ": " + value + "\r\n";
    return bytes + "\r\n" + body;
}

std::string peerOf(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text, sizeof text);
    return canonicalAddress(text);
}

// SO_REUSEADDR alone (no SO_REUSEPORT): a restart binds
// at once while old connections linger, and a second robot on the same port cannot bind.
int listenOn(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        const int yes = 1;
        if (fd >= 0 && (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
                        bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, SOMAXCONN) != 0))
            closeFd(fd);
    }
    freeaddrinfo(found);
    return fd;
}

// Each connection takes two descriptors while its request is handed over, and the server one more.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 65536);
    setrlimit(RLIMIT_NOFILE, &limit);
}

void turnAway(int fd, int status) {
    const std::string answer = refusalBytes(status, "");
    [[maybe_unused]] const ssize_t sent = send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(fd, SHUT_WR);
    char sink[4096];
    for (int i = 0; i < 16 && recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0; ++i) {
    }
    close(fd);
}

}  // namespace robot
