#pragma once
// The literal algorithms, for comparison only: a plain array of CInfo scanned from index 0 on
// every check and every added contact, and the error log opened on every AddData0.
// The same results as the plug-in, at the cost the straightforward code has.

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cabrillo/summary.h"
#include "core/call_check.h"
#include "core/contest.h"
#include "core/error_log.h"
#include "core/recorder.h"
#include "core/rules.h"
#include "core/text.h"

namespace stats::bench {

class ReferenceContest {
  public:
    explicit ReferenceContest(std::filesystem::path errorLog) : errorLog_(std::move(errorLog)) {}

    void reset() {
        store.clear();
        bandList.clear();
        std::ofstream(errorLog_, std::ios::binary | std::ios::trunc) << kErrorLogHeader << kErrorLogLineEnd;
    }

    int addData(const QsoParams& q) {
        std::ofstream log(errorLog_, std::ios::binary | std::ios::app);
        const std::string date = formatOleDate(q.time, "%Y-%m-%d %H%M");
        const Rejection rejection = acceptanceOf(q.band, q.mode, q.numberSent, q.numberReceived);
        if (rejection != Rejection::kNone) {
            writeLine(log, q, date, rejectionReason(rejection));
            return 0;
        }
        const std::size_t n = store.size();
        if (std::find(bandList.begin(), bandList.end(), q.band) == bandList.end())
            bandList.emplace_back(q.band);
        CInfo r = record(q);
        for (std::size_t j = 0; j < n; ++j) {
            const CInfo& e = store[j];
            if (e.call == r.call && e.band == r.band && e.mode == r.mode) {
                r.isDupe = 1;
                writeLine(log, q, date, kDupeReason);
            }
        }
        store.push_back(std::move(r));
        return 1;
    }

    int removeData(const QsoParams& q) {
        if (q.numberReceived.empty() || q.numberSent.empty()) return 0;
        for (std::size_t i = 0; i < store.size(); ++i)
            if (store[i].call == q.call && store[i].mode == q.mode && store[i].band == q.band) {
                store.erase(store.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        return 1;
    }

    int checkCall(const CallCheckParams& p) const {
        for (const CInfo& e : store)
            if (e.call == p.call && e.band == p.band && e.mode == p.mode) return 0;
        if (p.call.empty()) return 1;
        if (p.continent != kMultiplierContinent) {
            copyToBuffer(p.outBuffer, kOutBufferSize, {});
            return 2;
        }
        for (const CInfo& e : store)
            if (e.saPrefix == p.prefix) return 1;
        copyToBuffer(p.hintBuffer, kHintBufferSize,
                     std::string(kNewMultHintHead).append(p.prefix).append(kNewMultHintTail));
        copyToBuffer(p.outBuffer, kOutBufferSize, {});
        return 2;
    }

    // The summary's per-band passes over the whole store, with the counted prefixes in a list.
    const char* getResult() {
        sortBandList(bandList);
        std::vector<std::string> counted;
        int totalQsos = 0, totalPrefixes = 0, totalCw = 0, totalSsb = 0;
        summary_ = "header\r\n";
        for (const std::string& b : bandList) {
            int qsos = 0, cw = 0, ssb = 0, newPrefixes = 0;
            for (const CInfo& r : store) {
                if (r.band != b || r.call.empty() || r.isDupe != 0) continue;
                ++qsos;
                if (r.mode == "CW") ++cw;
                if (r.mode == "SSB") ++ssb;
                if (!r.saPrefix.empty() &&
                    std::find(counted.begin(), counted.end(), r.saPrefix) == counted.end()) {
                    counted.push_back(r.saPrefix);
                    ++newPrefixes;
                }
            }
            summary_ += format("%s\t %i\t %i\t\t %i\t %i\r\n", b.c_str(), qsos, qsos, cw, ssb);
            totalQsos += qsos;
            totalPrefixes += newPrefixes;
            totalCw += cw;
            totalSsb += ssb;
        }
        summary_ += format("Total\t %i\t %i\t %i\t %i\t %i\r\n", totalQsos, totalQsos, totalPrefixes, totalCw,
                           totalSsb);
        return summary_.c_str();
    }

    // The refresh tick's fill: every record against all six band rows.
    void fillPreviousQsoRows(std::array<std::vector<std::string>, 6>& rows, std::string_view call,
                             const std::array<std::string, 6>& bandNames) const {
        for (auto& row : rows) {
            row.resize(4);
            for (std::size_t e = 1; e < 4; ++e) row[e] = "   -";
        }
        if (call.empty()) return;
        for (const CInfo& record : store)
            for (std::size_t r = 0; r < rows.size(); ++r) {
                if (record.band != bandNames[r] || record.call != call) continue;
                if (record.mode == "CW")
                    rows[r][1] = formatOleDate(record.qsoTime, "%H:%M");
                else if (record.mode == "SSB")
                    rows[r][2] = formatOleDate(record.qsoTime, "%H:%M");
                rows[r][3] = record.numberReceived;
            }
    }

    static CInfo record(const QsoParams& q) { return recordOf(q); }

    std::vector<CInfo> store;
    std::vector<std::string> bandList;

  private:
    static void writeLine(std::ofstream& log, const QsoParams& q, std::string_view date,
                          std::string_view reason) {
        std::string line;
        appendErrorLine(line, q, date, reason);
        log << line;
    }

    std::filesystem::path errorLog_;
    std::string summary_;
};

}  // namespace stats::bench
