#include "tools/replay/qso_csv.h"

#include <chrono>

#include "core/ole_date.h"
#include "tools/logs/csv_field.h"

namespace replay {

using namespace logs;

namespace {

// The texts of QsoVerdict and Operating, in the order of their values.
constexpr std::string_view kVerdictTexts[] = {"accepted", "dupe", "rejected"};
constexpr std::string_view kOperatingTexts[] = {"unknown", "run", "S&P"};

// "2026-03-07T12:06:00Z"
std::string timeText(std::chrono::sys_seconds when) {
    return stats::formatTime(when, "%Y-%m-%dT%H:%M:%SZ");
}

}  // namespace

std::string qsoCsv(const std::vector<QsoAnswer>& answers, std::string_view placeColumn) {
    std::string out =
        std::string(placeColumn) +
        ",time,band,mode,call,sent,received,answer,reason,new_sa_prefix,operating,transmitter\r\n";
    for (const QsoAnswer& a : answers) {
        out += std::to_string(a.record) + ',' + timeText(a.when);
        for (const std::string_view field :
             {std::string_view(a.band), std::string_view(a.mode), std::string_view(a.call),
              std::string_view(a.sentNumber), std::string_view(a.receivedNumber),
              kVerdictTexts[static_cast<std::size_t>(a.verdict)], std::string_view(a.reason),
              std::string_view(a.newPrefix), kOperatingTexts[static_cast<std::size_t>(a.operating)],
              std::string_view(a.transmitter)})
            out += ',' + logs::csvField(field);
        out += "\r\n";
    }
    return out;
}

}  // namespace replay
