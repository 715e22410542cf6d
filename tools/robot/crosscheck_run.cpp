#include "tools/robot/crosscheck_run.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "tools/crosscheck/crosscheck_output.h"
#include "tools/robot/job_protocol.h"
#include "tools/robot/private_files.h"
#include "tools/robot/text.h"
#include "tools/robot/zip_writer.h"

namespace fs = std::filesystem;

namespace robot {

RunOutcome runCrossCheck(Store& store, const fs::path& runFolder, const fs::path& workerProgram,
                         const ScoreSettings& settings, std::chrono::milliseconds timeLimit,
                         const std::function<void(const std::string&)>& progress) {
    RunOutcome outcome;
    // A folder of this number can only be left from a database that was replaced (restored from a
    // backup): none of its logs or outputs belong to this run.
    std::error_code ec;
    fs::remove_all(runFolder, ec);
    std::string error;
    if (!privateFolder(runFolder, error) || !privateFolder(runFolder / "logs", error)) return {false, error};
    // File names from the call that the log names, made safe; two calls that come out alike keep apart.
    std::set<std::string> taken;
    const std::vector<UploadRecord> logs = store.uploads().currentLogs();
    for (const UploadRecord& r : logs) {
        std::string name = crosscheck::safeFileName(r.call);
        if (!taken.insert(upper(name)).second) name += "~" + std::to_string(r.id);
        taken.insert(upper(name));
        std::ofstream out(runFolder / "logs" / (name + (r.format == "adif" ? ".adi" : ".cbr")), std::ios::binary);
        const std::string bytes = store.uploads().bytes(r.id);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return {false, "cannot write the logs for the run"};
    }
    if (logs.empty()) return {false, "no accepted log to cross-check"};
    progress("cross-checking " + std::to_string(logs.size()) + " log(s)");
    const std::string failure = crossCheckInWorker(workerProgram, runFolder, settings, timeLimit);
    if (!failure.empty()) return {false, failure};
    return {true, std::to_string(logs.size()) + " log(s) cross-checked"};
}

std::string runLogsZip(const fs::path& runFolder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(runFolder / "logs", ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ZipWriter zip;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        zip.add(file.filename().string(), bytes.str());
    }
    return zip.finish();
}

std::vector<std::string> stationReportCalls(const fs::path& runFolder) {
    std::vector<std::string> calls;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(runFolder / "out", ec))
        if (entry.path().extension() == ".ubn") calls.push_back(entry.path().stem().string());
    std::sort(calls.begin(), calls.end());
    return calls;
}

std::optional<fs::path> stationReport(const fs::path& runFolder, const std::string& call) {
    const std::string wanted = upper(crosscheck::safeFileName(call)) + ".UBN";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(runFolder / "out", ec))
        if (upper(entry.path().filename().string()) == wanted) return entry.path();
    return std::nullopt;
}

}  // namespace robot
