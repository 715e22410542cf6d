#pragma once
// What each flagged QSO of a report rests on: its own line as written, and the other log's line
// or the inference that judged it; and for the station whose call or number was miscopied, the
// lines that did it.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/crosscheck_output.h"

namespace crosscheck {

/// Line number -> the line's text as a report shows it, for one log.
using LineTexts = std::map<std::uint64_t, std::string>;

/// Per log, the lines its report shows: its flagged QSOs' and the other logs' lines they rest on
/// (sorted, repeats allowed).
std::vector<std::vector<std::uint64_t>> wantedLines(const std::vector<StationLog>& logs, const CheckResult& check);

/// The texts of the `wanted` lines (sorted) of a Cabrillo file, read again.
LineTexts cabrilloLineTexts(const std::filesystem::path& file, const std::vector<std::uint64_t>& wanted);

/// The texts of the `wanted` records (sorted) of an ADIF log: each as the Cabrillo QSO line it would be.
LineTexts adifLineTexts(const StationLog& log, const std::vector<std::uint64_t>& wanted);

/// A QSO in the layout of a Cabrillo QSO: line of the station `own`.
std::string qsoLineOf(const std::string& own, const Qso& q);

/// Builds the reports' lines from the matching's verdicts and the lines read again.
class EvidenceWriter {
  public:
    /// `period` as a report names it; the references must outlive the writer.
    EvidenceWriter(const std::vector<StationLog>& logs, const CheckResult& check,
                   const std::vector<LineTexts>& lineTexts, std::string period);

    /// Log `k`'s flagged QSOs by line; the QSOs of it that miscopied another station are added to
    /// that station's `copied`.
    std::vector<ReportLine> reportLines(std::size_t k, std::vector<std::vector<CopiedLine>>& copied) const;

  private:
    std::string evidence(std::size_t k, const QsoCheck& c, const Qso& q,
                         std::vector<std::vector<CopiedLine>>& copied) const;
    std::string ownEvidence(std::size_t k, const QsoCheck& c, const Qso& q) const;
    std::string mismatchEvidence(std::size_t k, const QsoCheck& c) const;
    std::string lineText(std::size_t k, std::uint64_t line) const;
    std::string otherLine(const QsoCheck& c) const;
    std::string noteOf(std::size_t k, const QsoCheck& c) const;

    const std::vector<StationLog>& logs_;
    const CheckResult& check_;
    const std::vector<LineTexts>& lineTexts_;
    std::string period_;
};

/// Seconds as whole minutes, rounded half away from zero.
std::int64_t roundedMinutes(std::int64_t seconds);

}  // namespace crosscheck
