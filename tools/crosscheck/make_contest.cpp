// make-contest: writes a synthetic contest for the cross-check: one Cabrillo log per station,
// the list of injected faults and clock offsets (faults.csv) and a country file for its calls (cty.dat).
//   make-contest [--stations N] [--qsos N] [--seed N] [--faults RATE] OUT_DIR

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "tools/crosscheck/contest_generator.h"

namespace fs = std::filesystem;

namespace {

bool writeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

int usage() {
    std::fputs("Usage: make-contest [--stations N] [--qsos PER_STATION] [--seed N] [--faults RATE] OUT_DIR\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    crosscheck::GeneratorOptions options;
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--stations" && hasValue) options.stations = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--qsos" && hasValue) options.qsosPerStation = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--seed" && hasValue) options.seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--faults" && hasValue) options.faultRate = std::strtod(argv[++i], nullptr);
        else if (!arg.starts_with("-") && outDir.empty()) outDir = arg;
        else return usage();
    }
    if (outDir.empty() || options.stations < 2 || options.faultRate < 0 || options.faultRate > 0.15) return usage();

    const crosscheck::SyntheticContest contest = crosscheck::generateContest(options);
    std::error_code ec;
    fs::create_directories(fs::path(outDir) / "logs", ec);
    bool ok = !ec;
    for (std::size_t i = 0; ok && i < contest.logs.size(); ++i)
        ok = writeFile(fs::path(outDir) / "logs" / (contest.logs[i].call + ".log"), crosscheck::cabrilloText(contest, i));
    std::string faults = "call,line,verdict,credit,what\n";
    // Each log's clock offset (line 0), then each QSO the cross-check must flag.
    for (std::size_t i = 0; i < contest.logs.size(); ++i)
        if (const long long minutes = contest.clockOffsets[i] / 60)
            faults += contest.logs[i].call + ",0,CLOCK OFFSET,kept," + (minutes > 0 ? "+" : "") +
                      std::to_string(minutes) + " min\n";
    for (const auto& f : contest.faults)
        faults += f.call + "," + std::to_string(f.line) + "," + std::string(crosscheck::verdictName(f.verdict)) + "," + (f.lost ? "lost" : "kept") + "," +
                  f.what + "\n";
    ok = ok && writeFile(fs::path(outDir) / "faults.csv", faults) &&
         writeFile(fs::path(outDir) / "cty.dat", crosscheck::countryFileText());
    if (!ok) {
        std::fprintf(stderr, "make-contest: cannot write into %s\n", outDir.c_str());
        return 1;
    }
    std::fprintf(stderr, "make-contest: %zu logs, %zu QSOs, %zu faults in %s\n", contest.logs.size(),
                 contest.qsoCount, contest.faults.size(), outDir.c_str());
    return 0;
}
