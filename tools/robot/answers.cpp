#include "tools/robot/answers.h"

#include <httplib.h>

#include <fstream>
#include <sstream>

#include "tools/robot/pages.h"
#include "tools/robot/text.h"

namespace robot {

void answer(const httplib::Request& req, httplib::Response& res, int status, const std::string& title,
            const std::string& message) {
    res.status = status;
    if (req.path.rfind("/api/", 0) == 0)
        res.set_content("{\"error\":" + jsonString(message) + "}\n", kJson);
    else
        res.set_content(messagePage(title, message), kHtml);
}

void tooLarge(const httplib::Request& req, httplib::Response& res) {
    answer(req, res, 413, "Too large", "the upload is larger than 5 MiB: no contest log is that big");
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
