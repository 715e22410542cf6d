#include "tools/robot/crosscheck_run.h"

#include <algorithm>
#include <map>
#include <set>

#include "tools/crosscheck/crosscheck_output.h"
#include "tools/robot/job_protocol.h"
#include "tools/robot/private_files.h"
#include "tools/robot/text.h"
#include "tools/robot/zip_writer.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

// The log files of a run, by name, and the upload each is.
using LogUploads = std::map<std::string, std::int64_t>;

// Writes the logs that count into the run's folder as sent; their names and uploads, or none with
// `error`. File names from the call that the log names, made safe; two calls that come out alike keep apart.
std::optional<LogUploads> writeLogs(Store& store, const fs::path& logsFolder, std::string& error) {
    LogUploads written;
    std::set<std::string> taken;
    for (const UploadRecord& r : store.uploads().currentLogs()) {
        std::string name = crosscheck::safeFileName(r.call);
        if (!taken.insert(upper(name)).second) name += "~" + std::to_string(r.id);
        taken.insert(upper(name));
        name += r.format == "adif" ? ".adi" : ".cbr";
        if (!writeJobFile(logsFolder / name, store.uploads().bytes(r.id), error)) {
            error = "cannot write the logs for the run";
            return std::nullopt;
        }
        written.emplace(name, r.id);
    }
    return written;
}

// The outputs the server keeps of a run's folder: the results, each station report with the upload
// it was made from (the worker names each report's log), and each log by its upload (its bytes are
// the upload's).
std::vector<RunFile> keptFiles(const fs::path& runFolder, const LogUploads& logs) {
    std::vector<RunFile> files;
    std::map<std::string, std::string> logOfReport;
    for (const ReportSource& s : readReportSources(runFolder)) logOfReport[s.report] = s.log;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(runFolder / "out", ec)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file()) continue;
        if (entry.path().extension() == ".ubn") {
            const auto log = logs.find(logOfReport[name]);
            files.push_back({RunFile::Kind::kReport, name,
                             log == logs.end() ? std::nullopt : std::optional(log->second),
                             readJobFile(entry.path())});
        } else if (name == "results.csv" || name == "results.html" || name == kUnlinkedResults) {
            files.push_back({RunFile::Kind::kResult, name, std::nullopt, readJobFile(entry.path())});
        }
    }
    for (const auto& [name, upload] : logs) files.push_back({RunFile::Kind::kLog, name, upload, {}});
    return files;
}

}  // namespace

RunOutcome runCrossCheck(Store& store, const fs::path& runFolder, const fs::path& workerProgram,
                         const ScoreSettings& settings, std::chrono::milliseconds timeLimit,
                         const std::function<void(const std::string&)>& progress) {
    // A folder of this number can only be left from a database that was replaced (restored from a
    // backup): none of its logs or outputs belong to this run.
    std::error_code ec;
    fs::remove_all(runFolder, ec);
    std::string error;
    if (!privateFolder(runFolder, error) || !privateFolder(runFolder / "logs", error))
        return {false, error, {}};
    const std::optional<LogUploads> logs = writeLogs(store, runFolder / "logs", error);
    if (!logs) return {false, error, {}};
    if (logs->empty()) return {false, "no accepted log to cross-check", {}};
    // The calls that sent logs and had none accepted: the reports say so of them, not "sent no log".
    std::vector<NotAcceptedCall> refused;
    for (const auto& r : store.uploads().receivedNotAccepted()) refused.push_back({r.call, r.reason});
    if (!writeNotAccepted(runFolder, refused, error)) return {false, error, {}};
    progress("cross-checking " + std::to_string(logs->size()) + " log(s)");
    const std::string failure = crossCheckInWorker(workerProgram, runFolder, settings, timeLimit);
    if (!failure.empty()) return {false, failure, {}};
    try {
        return {true, std::to_string(logs->size()) + " log(s) cross-checked", keptFiles(runFolder, *logs)};
    } catch (const std::exception& e) {
        return {false, e.what(), {}};
    }
}

std::vector<RunFile> filesLeftInFolder(Store& store, const fs::path& runFolder) {
    if (!fs::is_regular_file(runFolder / "out" / "results.html")) return {};
    // An older robot kept no record of which upload each log was: the accepted one with its bytes.
    LogUploads logs;
    std::vector<RunFile> unmatched;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(runFolder / "logs", ec)) {
        if (!entry.is_regular_file()) continue;
        std::string bytes = readJobFile(entry.path());
        const std::string name = entry.path().filename().string();
        if (const auto upload = store.uploads().acceptedWithBytes(sha256Hex(bytes)))
            logs.emplace(name, *upload);
        else
            unmatched.push_back({RunFile::Kind::kLog, name, std::nullopt, std::move(bytes)});
    }
    std::vector<RunFile> files = keptFiles(runFolder, logs);
    // Their reports tied to their logs by name, as the run named them.
    for (RunFile& f : files)
        if (f.kind == RunFile::Kind::kReport && !f.upload)
            for (const auto& [name, upload] : logs)
                if (upper(fs::path(name).stem().string()) == upper(fs::path(f.name).stem().string()))
                    f.upload = upload;
    files.insert(files.end(), unmatched.begin(), unmatched.end());
    return files;
}

std::string runFilesZip(const std::vector<RunFile>& files) {
    std::vector<const RunFile*> sorted;
    for (const RunFile& f : files) sorted.push_back(&f);
    std::sort(sorted.begin(), sorted.end(),
              [](const RunFile* a, const RunFile* b) { return a->name < b->name; });
    ZipWriter zip;
    for (const RunFile* f : sorted) zip.add(f->name, f->bytes);
    return zip.finish();
}

}  // namespace robot
