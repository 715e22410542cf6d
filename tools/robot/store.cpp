#include "tools/robot/store.h"

namespace robot {

bool Store::open(const std::filesystem::path& folder, std::string& error, Opener opener) {
    if (!database_.open(folder, error)) return false;
    const bool server = opener == Opener::kServer;
    if (uploads_.setUp(server, error) && runs_.setUp(server, error) && settings_.setUp(error)) return true;
    error = "cannot set up the database " + (folder / "robot.db").string() + ": " + error;
    return false;
}

}  // namespace robot
