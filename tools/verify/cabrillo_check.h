#pragma once
// A check of a Cabrillo log before it is sent: what a contest robot would refuse (errors) and
// what it would score but the operator should look at (warnings), each with its line.

#include <chrono>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace logs {
struct CabrilloLine;
}  // namespace logs

namespace replay {


enum class Severity { kError, kWarning };

/// One finding: the 1-based line it stands at and the rule in plain words.
struct CheckFinding {
    std::uint64_t line = 0;
    Severity severity = Severity::kError;
    std::string text;
};

/// The contest's days, both inclusive; the period check runs only when both are given.
struct CheckPeriod {
    std::optional<std::chrono::sys_days> start;
    std::optional<std::chrono::sys_days> end;
};

/// Checks a log line by line: give every line in file order, then take the findings.
class CabrilloChecker {
  public:
    explicit CabrilloChecker(CheckPeriod period = {});
    void add(const logs::CabrilloLine& line);
    /// The findings in file order (the file's own order among those of one line).
    std::vector<CheckFinding> finish();

    /// The CLAIMED-SCORE value and its line (0 when the file has none).
    const std::string& claimedScore() const noexcept { return claimedScore_; }
    std::uint64_t claimedScoreLine() const noexcept { return claimedScoreLine_; }

  private:
    void finding(std::uint64_t line, Severity severity, std::string text);
    void checkFirstLine(const logs::CabrilloLine& line);
    void checkTagLine(const logs::CabrilloLine& line, std::string_view tag, std::string_view value);
    void checkQso(const logs::CabrilloLine& line, std::string_view value);

    CheckPeriod period_;
    std::vector<CheckFinding> findings_;
    std::uint64_t lines_ = 0;
    std::uint64_t endOfLog_ = 0;        ///< line of the first END-OF-LOG:, 0 before it
    std::uint64_t afterEnd_ = 0;        ///< the first line with text after END-OF-LOG:
    std::uint64_t blankRunStart_ = 0;   ///< first line of the current run of blank lines
    std::uint64_t blankRunLength_ = 0;
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
};

/// Reads `in` to its end and checks every line.
std::vector<CheckFinding> checkCabrillo(std::istream& in, const CheckPeriod& period = {});

/// "LOG.cbr:41: warning: TEXT" (no line end).
std::string formatFinding(std::string_view file, const CheckFinding& finding);
/// "N error(s), M warning(s)" (no line end).
std::string findingTotals(const std::vector<CheckFinding>& findings);
/// A text from the file as a finding shows it: bytes outside printable ASCII as '?', cut short.
std::string findingText(std::string_view text);
/// True when one of the findings is an error.
bool hasError(const std::vector<CheckFinding>& findings);

}  // namespace replay
