#include "tools/replay/qso_csv.h"

#include <chrono>
#include <cstdio>

namespace replay {

namespace {

std::string_view verdictText(QsoVerdict verdict) {
    switch (verdict) {
        case QsoVerdict::kAccepted: return "accepted";
        case QsoVerdict::kDupe: return "dupe";
        case QsoVerdict::kRejected: return "rejected";
    }
    return "";
}

std::string_view operatingText(Operating operating) {
    switch (operating) {
        case Operating::kRun: return "run";
        case Operating::kSearchAndPounce: return "S&P";
        case Operating::kUnknown: return "unknown";
    }
    return "";
}

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

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string qsoCsv(const std::vector<QsoAnswer>& answers, std::string_view placeColumn) {
    std::string out = std::string(placeColumn) +
                      ",time,band,mode,call,sent,received,answer,reason,new_sa_prefix,operating,transmitter\r\n";
    for (const QsoAnswer& a : answers) {
        out += std::to_string(a.record) + ',' + timeText(a.when);
        for (const std::string_view field : {std::string_view(a.band), std::string_view(a.mode), std::string_view(a.call),
                                             std::string_view(a.sentNumber), std::string_view(a.receivedNumber),
                                             verdictText(a.verdict), std::string_view(a.reason),
                                             std::string_view(a.newPrefix), operatingText(a.operating),
                                             std::string_view(a.transmitter)})
            out += ',' + csvField(field);
        out += "\r\n";
    }
    return out;
}

}  // namespace replay
