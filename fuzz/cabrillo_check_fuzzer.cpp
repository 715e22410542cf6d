// The Cabrillo check on any bytes: it ends, every finding stands at a line of the file (line 1
// for an empty one) in file order, and each finding's text is one printable line.

#include <algorithm>
#include <sstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "tools/verify/cabrillo_check.h"
#include "tools/logs/cabrillo_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::istringstream counting(bytes);
    replay::CabrilloLineReader reader(counting);
    replay::CabrilloLine line;
    std::uint64_t lines = 0;
    while (reader.next(line)) lines = line.number;

    std::istringstream in(bytes);
    const auto findings = verify::checkCabrillo(in, {std::chrono::sys_days{}, std::chrono::sys_days{} + std::chrono::days{1}});
    FUZZ_CHECK(lines != 0 || findings.size() == 1);
    std::uint64_t previous = 1;
    for (const verify::CheckFinding& f : findings) {
        FUZZ_CHECK(f.line >= previous && f.line <= std::max<std::uint64_t>(lines, 1));
        previous = f.line;
        FUZZ_CHECK(!f.text.empty());
        FUZZ_CHECK(std::all_of(f.text.begin(), f.text.end(), [](char c) { return c >= 0x20 && c < 0x7F; }));
    }
    const std::string totals = verify::findingTotals(findings);
    FUZZ_CHECK(verify::hasError(findings) == (totals.rfind("0 error(s)", 0) != 0));
    return 0;
}
