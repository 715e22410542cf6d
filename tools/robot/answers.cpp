#include "tools/robot/answers.h"

#include <httplib.h>

#include <fstream>
#include <sstream>

#include "tools/robot/pages.h"
#include "tools/robot/text.h"

namespace robot {

const std::vector<std::pair<std::string, std::string>>& securityHeaders() {
    // Pages draw with inline styles and SVG only: nothing else may load, nothing may frame them.
    static const std::vector<std::pair<std::string, std::string>> headers = {
        {"Content-Security-Policy",
         "default-src 'none'; style-src 'unsafe-inline'; img-src data:; form-action 'self'; "
         "frame-ancestors 'none'; base-uri 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        // A report's address never leaves in a Referer; same-origin rather than no-referrer, with which a
        // browser sends "Origin: null" on form posts and the origin check could not tell.
        {"Referrer-Policy", "same-origin"},
        {"X-Frame-Options", "DENY"},
        {"Cache-Control", "no-store"},
    };
    return headers;
}

void answer(const httplib::Request& req, httplib::Response& res, int status, const std::string& title,
            const std::string& message) {
    res.status = status;
    if (req.path.rfind("/api/", 0) == 0)
        res.set_content("{\"error\":" + jsonString(message) + "}\n", kJson);
    else
        res.set_content(messagePage(title, message), kHtml);
}

std::string sizeText(std::size_t bytes) {
    constexpr std::size_t kKiB = 1024, kMiB = 1024 * kKiB;
    if (bytes != 0 && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
    if (bytes != 0 && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
    return std::to_string(bytes) + " bytes";
}

std::string uploadTooLargeText(std::size_t limit) {
    return "the log is larger than " + sizeText(limit) + ", the largest this robot takes";
}

void tooLarge(const httplib::Request& req, httplib::Response& res, std::size_t limit) {
    answer(req, res, 413, "Too large", uploadTooLargeText(limit));
}

void notFound(const httplib::Request& req, httplib::Response& res) {
    answer(req, res, 404, "Not found", "there is nothing at this address");
}

std::string readWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace robot
