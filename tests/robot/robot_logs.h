#pragma once
// Small contest logs for the robot's tests: every pair of stations works each other once, each
// log's serials in its own order, and every station also works one call that sends no log.

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace robot_test {

/// The Cabrillo logs of a contest of `calls`, by call; each also works `wanted`.
inline std::map<std::string, std::string> contestLogs(const std::vector<std::string>& calls,
                                                      const std::string& wanted = "ZW9ZZZ") {
    struct Line {
        int minute;
        std::string text;
    };
    std::map<std::string, std::vector<std::pair<int, std::string>>> worked;  // call: (minute, other)
    int minute = 0;
    for (std::size_t a = 0; a < calls.size(); ++a)
        for (std::size_t b = a + 1; b < calls.size(); ++b, minute += 2) {
            worked[calls[a]].push_back({minute, calls[b]});
            worked[calls[b]].push_back({minute, calls[a]});
        }
    std::map<std::string, int> serialAt;  // "CALL@minute": the serial CALL sent then
    for (auto& [call, qsos] : worked) {
        qsos.push_back({minute + 1, wanted});
        for (std::size_t i = 0; i < qsos.size(); ++i) serialAt[call + "@" + std::to_string(qsos[i].first)] = int(i) + 1;
    }
    std::map<std::string, std::string> logs;
    for (const auto& [call, qsos] : worked) {
        std::string log = "START-OF-LOG: 3.0\r\nCALLSIGN: " + call +
                          "\r\nCONTEST: SA-TOLVEN\r\nCATEGORY-OPERATOR: SINGLE-OP\r\nCATEGORY-MODE: CW\r\n";
        for (const auto& [at, other] : qsos) {
            const int sent = serialAt[call + "@" + std::to_string(at)];
            const auto it = serialAt.find(other + "@" + std::to_string(at));
            const int received = it == serialAt.end() ? 7 : it->second;
            char line[160];
            std::snprintf(line, sizeof line, "QSO: %5d CW 2026-03-07 %02d%02d %-13s 599 %03d %-13s 599 %03d\r\n",
                          at % 4 ? 14020 : 7020, 12 + at / 60, at % 60, call.c_str(), sent, other.c_str(), received);
            log += line;
        }
        logs[call] = log + "END-OF-LOG:\r\n";
    }
    return logs;
}

/// One station's log of `qsos` contacts with calls of its own making.
inline std::string stationLog(const std::string& call, int qsos) {
    std::string log = "START-OF-LOG: 3.0\r\nCALLSIGN: " + call + "\r\nCONTEST: SA-TOLVEN\r\n";
    for (int i = 0; i < qsos; ++i) {
        char line[160];
        std::snprintf(line, sizeof line, "QSO: 14020 CW 2026-03-07 %02d%02d %-13s 599 %03d PY%dA%c%c         599 %03d\r\n",
                      12 + i / 60, i % 60, call.c_str(), i + 1, i % 10, 'A' + i % 26, 'A' + (i / 26) % 26, i % 900 + 1);
        log += line;
    }
    return log + "END-OF-LOG:\r\n";
}

}  // namespace robot_test
