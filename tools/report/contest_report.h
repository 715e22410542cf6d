#pragma once
// How a contest went, counted from the plug-in's answers for each contact during a replay: the
// rate per clock hour and band, the multipliers as they came, the problems with their places in
// the file, and the breaks. It only counts; every verdict (dupe, new multiplier, rejection and its
// reason, the score) is the plug-in's own.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace report {

/// One contact as logged, with the plug-in's answers for it.
struct ReportContact {
    std::chrono::sys_seconds when{};
    std::uint64_t record = 0;  ///< record number (ADIF) or line number (Cabrillo)
    std::string_view band;
    std::string_view mode;
    std::string_view call;
    std::string_view prefix;      ///< the contact's prefix as fed to the plug-in
    int check = 2;                ///< CheckCall0 just before: 0 dupe, 1 prefix already worked, 2 otherwise
    std::string_view hint;        ///< CheckCall0's hint (names a new SA prefix)
    int added = 0;                ///< AddData0's result: 0 rejected
    std::string_view errorLines;  ///< the err.txt lines the contact added
    std::uint32_t frequencyHz = 0;  ///< 0: not known
    std::string_view transmitter;   ///< the transmitter id of a multi-transmitter log, "" when none
};

/// The counts of one band in one clock hour.
struct BandCounts {
    std::uint32_t qsos = 0;         ///< accepted and not a dupe (what the score counts)
    std::uint32_t dupes = 0;
    std::uint32_t newPrefixes = 0;  ///< new SA prefixes as CheckCall0 announced them
};

/// One clock hour (UTC) with contacts.
struct HourCounts {
    std::chrono::sys_seconds start{};
    std::vector<BandCounts> bands;  ///< indexed like ContestReport::bands()
    std::uint32_t rejected = 0;
    std::uint32_t cw = 0, ssb = 0;  ///< QSOs by mode
    std::uint32_t bandChanges = 0;  ///< contacts on another band than the same transmitter's contact before
    std::uint32_t total() const;    ///< QSOs of all bands
};

/// The running totals after the contacts of one minute.
struct RunningTotal {
    std::chrono::sys_seconds when{};
    std::uint32_t qsos = 0;
    std::uint32_t multipliers = 0;
};

/// The QSO that first gave an SA prefix.
struct PrefixFirst {
    std::string prefix;
    std::chrono::sys_seconds when{};
    std::string band;
    std::string mode;
    std::string call;
    std::uint64_t record = 0;
    std::uint64_t qsos = 0;  ///< QSOs that carry the prefix
};

/// A contact or line the operator should look at.
struct Problem {
    enum Kind { kRejected, kDupe, kError, kWarning };
    Kind kind = kRejected;
    std::uint64_t record = 0;  ///< the contact's record or line number, or the finding's line
    std::chrono::sys_seconds when{};
    std::string call;
    std::string band;
    std::string mode;
    std::string text;            ///< the plug-in's reason, or the finding's text
    std::uint64_t repeats = 0;   ///< a dupe: the record of the first QSO it repeats (0: not known)
};

/// The problems of one reason on one band (or one kind of check finding): how many, and the first few.
struct ProblemGroup {
    Problem::Kind kind = Problem::kRejected;
    std::string reason;  ///< the plug-in's reason, "DUPE", or the finding's rule
    std::string band;    ///< empty for check findings
    std::uint64_t count = 0;
    std::vector<Problem> first;  ///< at most ContestReport::kGroupListed
};

/// One contact in time order as the analysis needs it (tools/report/report_analysis.h).
struct ActivityPoint {
    std::int64_t when = 0;          ///< seconds since the epoch
    std::uint32_t frequencyHz = 0;  ///< 0: not known
    std::uint16_t band = 0;         ///< index into ContestReport::activityBands()
    std::uint8_t mode = 0;          ///< kCw, kSsb or kOtherMode
    bool counted = false;           ///< accepted and not a dupe: a QSO of the score
};
constexpr std::uint8_t kCw = 0, kSsb = 1, kOtherMode = 2;

/// A gap between two contacts.
struct Break {
    std::chrono::sys_seconds from{};
    std::chrono::sys_seconds to{};
};

/// The score summary as GetResult0 returned it, split into its lines and cells.
struct SummaryTable {
    std::string title;                          ///< "SA TOLVEN CONTEST 07.03-08.03.2026"
    std::string contestant;
    std::vector<std::vector<std::string>> rows;  ///< the column heads first, then the bands and Total
    std::string scoreLine;                      ///< "Score: 261*52 = 13572"
    std::string score;                          ///< "13572"
};
SummaryTable parseSummary(std::string_view text);

/// Collects a run contact by contact (in replay order) and keeps tables of hours and minutes, the
/// prefixes, and at most kListed entries of each list, with counts of the rest.
class ContestReport {
  public:
    static constexpr std::size_t kListed = 200;
    static constexpr std::chrono::minutes kBreak{30};
    static constexpr std::size_t kGroupListed = 50;  ///< contacts listed per problem group
    static constexpr std::size_t kMaxGroups = 100;   ///< problem groups kept apart; the rest share one
    static constexpr std::size_t kMaxActivityBands = 16;  ///< band texts kept apart; the rest share one
    static constexpr std::size_t kMaxTransmitters = 64;   ///< transmitter ids kept apart; the rest share one

    /// `expectedContacts` sizes the tables once (a hint, not a limit); `keepCalls` keeps the set of
    /// calls worked, for a comparison with another log.
    explicit ContestReport(std::size_t expectedContacts = 0, bool keepCalls = false);
    ContestReport(ContestReport&&) noexcept = default;
    ContestReport& operator=(ContestReport&&) noexcept = default;
    ContestReport(const ContestReport&) = delete;
    ContestReport& operator=(const ContestReport&) = delete;

    void add(const ReportContact& contact);
    /// A finding of the Cabrillo check, in file order; findings of one `rule` (its title) group together.
    void addFinding(std::uint64_t line, bool error, std::string_view rule, std::string_view text);

    const std::vector<std::string>& bands() const { return bands_; }
    const std::map<std::int64_t, HourCounts>& hours() const { return hours_; }  ///< by hour number
    const std::vector<RunningTotal>& running() const { return running_; }
    const std::map<std::string, PrefixFirst, std::less<>>& prefixes() const { return prefixes_; }
    /// Every contact in replay order (time order), for the rates, times, band changes and runs.
    const std::vector<ActivityPoint>& activity() const { return activity_; }
    /// The band texts of all contacts, rejected ones too, in first-seen order ("other" past the limit).
    const std::vector<std::string>& activityBands() const { return activityBands_; }
    /// Rejections by reason and band, dupes by band, check findings by rule; none listed twice.
    const std::vector<ProblemGroup>& rejectedGroups() const { return rejectedGroups_; }
    const std::vector<ProblemGroup>& dupeGroups() const { return dupeGroups_; }
    const std::vector<ProblemGroup>& findingGroups() const { return findingGroups_; }
    /// Findings on a line the plug-in rejected or called a dupe: counted, listed with that QSO only.
    std::uint64_t findingsOnProblemQsos() const { return findingsOnProblemQsos_; }
    /// The distinct calls of the QSOs in first-seen order (only with `keepCalls`).
    const std::vector<std::string>& calls() const { return calls_; }
    /// Whether a QSO had `call` (only with `keepCalls`).
    bool workedCall(std::string_view call) const;

    /// The listed problems of one list: rejected contacts, dupes, or check findings (both kinds).
    const std::vector<Problem>& rejected() const { return rejected_; }
    const std::vector<Problem>& dupes() const { return dupes_; }
    const std::vector<Problem>& findings() const { return findings_; }
    const std::vector<Break>& breaks() const { return breaks_; }

    std::uint64_t contacts() const { return contacts_; }
    std::uint64_t qsos() const { return qsos_; }
    std::uint64_t multipliers() const { return multipliers_; }
    std::uint64_t rejectedCount() const { return rejectedCount_; }
    std::uint64_t dupeCount() const { return dupeCount_; }
    std::uint64_t dupeLines() const { return dupeLines_; }  ///< the DUPE lines of err.txt
    std::uint64_t errorCount() const { return errorCount_; }
    std::uint64_t warningCount() const { return warningCount_; }
    std::uint64_t breakCount() const { return breakCount_; }
    /// The distinct transmitter ids the contacts gave (0: the log names no transmitter).
    std::size_t transmitters() const { return transmitterIds_; }
    std::chrono::sys_seconds first() const { return first_; }
    std::chrono::sys_seconds last() const { return last_; }
    /// From the first to the last contact, less the breaks.
    std::chrono::seconds timeOn() const;

  private:
    HourCounts& hour(std::chrono::sys_seconds when);
    std::size_t bandIndex(std::string_view band);
    std::uint16_t activityBandIndex(std::string_view band);
    /// Counts a problem in its group; the place to keep it while the group lists fewer than
    /// kGroupListed, else null (so a full group costs no copy of the contact's texts).
    Problem* grouped(std::vector<ProblemGroup>& groups, Problem::Kind kind, std::string_view reason,
                     std::string_view band);

    std::vector<std::string> bands_;
    std::map<std::int64_t, HourCounts> hours_;
    std::vector<RunningTotal> running_;
    std::map<std::string, PrefixFirst, std::less<>> prefixes_;
    std::vector<ActivityPoint> activity_;
    std::vector<std::string> activityBands_;
    std::vector<ProblemGroup> rejectedGroups_, dupeGroups_, findingGroups_;
    std::vector<std::uint64_t> problemRecords_;  // records of rejected and dupe contacts, sorted when needed
    std::size_t problemRecordsSorted_ = 0;      // how many of them are sorted
    std::uint64_t findingsOnProblemQsos_ = 0;
    bool keepCalls_ = false;
    std::vector<std::string> calls_;
    // 64-bit hashes of calls_ in one open-addressing array (0: empty, at most half full). Two calls
    // of one hash would count as one: at a million calls about one log in 10^7 loses one call.
    std::vector<std::uint64_t> callHashes_;
    bool insertCallHash(std::uint64_t hash);
    void noteTime(std::chrono::sys_seconds when);
    std::int64_t& lastBandOf(std::string_view transmitter);
    void countPrefix(const ReportContact& c, BandCounts& counts);
    /// add()'s parts: the contact's point of the activity chart (a band change of its transmitter
    /// counted), then a contact the plug-in rejected, a dupe, or a QSO that counts.
    ActivityPoint& addActivityPoint(const ReportContact& c);
    void addRejected(const ReportContact& c);
    void addDupe(const ReportContact& c, HourCounts& h, std::size_t band, std::uint64_t key);
    void addQso(const ReportContact& c, ActivityPoint& point, HourCounts& h, std::size_t band, std::uint64_t key);
    // Per transmitter id ("" for contacts without one), the activity band of its contact before (-1: none).
    std::vector<std::pair<std::string, std::int64_t>> lastBands_;
    std::size_t transmitterIds_ = 0;
    // A hash of call, band and mode of each QSO that counted -> its record: the QSO a later dupe
    // repeats. Open addressing in one array (16 bytes a slot, at most half full): no allocation per
    // contact. Two keys with one hash are seen at the second insert (the plug-in never counts a key
    // twice) and make the entry unknown (record 0), so a named record is always the right one.
    struct Slot {
        std::uint64_t key = 0;  // 0: empty
        std::uint64_t record = 0;
    };
    std::vector<Slot> firstOfContact_;
    std::size_t firstOfContactUsed_ = 0;
    Slot& slotOf(std::uint64_t key);
    // The hour of the contact before, as a map node: nodes stay put when the report is moved,
    // where an end() iterator would point into the moved-from map.
    std::map<std::int64_t, HourCounts>::value_type* lastHour_ = nullptr;
    std::vector<Problem> rejected_, dupes_, findings_;
    std::vector<Break> breaks_;
    std::uint64_t contacts_ = 0, qsos_ = 0, multipliers_ = 0, rejectedCount_ = 0, dupeCount_ = 0,
                  dupeLines_ = 0, errorCount_ = 0, warningCount_ = 0, breakCount_ = 0;
    std::chrono::seconds breakTime_{0};
    std::chrono::sys_seconds first_{}, last_{};
};

}  // namespace report
