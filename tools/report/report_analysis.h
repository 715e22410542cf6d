#pragma once
// What a contester studies after the contest, worked out from the report's contacts in time order:
// the best rates over rolling windows, the rate in steps of 10 minutes, time on and breaks per band
// and for the station, run or search-and-pounce by frequency, and what two logs worked apart.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/report/contest_report.h"

namespace report {

/// The most QSOs in a window of some minutes, and where the window starts.
struct BestRate {
    std::chrono::minutes window{0};
    std::uint32_t qsos = 0;
    std::chrono::sys_seconds start{};  ///< the window's start: the minute of its first QSO, the earliest such
};

/// The counted QSOs of `points` (in time order) in the best window of `window` minutes starting at
/// any whole minute.
BestRate bestRate(const std::vector<ActivityPoint>& points, std::chrono::minutes window);

/// The contest period as the command line gives it; either end may be open.
struct TimePeriod {
    std::optional<std::chrono::sys_seconds> from;
    std::optional<std::chrono::sys_seconds> to;  ///< exclusive
};

/// Time on and breaks of one stream of contacts.
struct TimeOn {
    std::chrono::seconds on{0};
    std::chrono::seconds off{0};  ///< the breaks together
    std::uint64_t contacts = 0;
    std::uint64_t breakCount = 0;
    std::vector<Break> breaks;  ///< the first ContestReport::kListed
};

constexpr int kAllBands = -1;

/// The contacts on activity band `band` (kAllBands: all of them) within `period`: every gap of
/// `minBreak` or more is a break, also from the period's start to the first contact and from the
/// last to its end; the time on is the stream's span (the period, else first to last contact) less
/// the breaks.
TimeOn timeOn(const std::vector<ActivityPoint>& points, int band, std::chrono::minutes minBreak,
              const TimePeriod& period);

/// Run or search-and-pounce of each contact.
enum class RunState : std::uint8_t { kNotQso, kUnknown, kSearch, kRun };

/// A counted QSO with a known frequency belongs to a run when it and at least two more counted QSOs
/// on its band, all within 10 minutes, lie within 0.1 kHz (CW) or 0.5 kHz (other modes) of its
/// frequency. A frequency of 0 is not known, nor is a band's designator (7000, 14000 kHz, ...)
/// on a band where no contact gives another frequency: a log of designators only.
std::vector<RunState> runStates(const std::vector<ActivityPoint>& points);

/// Run QSOs among those with a known frequency.
struct RunCount {
    std::uint32_t qsos = 0;   ///< counted QSOs
    std::uint32_t known = 0;  ///< of them with a known frequency
    std::uint32_t run = 0;
};

/// Everything the page shows beyond the plain counts.
struct ReportAnalysis {
    BestRate best[3];                    ///< 10, 30 and 60 minutes
    std::chrono::minutes curveStep{10};  ///< 10 minutes, more for a long log
    std::chrono::sys_seconds curveStart{};
    std::vector<std::uint32_t> curve;  ///< QSOs per step
    TimeOn station;
    std::vector<TimeOn> bands;  ///< indexed like ContestReport::activityBands()
    std::chrono::minutes minBreak{30};
    TimePeriod period;
    bool frequenciesKnown = false;             ///< any QSO with a known frequency
    std::map<std::int64_t, std::vector<RunCount>> runsByHour;  ///< hour number -> per activity band
    std::vector<RunCount> runsByBand;
    RunCount runs;
    std::uint64_t bandChanges = 0;
};

ReportAnalysis analyseReport(const ContestReport& report, std::chrono::minutes minBreak, const TimePeriod& period);

/// The calls (kept with `keepCalls`) that `a` worked and `b` did not, sorted.
std::vector<std::string> callsMissingFrom(const ContestReport& a, const ContestReport& b);
/// The SA prefixes that `a` worked and `b` did not, sorted.
std::vector<std::string> prefixesMissingFrom(const ContestReport& a, const ContestReport& b);

}  // namespace report
