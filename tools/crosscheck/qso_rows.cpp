#include "tools/crosscheck/qso_rows.h"

#include <algorithm>
#include <numeric>

#include "core/ole_date.h"
#include "tools/logs/csv_field.h"

namespace crosscheck {

namespace {

// "2026-03-07T12:06:00Z", as stats-replay's QSO table gives times.
std::string isoTime(std::int64_t t) {
  return stats::formatTime(std::chrono::sys_seconds{std::chrono::seconds{t}},
                           "%Y-%m-%dT%H:%M:%SZ");
}

void writeRow(std::ostream &out, const StationLog &log, std::size_t k,
              std::size_t i, const std::vector<StationLog> &logs,
              const CheckResult &check, const EvidenceWriter &writer,
              int points) {
  const Qso &q = log.qsos[i];
  const QsoCheck &c = check.checks[k][i];
  std::string partner, partnerLine;
  if (c.otherLog != QsoCheck::kNone) {
    partner = logs[c.otherLog].call;
    if (c.verdict != Verdict::kNotInLog)
      partnerLine = std::to_string(logs[c.otherLog].qsos[c.otherQso].line);
  }
  out << logs::csvField(log.call) << ',' << q.line << ',' << isoTime(q.time);
  for (const std::string_view cell :
       {std::string_view(q.band), std::string_view(q.mode),
        std::string_view(q.call), std::string_view(q.sentExchange),
        std::string_view(q.receivedExchange)})
    out << ',' << logs::csvField(cell);
  out << ',' << logs::csvField(writer.label(k, i)) << ',' << points << ','
      << logs::csvField(partner) << ',' << partnerLine << ','
      << logs::csvField(writer.evidence(k, i)) << "\r\n";
}

} // namespace

void writeQsoRows(std::ostream &out, const std::vector<StationLog> &logs,
                  const CheckResult &check, const EvidenceWriter &writer,
                  const std::vector<std::vector<int>> &points) {
  out << "station,line,time,band,mode,call,sent,received,verdict,points,"
         "partner,partner_line,evidence\r\n";
  std::vector<std::size_t> byCall(logs.size());
  std::iota(byCall.begin(), byCall.end(), std::size_t{0});
  std::sort(byCall.begin(), byCall.end(), [&](std::size_t a, std::size_t b) {
    return logs[a].call < logs[b].call;
  });
  std::vector<std::size_t> byLine;
  for (const std::size_t k : byCall) {
    const StationLog &log = logs[k];
    byLine.resize(log.qsos.size());
    std::iota(byLine.begin(), byLine.end(), std::size_t{0});
    std::sort(byLine.begin(), byLine.end(), [&](std::size_t a, std::size_t b) {
      return log.qsos[a].line < log.qsos[b].line;
    });
    for (const std::size_t i : byLine)
      writeRow(out, log, k, i, logs, check, writer, points[k][i]);
  }
}

} // namespace crosscheck
