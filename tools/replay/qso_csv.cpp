#include "tools/replay/qso_csv.h"

#include "tools/logs/csv_field.h"

#include <chrono>
#include <cstdio>

namespace replay {

namespace {

// The texts of QsoVerdict and Operating, in the order of their values.
constexpr std::string_view kVerdictTexts[] = {"accepted", "dupe", "rejected"};
constexpr std::string_view kOperatingTexts[] = {"unknown", "run", "S&P"};

// "2026-03-07T12:06:00Z"
std::string timeText(std::chrono::sys_seconds when) {
    const auto day = std::chrono::floor<std::chrono::days>(when);
    const std::chrono::year_month_day ymd{day};
    const std::chrono::hh_mm_ss hms{when - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
    return text;
}

}  // namespace

std::string qsoCsv(const std::vector<QsoAnswer>& answers, std::string_view placeColumn) {
    std::string out = std::string(placeColumn) +
                      ",time,band,mode,call,sent,received,answer,reason,new_sa_prefix,operating,transmitter\r\n";
    for (const QsoAnswer& a : answers) {
        out += std::to_string(a.record) + ',' + timeText(a.when);
        for (const std::string_view field : {std::string_view(a.band), std::string_view(a.mode), std::string_view(a.call),
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
