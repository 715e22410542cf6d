#include "tools/host/replay_session.h"

#include "tools/logs/cty.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

namespace host {
using namespace replay;

namespace fs = std::filesystem;

std::uintmax_t fileSizeOrZero(const std::string& file) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

namespace {

constexpr const char* kErrorLog = "err.txt";

// The error log's bytes from `from` to `to`, read only when a contact made it grow.
std::string readRange(std::uintmax_t from, std::uintmax_t to) {
    std::string bytes;
    std::ifstream in(kErrorLog, std::ios::binary);
    if (!in || to <= from) return bytes;
    in.seekg(static_cast<std::streamoff>(from));
    bytes.resize(static_cast<std::size_t>(to - from));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

}  // namespace

ContestSetup contestSetupFor(const ReplayLog& log, const std::string& logOwnCall, const ContestChoices& options,
                             const CountryFile* countries) {
    ContestSetup setup;
    setup.ownCall = options.call.empty() ? logOwnCall : options.call;
    setup.ownCallGiven = !options.call.empty();
    setup.ownCountry = options.country;
    if (setup.ownCountry.empty() && countries && !setup.ownCall.empty())
        setup.ownCountry = countries->lookup(setup.ownCall).primaryPrefix;
    if (!log.empty()) {
        setup.periodStart = log[0].time;
        setup.periodEnd = log[log.size() - 1].time;
    }
    if (options.start) setup.periodStart = stats::oleDateFrom(std::chrono::sys_seconds{*options.start});
    if (options.end) setup.periodEnd = stats::oleDateFrom(std::chrono::sys_seconds{*options.end});
    return setup;
}

ReplayResult replayContest(const PluginExports& plugin, const ReplayLog& log, const ContestSetup& setup,
                           const OutcomeSink& outcomes, const std::function<void(std::size_t)>& progress) {
    // An export shows the header dialog in the reset and the result box in GetResult0.
    std::unique_ptr<DialogConfirmer> confirmer;
    if (setup.exportLog) confirmer = std::make_unique<DialogConfirmer>(setup.headerAnswers);

    ReplayResult result;
    const stats::OleDateTime nullDate{0.0, stats::OleDateTime::kNull};
    plugin.resetStats(setup.ownCall.c_str(), setup.exportLog ? 1 : 0, setup.ownCall.c_str(), &setup.periodStart,
                      &setup.periodEnd, "", "", "", "", "", "", "", "", "", setup.ownCountry.c_str(), 0, 0, 0, 0.0,
                      0.0, "", "", "");
    result.errorLogStart = fileSizeOrZero(kErrorLog);
    std::uintmax_t errorLogSize = result.errorLogStart;

    char outBuffer[50] = {};
    char hint[100] = {};
    std::string errorLines;
    for (std::size_t i = 0; i < log.size(); ++i) {
        const auto t = log.texts(i);
        const stats::OleDateTime time = log[i].time;
        // The host names its own station in every contact: the given call, else the contact's station.
        const char* station = setup.ownCallGiven || !*t[ReplayLog::kOwnCall] ? setup.ownCall.c_str()
                                                                             : t[ReplayLog::kOwnCall];
        QsoOutcome outcome;
        if (outcomes) {
            hint[0] = '\0';
            outcome.check = plugin.checkCall(t[ReplayLog::kCall], 0, 0, t[ReplayLog::kMode], "", "", "", "", "", "",
                                             "", "", t[ReplayLog::kPrefix], "", 0, 0, 0, 0.0, 0.0, "",
                                             t[ReplayLog::kContinent], "", "", "", t[ReplayLog::kBand], "",
                                             outBuffer, hint);
        }
        outcome.added = plugin.addData(station, t[ReplayLog::kCall], &time, &nullDate, &nullDate, &nullDate, 0,
                                       log[i].frequencyHz, t[ReplayLog::kMode], t[ReplayLog::kRstSent],
                                       t[ReplayLog::kRstReceived], t[ReplayLog::kNumberSent],
                                       t[ReplayLog::kNumberReceived], "", "", "", "", "", "", "", "",
                                       t[ReplayLog::kPrefix], "", 0, 0, 0, 0.0, 0.0, "", t[ReplayLog::kContinent],
                                       "", t[ReplayLog::kBand], "");
        if (outcomes) {
            // The plug-in writes err.txt lines only for a contact it rejects or one that repeats an
            // earlier one (CheckCall0 0; an empty call it does not look up): only then is the file's
            // size asked, since a stat for every contact would cost more than the report itself.
            const bool mayHaveLines = outcome.added == 0 || outcome.check == 0 || !*t[ReplayLog::kCall];
            const std::uintmax_t size = mayHaveLines ? fileSizeOrZero(kErrorLog) : errorLogSize;
            errorLines = size > errorLogSize ? readRange(errorLogSize, size) : std::string();
            errorLogSize = size;
            outcome.index = i;
            outcome.hint = hint;
            outcome.errorLines = errorLines;
            outcomes(outcome);
        }
        if (progress && (i & 0x3FFF) == 0) progress(i);
    }
    if (progress) progress(log.size());

    const char* summary = plugin.getResult(&result.status);
    result.summary = summary ? summary : "";
    return result;
}

}  // namespace host
