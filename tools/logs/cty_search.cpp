#include "tools/logs/cty_search.h"

#include <algorithm>
#include <system_error>

namespace replay {

namespace fs = std::filesystem;

std::vector<fs::path> countryFileCandidates(const fs::path& programFolder, const fs::path& currentFolder,
                                            const fs::path& workFolder, bool systemFolders) {
    std::vector<fs::path> folders = {programFolder, currentFolder, workFolder};
#ifndef _WIN32
    if (systemFolders) folders.emplace_back("/usr/share/tlf");  // Debian's tlf (a link to hamradio-files' copy)
#else
    (void)systemFolders;
#endif
    std::vector<fs::path> candidates;
    for (const fs::path& folder : folders) {
        if (folder.empty()) continue;
        fs::path file = (folder / "cty.dat").lexically_normal();
        if (std::find(candidates.begin(), candidates.end(), file) == candidates.end())
            candidates.push_back(std::move(file));
    }
    return candidates;
}

fs::path firstExistingFile(const std::vector<fs::path>& candidates) {
    for (const fs::path& file : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(file, ec)) return file;
    }
    return {};
}

}  // namespace replay
