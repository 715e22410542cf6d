#pragma once
// The committee's cross-check: every QSO of every submitted log matched against the other
// station's log, and one verdict per QSO. Plain data in, plain data out; no plug-in behind it.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace crosscheck {

/// One QSO of a submitted log, as the matching needs it.
struct Qso {
    std::uint64_t line = 0;  ///< line number in the log's file (for the reports)
    std::int64_t time = 0;   ///< seconds since 1970-01-01 UTC
    std::string band;        ///< "40m", "20m", ...
    std::string mode;        ///< "CW", "SSB", ...
    std::string call;        ///< the call worked, as logged (upper case)
    std::string sent;        ///< the number sent
    std::string received;    ///< the number received
};

/// One submitted log: the station's call and its QSOs in any order.
struct StationLog {
    std::string call;
    std::vector<Qso> qsos;
};

enum class Verdict : std::uint8_t {
    kVerified,        ///< found in the other log, the numbers agree
    kNoLog,           ///< the station worked sent no log; kept
    kUnique,          ///< the call worked appears in no other log; kept unless the committee says otherwise
    kNotInLog,        ///< the other station sent a log without this QSO
    kBustedExchange,  ///< found, but the number received differs from the number the other station sent
    kBustedCall,      ///< the call was copied wrong: it is one character away from the station really worked
};

/// The name in a report: "NIL", "BUSTED CALL", ...; "" for the verdicts that are not reported.
std::string_view verdictName(Verdict verdict);

/// The verdict of one QSO and the QSO of the other log it rests on (`otherLog` is kNone when none).
struct QsoCheck {
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    Verdict verdict = Verdict::kVerified;
    std::uint32_t otherLog = kNone;  ///< the matched log (index into the input)
    std::uint32_t otherQso = 0;      ///< the matched QSO in that log (index into its qsos)
};

struct CheckOptions {
    std::int64_t windowSeconds = 180;  ///< two QSOs match when their times differ by at most this
    unsigned workers = 2;              ///< threads used for the per-log work
};

/// Cross-checks `logs` (their calls must differ): the result holds one QsoCheck per QSO, in the
/// order of each log's qsos. The verdicts do not depend on the order of the logs or of their QSOs.
std::vector<std::vector<QsoCheck>> crossCheck(const std::vector<StationLog>& logs, const CheckOptions& options);

/// True when `a` becomes `b` by one substitution, insertion or deletion of a character.
bool oneEditApart(std::string_view a, std::string_view b);

/// Serial numbers compared as a committee does: numerically when both are digits (leading zeros
/// ignored), otherwise as texts regardless of letter case.
bool sameNumber(std::string_view a, std::string_view b);

/// Runs `work(i)` for i in [0, count) on up to `workers` threads (the calling one included).
void forEachIndex(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& work);

}  // namespace crosscheck
