#pragma once
// A check of a Cabrillo log before it is sent: the faults to mend (errors) and what the operator
// should look at (warnings), each with its line. Only the few errors that leave nothing to score
// fairly block scoring: a robot scores a log with any other finding.

#include <chrono>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tools/contest/contest_choice.h"
#include "tools/verify/relayed_numbers.h"

namespace logs {
struct CabrilloLine;
struct CabrilloQso;
}  // namespace logs

namespace verify {

using logs::CabrilloLine;

enum class Severity { kError, kWarning };

/// The rule a finding is about; findings of one rule group together whatever their particulars.
enum class Rule : std::uint8_t {
    kNotText,             ///< a UTF-16 or binary file, a byte order mark
    kNonAscii,            ///< bytes outside printable ASCII
    kEmptyLine,           ///< empty lines
    kStartOfLog,          ///< START-OF-LOG: missing, again, or of another version; an empty first line
    kEndOfLog,            ///< END-OF-LOG: missing, again, or not the last line
    kNoTag,               ///< a line without a tag
    kTagBlank,            ///< a tag not followed by a blank
    kUnknownTag,          ///< a tag that is no Cabrillo 3.0 header tag
    kCallsign,            ///< CALLSIGN: missing, empty or not a call
    kContest,             ///< CONTEST: missing or another contest
    kClaimedScoreNumber,  ///< CLAIMED-SCORE: not a whole number
    kCategory,            ///< a CATEGORY-* value outside its list
    kQsoSyntax,           ///< a QSO line that does not parse
    kQsoField,            ///< a field of a QSO line that is malformed (frequency, mode, date, time, RST)
    kBand,                ///< a frequency outside the contest bands
    kMode,                ///< a mode the contest does not score
    kRstFit,              ///< an RST that does not fit the mode
    kSerial,              ///< an empty or non-numeric serial number
    kOwnCall,             ///< an own call other than CALLSIGN:
    kTimeOrder,           ///< QSOs out of time order
    kPeriod,              ///< a QSO outside the contest period
    kDupe,                ///< the plug-in calls the QSO a dupe
    kClaimedScore,        ///< CLAIMED-SCORE: other than the plug-in's score
    kExchangeValue,       ///< a text field of the exchange outside its valid values
    kTab,                 ///< tabs between the fields (or after a tag) where blanks belong
    kVersion2Tag,         ///< a Cabrillo 2.0 tag (CATEGORY:, ARRL-SECTION:) in a 3.0 log
    kNoQso,               ///< no QSO line that reads
    kOtherContest,        ///< no QSO line in the contest's bands and modes on its days: another contest's log
    kRelayed,             ///< a relayed number other than the number received in the previous QSO
};

/// The rule in a few words, the same for every finding of it ("QSO out of time order").
std::string_view ruleTitle(Rule rule);
/// The rule's stable short name ("qso-syntax"), kept with a finding where it is stored.
std::string_view ruleKey(Rule rule);
/// What the operator changes to mend a finding of the rule, in one sentence.
std::string_view ruleAdvice(Rule rule);
/// The rule of a ruleKey; none for a key no rule has.
std::optional<Rule> ruleOfKey(std::string_view key);
/// True when an error of the rule leaves nothing to score fairly (no own call, no QSO line that
/// reads, not a text file, another contest's QSOs); every other finding leaves the log scorable.
bool blocksScoring(Rule rule);

/// One finding: the 1-based line it stands at, what is wrong in plain words, and the rule.
struct CheckFinding {
    std::uint64_t line = 0;
    Severity severity = Severity::kError;
    std::string text;
    Rule rule = Rule::kQsoSyntax;
    /// The further lines of a finding repeated on many, folded into this one (ascending).
    std::vector<std::uint64_t> folded;

    /// True when the finding keeps the log from being scored: an error of a rule that blocks.
    bool blocksScoring() const;
};

/// True when no finding blocks scoring: the log can be scored fairly, whatever else it holds.
bool acceptableForScoring(const std::vector<CheckFinding>& findings);

/// The contest's days (--start, --end), both inclusive; when either is given they replace the
/// definition's periods (contest::RunPeriod).
struct CheckPeriod {
    std::optional<std::chrono::sys_days> start;
    std::optional<std::chrono::sys_days> end;
};

/// What the QSO lines that parse hold, for the findings about the whole log.
struct LogTally {
    std::uint64_t qsoLines = 0;  ///< QSO lines that parse
    std::uint64_t fitting = 0;   ///< of them, those in the contest's bands and modes, on a day of its period
    std::uint64_t onPeriodDays = 0;  ///< of them, those dated on a day of the period (all: no period)
    std::optional<std::chrono::sys_days> firstDay, lastDay;
    std::vector<std::string> modes;        ///< the mode codes, each once, in order of first use
    std::vector<std::string> frequencies;  ///< the first few distinct frequency fields
    std::uint64_t lowKHz = 0, highKHz = 0;  ///< the lowest and highest frequency in kHz (0: none)
};

/// Checks a log line by line: give every line in file order, then take the findings.
class CabrilloChecker {
  public:
    /// Checks against `contest` (kept by reference, not owned); null: the built-in SA-TOLVEN. A contest
    /// with periods checks the QSO times against them instead of `period`.
    explicit CabrilloChecker(CheckPeriod period = {}, const contest::ContestDefinition* contest = nullptr);
    void add(const CabrilloLine& line);
    /// The lines given are UTF-16 text decoded: a warning at line 1; call it before the first line.
    void decodedFromUtf16();
    /// The findings in file order (the file's own order among those of one line).
    std::vector<CheckFinding> finish();

    /// The CLAIMED-SCORE value and its line (0 when the file has none).
    const std::string& claimedScore() const noexcept { return claimedScore_; }
    std::uint64_t claimedScoreLine() const noexcept { return claimedScoreLine_; }

  private:
    void finding(std::uint64_t line, Severity severity, Rule rule, std::string text);
    /// Line 1's own checks (a UTF-16 or binary file stops the check); its text without a UTF-8 BOM.
    std::string_view checkFirstLine(const CabrilloLine& line);
    /// The run of empty lines before this line, if any, as one finding.
    void closeBlankRun();
    void checkTagLine(const CabrilloLine& line, std::string_view tag, std::string_view value);
    void checkQso(const CabrilloLine& line, std::string_view value);
    /// A category value against the Cabrillo 3.0 lists and the contest's own.
    void checkCategory(std::uint64_t n, std::string_view tag, std::string_view value);
    /// The fields every QSO line has (frequency, mode, date, time); true when none is malformed.
    bool checkQsoFrame(std::uint64_t n, const logs::CabrilloQso& q, std::chrono::sys_days& day);
    /// A QSO line in a definition's layout: its fields, then as any QSO line (band, exchange, log).
    void checkDefinedQso(std::uint64_t n, std::string_view value);
    /// The mode and exchange fields of a QSO line that parses, against the contest: sent from
    /// `fields[5]`, received after the call (reports that fit the mode, serials, valid text values).
    void checkExchange(std::uint64_t n, const std::vector<std::string_view>& fields, const std::string& mode);
    /// A QSO line's frequency against the contest's bands and its mode's sub-bands.
    void checkDefinedBand(std::uint64_t n, const logs::CabrilloQso& q, const std::string& freq,
                          const std::string& mode);
    /// The QSO's time against the contest's periods, or `period_` when it gives none.
    void checkQsoPeriod(std::uint64_t n, const logs::CabrilloQso& q, std::chrono::sys_days day);
    /// The name CONTEST: should carry.
    std::string contestName() const;
    /// A QSO line that parses against the log around it: its own call, its time order, the period.
    void checkQsoAgainstLog(std::uint64_t n, const logs::CabrilloQso& q, std::chrono::sys_days day);
    /// True when the QSO's time lies in the contest's periods, or `period_` when it gives none (or
    /// no period is known).
    bool inPeriod(const logs::CabrilloQso& q, std::chrono::sys_days day) const;
    /// True when `day` is a day of the contest's periods, or of `period_` (or no period is known).
    bool onPeriodDay(std::chrono::sys_days day) const;
    /// A QSO line that parses, counted for the findings about the whole log: its date, frequency and
    /// mode, and whether it lies in the contest's bands and modes on a day of its period.
    void tally(const std::string& freq, const std::string& mode, std::chrono::sys_days day);
    /// The dupes and too-early repeats of a defined log by the contest's rules, judged in time order.
    void judgeDupes();
    /// The findings about the whole log once every line is read: CONTEST:, values of other years, no
    /// QSO line, another contest's QSOs; then the findings repeated on many lines folded.
    void judgeWholeLog();

    const contest::ContestDefinition* contest_;
    contest::RunPeriod period_;
    bool hostLayout_;  // the plug-in's own contest: QSO lines as its host writes them
    /// A defined QSO line in a contest band and mode, for the dupes: when, call, band, mode, line.
    struct Worked {
        std::chrono::sys_seconds when;
        std::string call, band, mode;
        std::uint64_t line;
    };
    std::vector<Worked> worked_;
    std::vector<CheckFinding> findings_;
    std::uint64_t lines_ = 0;
    std::uint64_t endOfLog_ = 0;        ///< line of the first END-OF-LOG:, 0 before it
    std::uint64_t afterEnd_ = 0;        ///< the first line with text after END-OF-LOG:
    std::uint64_t blankRunStart_ = 0;   ///< first line of the current run of blank lines
    std::uint64_t blankRunLength_ = 0;
    std::uint64_t firstTextLine_ = 0;   ///< the first line with text: START-OF-LOG: belongs there
    bool stopped_ = false;              ///< not a text file: nothing more is checked
    bool version2_ = false;
    std::string callsign_;
    std::uint64_t callsignLine_ = 0;
    std::uint64_t contestLine_ = 0;
    std::string claimedScore_;
    std::uint64_t claimedScoreLine_ = 0;
    std::string lastQsoStamp_;          ///< "YYYY-MM-DD HHMM" of the previous QSO line
    std::uint64_t lastQsoLine_ = 0;
    std::unordered_map<std::string, std::uint64_t> ownCallsSeen_;  ///< each own call of the QSO lines, compared once
    std::string contestProblem_;        ///< what is wrong with CONTEST: (judged once the QSOs are read)
    /// Category values that left their list, judged by the log's year: line, tag, value, last year.
    struct Retired {
        std::uint64_t line;
        std::string tag, value;
        int lastYear;
    };
    std::vector<Retired> retired_;
    LogTally tally_;
    RelayedNumbers relayed_;
};

/// Reads `in` to its end and checks every line (against `contest`; null: SA-TOLVEN); UTF-16 text with its
/// byte order mark is checked as decoded.
std::vector<CheckFinding> checkCabrillo(std::istream& in, const CheckPeriod& period = {},
                                        const contest::ContestDefinition* contest = nullptr);

/// "LOG.cbr:41: warning: TEXT" (no line end).
std::string formatFinding(std::string_view file, const CheckFinding& finding);
/// "N error(s), M warning(s)" (no line end).
std::string findingTotals(const std::vector<CheckFinding>& findings);
/// A text from the file as a finding shows it: bytes outside printable ASCII as '?', cut short.
std::string findingText(std::string_view text);
/// A dupe's finding: "dupe: CALL on BAND MODE again", then `how` (" (first at line 5)").
std::string dupeText(std::string_view call, std::string_view band, std::string_view mode, std::string_view how);
/// True when one of the findings is an error.
bool hasError(const std::vector<CheckFinding>& findings);

}  // namespace verify
