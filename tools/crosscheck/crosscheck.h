#pragma once
// The committee's cross-check: every log reconciled (dupes, bands, modes, the contest period),
// then every judged QSO matched against the other station's log with each log's clock offset
// applied, and one verdict per QSO. Plain data in, plain data out; no plug-in behind it.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/crosscheck/short_text.h"

namespace contest {
struct ContestDefinition;
}

namespace crosscheck {

/// A QSO line's transmitter id ("0", "1"; the first three characters kept), held in place: a
/// contest's millions of QSOs would pay for a string each.
class TransmitterId {
  public:
    TransmitterId() = default;
    TransmitterId(std::string_view id) noexcept {  // implicit: it stands where a string would
        for (std::size_t i = 0; i < id.size() && i + 1 < text_.size(); ++i) text_[i] = id[i];
    }
    TransmitterId(const char* id) noexcept : TransmitterId(std::string_view(id ? id : "")) {}
    std::string_view view() const noexcept { return {text_.data(), std::char_traits<char>::length(text_.data())}; }
    bool empty() const noexcept { return text_[0] == 0; }
    bool operator==(const TransmitterId&) const = default;

  private:
    std::array<char, 4> text_{};
};

/// One QSO of a submitted log, as the matching needs it (136 bytes: a contest holds millions).
struct Qso {
    std::uint64_t line = 0;  ///< line number in the log's file (for the reports)
    std::int64_t time = 0;   ///< seconds since 1970-01-01 UTC, as logged
    ShortText band;          ///< "40m", "20m", ...
    ShortText mode;          ///< "CW", "SSB", ...
    ShortText call;          ///< the call worked, as logged (upper case)
    ShortText sent;          ///< the number sent (the exchange's first serial field); "" without one
    ShortText received;      ///< the number received
    std::uint32_t frequencyKHz = 0;  ///< as logged; 0 unknown, a multiple of 1000 a band designator
    TransmitterId transmitter;       ///< the transmitter id a multi-transmitter log gives; empty none
    ShortText sentExchange;          ///< every field sent, as logged, one blank apart: "59 001 TL"
    ShortText receivedExchange;      ///< every field received, likewise

    bool operator==(const Qso&) const = default;
};

/// One submitted log: the station's call and its QSOs in any order.
struct StationLog {
    std::string call;
    std::vector<Qso> qsos;
    std::string transmitterCategory;  ///< CATEGORY-TRANSMITTER (upper case): "ONE", "TWO", "UNLIMITED", ...
};

/// The verdicts, in the order of results.csv's columns (the first six, then the clock offset's
/// column, then the rest).
enum class Verdict : std::uint8_t {
    kVerified,        ///< found in the other log, the numbers agree
    kNotInLog,        ///< the other station sent a log without this QSO
    kBustedCall,      ///< the call was copied wrong: one character (or two swapped) from the station really worked
    kBustedExchange,  ///< found, but the number received differs from the number the other station sent
    kUnique,          ///< the call worked is in no other log on any band; kept unless the committee says otherwise
    kNoLog,           ///< the station worked sent no log; kept
    kDupe,            ///< the same call, band and mode as an earlier QSO the rules accept
    kOutOfBand,       ///< a band the contest does not use
    kOutOfMode,       ///< a mode the contest does not use
    kNoNumber,        ///< a serial number missing (the rules reject the QSO)
    kOutOfPeriod,     ///< dated outside the contest period
    kTimeMismatch,    ///< call, band, mode and both numbers agree, the times do not even after the offsets; kept
    kBandMismatch,    ///< agrees with the other log in all but the band
    kModeMismatch,    ///< agrees with the other log in all but the mode
    kBustedCallInferred,      ///< a unique one character from a call others worked then, with a fitting number
    kBustedExchangeInferred,  ///< a station that sent no log: the number breaks the sequence it sent
    kUniqueOnBand,    ///< the call worked sent no log and other logs hold it only on other bands; kept
};

/// What a verdict does to the QSO's credit.
enum class Credit : std::uint8_t {
    kKept,    ///< keeps it
    kLost,    ///< loses it
    kPlaced,  ///< kept by the side whose frequency places the QSO where the other's does not
};

/// One verdict as the reports show it.
struct VerdictRow {
    Verdict verdict;
    std::string_view name;    ///< in a report: "NIL", "BUSTED CALL", ...; "" when not reported
    std::string_view column;  ///< results.csv's column
    Credit credit;
};

/// Every verdict, one row each, in the order of the enum.
inline constexpr std::array<VerdictRow, 17> kVerdictTable = {{
    {Verdict::kVerified, "", "verified", Credit::kKept},
    {Verdict::kNotInLog, "NIL", "nil", Credit::kLost},
    {Verdict::kBustedCall, "BUSTED CALL", "busted_call", Credit::kLost},
    {Verdict::kBustedExchange, "BUSTED EXCHANGE", "busted_exchange", Credit::kLost},
    {Verdict::kUnique, "UNIQUE", "unique", Credit::kKept},
    {Verdict::kNoLog, "", "no_log", Credit::kKept},
    {Verdict::kDupe, "DUPE", "dupe", Credit::kLost},
    {Verdict::kOutOfBand, "OUT OF BAND", "out_of_band", Credit::kLost},
    {Verdict::kOutOfMode, "OUT OF MODE", "out_of_mode", Credit::kLost},
    {Verdict::kNoNumber, "NO NUMBER", "no_number", Credit::kLost},
    {Verdict::kOutOfPeriod, "OUT OF PERIOD", "out_of_period", Credit::kLost},
    {Verdict::kTimeMismatch, "TIME MISMATCH", "time_mismatch", Credit::kKept},
    {Verdict::kBandMismatch, "BAND MISMATCH", "band_mismatch", Credit::kPlaced},
    {Verdict::kModeMismatch, "MODE MISMATCH", "mode_mismatch", Credit::kPlaced},
    {Verdict::kBustedCallInferred, "BUSTED CALL (inferred)", "busted_call_inferred", Credit::kLost},
    {Verdict::kBustedExchangeInferred, "BUSTED EXCHANGE (inferred)", "busted_exchange_inferred", Credit::kLost},
    {Verdict::kUniqueOnBand, "UNIQUE ON THIS BAND", "unique_on_band", Credit::kKept},
}};

/// How many verdicts there are.
inline constexpr std::size_t kVerdictCount = kVerdictTable.size();

/// The columns of results.csv before the clock offset's: the first this many verdicts.
inline constexpr std::size_t kLeadingVerdictColumns = 6;

/// The row of `verdict`.
constexpr const VerdictRow& verdictRow(Verdict verdict) {
    return kVerdictTable[static_cast<std::size_t>(verdict)];
}

constexpr bool tableInEnumOrder() {
    for (std::size_t v = 0; v < kVerdictCount; ++v)
        if (static_cast<std::size_t>(kVerdictTable[v].verdict) != v) return false;
    return true;
}
static_assert(tableInEnumOrder(), "kVerdictTable lists the verdicts in the order of the enum");

/// The name in a report: "NIL", "BUSTED CALL", ...; "" for the verdicts that are not reported.
constexpr std::string_view verdictName(Verdict verdict) {
    return verdictRow(verdict).name;
}

/// True for the verdicts given before matching (the QSO is not matched).
bool isReconciliation(Verdict verdict);

/// The verdict of one QSO and the QSO of the other log it rests on (`otherLog` is kNone when none).
struct QsoCheck {
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    Verdict verdict = Verdict::kVerified;
    bool credited = true;            ///< keeps its credit (uniques: unless the committee removes them)
    std::uint32_t otherLog = kNone;  ///< the matched log (index into the input); for a dupe this log
    std::uint32_t otherQso = 0;      ///< the matched QSO in that log (index into its qsos)
    std::int32_t detail = 0;         ///< TIME MISMATCH: minutes this log is ahead; inferred: index into notes
};

struct CheckOptions {
    /// The contest's bands, modes, exchange, periods and rules: required. Must outlive the check.
    const contest::ContestDefinition* contest = nullptr;
    std::int64_t windowSeconds = 180;  ///< two QSOs match when their times differ by at most this
    unsigned workers = 2;              ///< threads used for the per-log work
    /// First and last day of the contest period (UTC), if checked; without them, the contest's periods.
    std::optional<std::chrono::sys_days> start;
    std::optional<std::chrono::sys_days> end;
    std::int64_t evidenceWindowSeconds = 900;    ///< how near in time another log's QSO must be to be evidence
    /// A QSO repeating the call, band and mode of an earlier one is a dupe, as the plug-in marks
    /// dupes. False: of such QSOs the first that the other log confirms counts, the others are dupes.
    bool dupesByOrder = true;
};

/// A dupe whose QSO and the QSO it repeats the other log holds both, matched: that log's two QSOs.
struct DupeInOtherLog {
    std::uint32_t qso = 0;       ///< the dupe, in its own log
    std::uint32_t otherLog = 0;  ///< the log that holds both
    std::uint32_t counted = 0;   ///< that log's QSO matched with the one that counts
    std::uint32_t repeat = 0;    ///< that log's QSO matched with the dupe
};

/// What the cross-check found.
struct CheckResult {
    std::vector<std::vector<QsoCheck>> checks;  ///< per log, one per QSO in the order of its qsos
    std::vector<std::int64_t> clockOffsets;     ///< per log: seconds its clock is ahead of the contest's
    std::vector<std::uint32_t> offsetMatches;   ///< per log: the exact matches the offset rests on
    std::vector<std::vector<std::string>> notes;  ///< per log: the evidence of inferred verdicts
    /// Per log, by QSO: its repeats too soon that the other log holds both (judged after the matching).
    std::vector<std::vector<DupeInOtherLog>> dupesInOtherLog;
};

/// Cross-checks `logs` (their calls must differ) by `options.contest` (std::invalid_argument when
/// none is given). The verdicts do not depend on the order of the logs or of their QSOs.
CheckResult crossCheck(const std::vector<StationLog>& logs, const CheckOptions& options);

/// True when `a` becomes `b` by one substitution, insertion or deletion of a character.
bool oneEditApart(std::string_view a, std::string_view b);

/// Calls `f` with `call` and with each form of it one character shorter: two calls one edit
/// apart share such a form (a doubled letter gives its form once).
template <typename F>
void forEachDeletion(const std::string& call, F&& f) {
    f(call);
    std::string form;
    for (std::size_t i = 0; i < call.size(); ++i) {
        if (i > 0 && call[i] == call[i - 1]) continue;
        form.assign(call, 0, i);
        form.append(call, i + 1);
        f(form);
    }
}

/// Serial numbers compared as a committee does: numerically when both are digits (leading zeros
/// ignored), otherwise as texts regardless of letter case.
bool sameNumber(std::string_view a, std::string_view b);

/// A serial number as a number: -1 when it is none (empty, not all digits, more than 9 digits).
long serialNumber(std::string_view text);

/// Runs `work(i)` for i in [0, count) on up to `workers` threads (the calling one included).
void forEachIndex(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& work);

}  // namespace crosscheck
