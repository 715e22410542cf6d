// stats-verify: checks a Cabrillo log before it is sent, as stats-replay --verify does.

#include <cstdio>
#include <string>
#include <vector>

#include "tools/host/log_source.h"
#include "tools/host/startup.h"
#include "tools/submission/check_log.h"
#include "tools/submission/verify_options.h"

namespace {

int run(const verify::VerifyOptions& o, const char* argv0) {
    host::Startup startup;
    std::string error;
    if (!startup.open({"stats-verify", argv0, o.cty, o.dir, o.library}, error)) return startup.fail(error);
    const verify::CheckRequest request{host::commandLineLog(o.logFile, startup.startFolder()),
                                       {o.start, o.end},
                                       o.call,
                                       o.country,
                                       o.dir.empty() ? std::filesystem::path() : startup.fromStart(o.dir),
                                       true,
                                       &o.contest};
    return verify::checkAndPrint(startup, request);
}

}  // namespace

int main(int argc, char** argv) {
    return host::toolMain<verify::VerifyOptions>("stats-verify", argc, argv, verify::parseVerifyOptions,
                                                 verify::verifyUsageText(), run);
}
