// The Cabrillo check on any bytes, for SA-TOLVEN and by a contest definition: it ends, every
// finding stands at a line of the file (line 1 for an empty one) in file order, and each finding's
// text is one printable line. UTF-16 text is checked as decoded.

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "tools/contest/contest_definition.h"
#include "tools/verify/cabrillo_check.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/utf16_text.h"

namespace {

// SA-TOLVEN's record with a period, a sub-band and a text field added, so that every check of a
// defined contest runs.
const contest::ContestDefinition& defined() {
    static const contest::ContestDefinition d = [] {
        contest::ContestDefinition c = contest::builtinSaTolven();
        const std::chrono::sys_seconds day0{};
        c.periods = {{day0 + std::chrono::hours{6}, day0 + std::chrono::hours{8}}};
        contest::Band& band = c.bands.front();
        band.subBands = {{c.modes.front().name, {band.range.low, band.range.low + 10}}};
        c.exchange.received.push_back({"zone", contest::FieldKind::kText, {"A", "B"}});
        return c;
    }();
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // UTF-16 text is checked as decoded, with one warning more.
    const std::optional<std::string> decoded = logs::decodeUtf16(bytes);
    std::istringstream counting(decoded.value_or(bytes));
    logs::CabrilloLineReader reader(counting);
    logs::CabrilloLine line;
    std::uint64_t lines = 0;
    while (reader.next(line)) lines = line.number;

    for (const contest::ContestDefinition* definition : {static_cast<const contest::ContestDefinition*>(nullptr), &defined()}) {
        std::istringstream in(bytes);
        const auto findings = verify::checkCabrillo(in, {std::chrono::sys_days{}, std::chrono::sys_days{} + std::chrono::days{1}}, definition);
        FUZZ_CHECK(lines != 0 || findings.size() == (decoded ? 2u : 1u));
        std::uint64_t previous = 1;
        for (const verify::CheckFinding& f : findings) {
            FUZZ_CHECK(f.line >= previous && f.line <= std::max<std::uint64_t>(lines, 1));
            previous = f.line;
            FUZZ_CHECK(!f.text.empty());
            FUZZ_CHECK(std::all_of(f.text.begin(), f.text.end(), [](char c) { return c >= 0x20 && c < 0x7F; }));
        }
        const std::string totals = verify::findingTotals(findings);
        FUZZ_CHECK(verify::hasError(findings) == (totals.rfind("0 error(s)", 0) != 0));
    }
    return 0;
}
