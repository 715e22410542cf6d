#pragma once
// The front door's sockets and its own short answers, given before a request reaches the server.

#include <sys/socket.h>

#include <cstddef>
#include <optional>
#include <string>

namespace robot {

/// Closes `fd` if open and marks it closed.
void closeFd(int& fd);
/// The last socket call would have blocked (or was interrupted): try again when poll() says so.
bool wouldBlock();
/// A peer's address as text, IPv4-mapped IPv6 addresses as IPv4.
std::string peerOf(const sockaddr_storage& address);
/// A non-blocking listening socket on `host`:`port`, or -1.
int listenOn(const std::string& host, int port);
/// Raises the limit of open descriptors to what the connections need, as far as allowed.
void raiseDescriptorLimit();
/// The front door's own answer with `status` to a request for `path`, closing the connection, as the
/// robot's pages and API answer; `uploadLimit`, on an upload's route, is named by its 413.
std::string refusalBytes(int status, const std::string& path, std::optional<std::size_t> uploadLimit = {});
/// A connection past the caps: a short answer, what it sent so far read, and closed at once.
void turnAway(int fd, int status);

}  // namespace robot
