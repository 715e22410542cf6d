#pragma once
// Whom a request comes from: the connection's peer, or behind a trusted reverse proxy the client
// that proxy names in X-Forwarded-For.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace robot {

/// `text` as one IP address in its usual form ("127.0.0.1", "2001:db8::1"; an IPv4-mapped IPv6
/// address as IPv4); empty when it is not an address.
std::string canonicalAddress(std::string_view text);

/// The client of a request from `peer` with the X-Forwarded-For values `forwardedFor` (each header's,
/// in order): the last entry when `peer` is one of `trusted` (canonical addresses) and that entry is
/// an address, else `peer`.
std::string clientAddress(const std::string& peer, const std::vector<std::string>& forwardedFor,
                          const std::vector<std::string>& trusted);

/// The header in which the front door names a request's peer to the HTTP server behind it.
inline constexpr const char* kPeerHeader = "X-Robot-Peer";

/// The peer header's value: the front door's secret, a space, the peer's address.
std::string peerHeaderValue(const std::string& secret, const std::string& peer);

/// The peer that the peer header's `value` names when it carries `secret`; none otherwise.
std::optional<std::string> peerFromHeader(std::string_view value, std::string_view secret);

}  // namespace robot
