#pragma once
// What each flagged QSO of a report rests on: its own line as written, and the other log's line
// or the inference that judged it; and for the station whose call or number was miscopied, the
// lines that did it.

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/contest_scoring.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/crosscheck_output.h"
#include "tools/crosscheck/exchange.h"

namespace crosscheck {

/// Line number -> the line's text as a report shows it, for one log, in one buffer: a large
/// contest's million flagged lines would pay for a map node and a string each.
class LineTexts {
  public:
    /// Adds a line's text; the first text of a line stays.
    void emplace(std::uint64_t line, std::string_view text);
    /// The text of `line`, or none.
    std::optional<std::string_view> find(std::uint64_t line) const;
    std::size_t size() const noexcept { return lines_.size(); }
    /// Gives back the room the buffers grew beyond their texts.
    void shrink();

  private:
    std::vector<std::uint64_t> lines_;  // increasing
    std::vector<std::size_t> ends_;     // each line's text ends here in text_
    std::string text_;
};

/// Per log, the lines its report shows: its flagged QSOs' and the other logs' lines they rest on
/// (sorted, repeats allowed).
std::vector<std::vector<std::uint64_t>> wantedLines(const std::vector<StationLog>& logs, const CheckResult& check);

/// The texts of the `wanted` lines (sorted) of a Cabrillo file, read again.
LineTexts cabrilloLineTexts(const std::filesystem::path& file, const std::vector<std::uint64_t>& wanted);

/// The texts of the `wanted` records (sorted) of an ADIF log: each as the Cabrillo QSO line it would be.
LineTexts adifLineTexts(const StationLog& log, const std::vector<std::uint64_t>& wanted,
                        const contest::ContestDefinition& contest);

/// A QSO in the layout of a Cabrillo QSO: line of the station `own`: the numbers for SA-TOLVEN, else
/// the whole exchange.
std::string qsoLineOf(const std::string& own, const Qso& q, const contest::ContestDefinition& contest);

/// "2022-01-09 0631": a time as a QSO line gives it.
std::string qsoTimeText(std::int64_t t);

/// Builds the reports' lines from the matching's verdicts and the lines read again.
class EvidenceWriter {
  public:
    /// `period` as a report names it; the references must outlive the writer. `points`, per log and
    /// QSO, when the contest is scored from its definition: a QSO with a station that sent no log
    /// and too few logs behind it is then reported too; verdicts name the field they rest on.
    /// `heldBy`: the scorer's logsHolding, when it has them. `notAccepted`: the calls (upper case) whose
    /// logs were received but not accepted, named so where a call would be said to have sent no log.
    EvidenceWriter(const std::vector<StationLog>& logs, const CheckResult& check,
                   const std::vector<LineTexts>& lineTexts, std::string period,
                   const contest::ContestDefinition& contest,
                   const std::vector<std::vector<int>>* points = nullptr, const CallCounts* heldBy = nullptr,
                   std::set<std::string> notAccepted = {});

    /// Log `k`'s flagged QSOs by line; the QSOs of it that miscopied another station are added to
    /// that station's `copied` (none: left to addCopiedLines), under `guard` when one is given (logs
    /// written on several threads).
    std::vector<ReportLine> reportLines(std::size_t k, std::vector<std::vector<CopiedLine>>* copied,
                                        std::mutex* guard = nullptr) const;
    std::vector<ReportLine> reportLines(std::size_t k, std::vector<std::vector<CopiedLine>>& copied) const {
        return reportLines(k, &copied);
    }
    /// Only the QSOs of log `k` that miscopied another station, added to that station's `copied`.
    void addCopiedLines(std::size_t k, std::vector<std::vector<CopiedLine>>& copied, std::mutex* guard) const;

    /// QSO `i` of log `k`'s verdict with what it rests on: "BUSTED EXCHANGE (county: copied SR,
    /// sent HR)", "VERIFIED", "NO LOG (too few logs: 3 of 10)".
    std::string label(std::size_t k, std::size_t i) const;
    /// What the verdict of QSO `i` of log `k` rests on ("" for a verified QSO).
    std::string evidence(std::size_t k, std::size_t i) const;

  private:
    bool reported(std::size_t k, std::size_t i) const;
    bool paysForPartner(std::size_t k, std::size_t i) const;
    bool paysForPartnersCall(std::size_t k, std::size_t i) const;
    bool notCounted(std::size_t k, std::size_t i) const;
    void addCopied(std::size_t k, const QsoCheck& c, const Qso& q, std::vector<std::vector<CopiedLine>>& copied,
                   std::mutex* guard) const;
    std::string matchedEvidence(const QsoCheck& c, const Qso& q) const;
    std::string dupeEvidence(std::size_t k, std::size_t i, const QsoCheck& c) const;
    std::string outOfBandEvidence(const Qso& q) const;
    std::string ownEvidence(std::size_t k, std::size_t i, const QsoCheck& c, const Qso& q) const;
    std::string mismatchEvidence(std::size_t k, const QsoCheck& c) const;
    std::string stationEvidence(std::size_t k, std::size_t i) const;
    std::string lineText(std::size_t k, std::uint64_t line) const;
    std::string otherLine(const QsoCheck& c) const;
    std::string noteOf(std::size_t k, const QsoCheck& c) const;

    const std::vector<StationLog>& logs_;
    const CheckResult& check_;
    const std::vector<LineTexts>& lineTexts_;
    std::string period_;
    const contest::ContestDefinition& contest_;
    const ExchangeLayout exchange_;
    const std::vector<std::vector<int>>* points_;
    CallCounts ownHeldBy_;                  // logsHolding, when the writer was given none
    const CallCounts* heldBy_ = &ownHeldBy_;  // call -> logs that hold it (with points)
    std::set<std::string> notAccepted_;
};

/// Seconds as whole minutes, rounded half away from zero.
std::int64_t roundedMinutes(std::int64_t seconds);

}  // namespace crosscheck
