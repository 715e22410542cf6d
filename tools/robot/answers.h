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
/// What a 413 to an upload says, from the routes and from the front door alike.
inline constexpr const char* kUploadTooLarge = "the upload is larger than 5 MiB: no contest log is that big";

/// The headers every answer carries: what a page may load, and that no other site may frame it.
const std::vector<std::pair<std::string, std::string>>& securityHeaders();

/// Answers `status` with {"error": message} on an /api/ address, else a page titled `title`.
void answer(const httplib::Request& req, httplib::Response& res, int status, const std::string& title,
            const std::string& message);
/// The answer to a body past the upload limit (413).
void tooLarge(const httplib::Request& req, httplib::Response& res);
/// The answer to an address that names nothing (404).
void notFound(const httplib::Request& req, httplib::Response& res);

/// The bytes of `file`; empty when it cannot be read.
std::string readWhole(const std::filesystem::path& file);

}  // namespace robot
