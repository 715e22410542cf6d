#pragma once
// A synthetic contest for the cross-check: stations working each other with serial numbers and
// times as a real contest has them (single operators with one sequence, multi-operator stations
// numbering per band or per transmitter, activity on bands the contest does not count), by SA-TOLVEN's
// record or a contest definition (its bands, modes, period and exchange, text fields included), then known
// faults injected with a seed (dropped, miscopied, doubled, mislogged QSOs, clocks off by up to an
// hour, QSOs outside the bands, modes and period),
// so a check of the cross-check can demand every fault found with its verdict and nothing else.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/inference.h"

namespace crosscheck {

struct GeneratorOptions {
    std::size_t stations = 20;          ///< stations that send a log
    std::size_t qsosPerStation = 100;   ///< about this many QSOs in each log
    std::uint64_t seed = 1;
    double faultRate = 0.02;            ///< the share of QSOs that get each kind of fault
    /// The contest played, which must outlive the result; none: SA-TOLVEN on kFirstDay and kLastDay.
    const contest::ContestDefinition* contest = nullptr;
    /// The share of the QSOs between two logs whose call one side busts so that only both serials
    /// tell the station really worked (serial_busts.h); 0: none.
    double serialBustRate = 0;
};

/// One QSO the cross-check must flag: the log's call, the line in its file and the verdict.
struct InjectedFault {
    std::string call;
    std::uint64_t line = 0;
    Verdict verdict = Verdict::kVerified;
    bool lost = true;  ///< the QSO loses its credit
    std::string what;  ///< how it came about, for a person reading the list
};

/// True for the verdicts found by inference: a check demands most, not all, of them.
bool isInferred(Verdict verdict);

/// The contest: the logs as the cross-check takes them (lines as in the written files), and what
/// the files need beyond them.
struct SyntheticContest {
    std::vector<StationLog> logs;
    std::vector<std::vector<std::uint32_t>> frequencies;  ///< kHz, per log and QSO
    std::vector<std::string> power;                       ///< CATEGORY-POWER per log
    std::vector<std::int64_t> clockOffsets;               ///< seconds each log's clock is ahead
    std::vector<Numbering> numbering;                     ///< how each log's station numbers its QSOs
    std::vector<InjectedFault> faults;                    ///< sorted by call, then line
    std::size_t qsoCount = 0;
    const contest::ContestDefinition* contest = nullptr;  ///< GeneratorOptions::contest
};

/// The contest period's first and last day (UTC): every QSO but those injected outside it.
inline constexpr std::chrono::sys_days kFirstDay{std::chrono::year{2026} / std::chrono::March / 7};
inline constexpr std::chrono::sys_days kLastDay{std::chrono::year{2026} / std::chrono::March / 8};

SyntheticContest generateContest(const GeneratorOptions& options);

/// Log `index` as a Cabrillo 3.0 file of its contest (CR LF lines).
std::string cabrilloText(const SyntheticContest& contest, std::size_t index);

/// A country file in the CTY.DAT format that knows every prefix the generator uses.
std::string countryFileText();

/// The line of the first QSO in a file from cabrilloText().
constexpr std::uint64_t kFirstQsoLine = 10;

}  // namespace crosscheck
