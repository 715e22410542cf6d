#pragma once
// The contacts the benchmarks load: about one in twenty a dupe, one in 97 rejected (no received
// number), every tenth from SA. Calls, reports and numbers have the lengths of a real log.

#include <cstdint>
#include <string>
#include <vector>

#include "core/contest.h"

namespace stats::bench {

struct Log {
    std::vector<std::string> calls;
    std::vector<std::string> numbers;
    std::vector<QsoParams> qsos;
};

inline Log makeLog(std::size_t n) {
    Log log;
    log.calls.reserve(n);
    log.numbers.reserve(n);
    const std::size_t stations = n - n / 20;
    for (std::size_t i = 0; i < n; ++i) log.calls.push_back("K" + std::to_string(i % stations) + "X");
    // Sent serial numbers count up as in a real contest; received ones are short.
    for (std::size_t i = 0; i < n; ++i) {
        std::string number = std::to_string(i + 1);
        if (number.size() < 3) number.insert(0, 3 - number.size(), '0');
        log.numbers.push_back(std::move(number));
    }
    static const char* received[] = {"001", "017", "254"};
    for (std::size_t i = 0; i < n; ++i) {
        QsoParams p;
        p.ownCall = "UA9XX";
        p.call = log.calls[i];
        p.time = OleDateTime{46082.5 + static_cast<double>(i) / 86400.0, OleDateTime::kValid};
        p.frequencyHz = 7000000 + static_cast<std::uint32_t>(i % 50000);
        p.mode = i % 3 == 0 ? "SSB" : "CW";
        p.rstSent = i % 3 == 0 ? "59" : "599";
        p.rstReceived = i % 3 == 0 ? "59" : "599";
        p.numberSent = log.numbers[i];
        p.numberReceived = i % 97 == 0 ? "" : received[i % 3];
        p.prefix = i % 10 == 0 ? "CE3" : "K";
        p.continent = i % 10 == 0 ? "SA" : "NA";
        p.band = i % 2 == 0 ? "40m" : "20m";
        log.qsos.push_back(p);
    }
    // Dupes keep the key of their first contact.
    for (std::size_t i = stations; i < n; ++i) {
        log.qsos[i].mode = log.qsos[i - stations].mode;
        log.qsos[i].band = log.qsos[i - stations].band;
    }
    return log;
}

}  // namespace stats::bench
