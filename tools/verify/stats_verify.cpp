// stats-verify: checks a Cabrillo log before it is sent, as stats-replay --verify does.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "stats_version.h"
#include "tools/host/log_source.h"
#include "tools/host/startup.h"
#include "tools/verify/check_log.h"
#include "tools/verify/verify_options.h"

namespace {

int run(const verify::VerifyOptions& o, const char* argv0) {
    host::Startup startup;
    std::string error;
    if (!startup.open({"stats-verify", argv0, o.cty, o.dir, o.library}, error)) return startup.fail(error);
    const verify::CheckRequest request{host::commandLineLog(o.logFile, startup.startFolder()),
                                       {o.start, o.end},
                                       o.call,
                                       o.country,
                                       o.dir.empty() ? std::filesystem::path() : startup.fromStart(o.dir)};
    return verify::checkAndPrint(startup, request);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    verify::VerifyOptions options;
    std::string error;
    if (!verify::parseVerifyOptions(args, options, error)) {
        std::fprintf(stderr, "stats-verify: %s\n", error.c_str());
        return host::kExitUsage;
    }
    if (options.help) {
        std::fputs(verify::verifyUsageText().c_str(), stdout);
        return host::kExitOk;
    }
    if (options.version) {
        std::printf("stats-verify %s\n", STATS_VERSION_TEXT);
        return host::kExitOk;
    }
    try {
        return run(options, argc > 0 ? argv[0] : nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "stats-verify: %s\n", e.what());
        return host::kExitFailure;
    }
}
