#include "tools/robot/client_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>

#include "tools/robot/text.h"

namespace robot {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string canonicalAddress(std::string_view text) {
    const std::string address(text);
    char out[INET6_ADDRSTRLEN] = {};
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return inet_ntop(AF_INET, &v4, out, sizeof out);
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) != 1) return {};
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::copy(v6.s6_addr + 12, v6.s6_addr + 16, reinterpret_cast<unsigned char*>(&v4));
        return inet_ntop(AF_INET, &v4, out, sizeof out);
    }
    return inet_ntop(AF_INET6, &v6, out, sizeof out);
}

std::string clientAddress(const std::string& peer, const std::vector<std::string>& forwardedFor,
                          const std::vector<std::string>& trusted) {
    // Only the last entry: the one the trusted proxy added itself. Those before it are what the
    // client claimed, which anyone may write.
    if (forwardedFor.empty() || std::find(trusted.begin(), trusted.end(), canonicalAddress(peer)) == trusted.end())
        return peer;
    const std::string_view last = forwardedFor.back();
    const std::size_t comma = last.rfind(',');
    const std::string client = canonicalAddress(trimmed(comma == std::string_view::npos ? last : last.substr(comma + 1)));
    return client.empty() ? peer : client;
}

std::string peerHeaderValue(const std::string& secret, const std::string& peer) {
    return secret + " " + peer;
}

std::optional<std::string> peerFromHeader(std::string_view value, std::string_view secret) {
    const std::size_t space = value.find(' ');
    if (space == std::string_view::npos || !sameSecret(value.substr(0, space), secret)) return std::nullopt;
    return std::string(value.substr(space + 1));
}

}  // namespace robot
