#pragma once
// How the robot answers a request it cannot serve as asked: as JSON on the API's addresses, as a
// page elsewhere; and the few content types it sends.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace robot {

inline constexpr const char* kHtml = "text/html; charset=utf-8";
inline constexpr const char* kJson = "application/json";
/// Room for a form's framing around an upload's log (part heads, the other fields), and the whole of
/// a form on the other routes.
inline constexpr std::size_t kFormFramingRoom = 64 * 1024;
/// A size as "5 MiB", "100 KiB" or "1000 bytes", whichever is whole.
std::string sizeText(std::size_t bytes);
/// What a 413 to an upload says, from the routes and from the front door alike: the robot's limit.
std::string uploadTooLargeText(std::size_t limit);

/// The headers every answer carries: what a page may load, and that no other site may frame it.
const std::vector<std::pair<std::string, std::string>>& securityHeaders();

/// Answers `status` with {"error": message} on an /api/ address, else a page titled `title`.
void answer(const httplib::Request& req, httplib::Response& res, int status, const std::string& title,
            const std::string& message);
/// The answer to an upload past `limit` (413).
void tooLarge(const httplib::Request& req, httplib::Response& res, std::size_t limit);
/// The answer to an address that names nothing (404).
void notFound(const httplib::Request& req, httplib::Response& res);

/// The bytes of `file`; empty when it cannot be read.
std::string readWhole(const std::filesystem::path& file);

}  // namespace robot
