#include "core/recorder.h"

#include <algorithm>

#include "core/error_log.h"
#include "core/rules.h"

namespace stats {
namespace {

constexpr std::string_view kErrorLogDatePattern = "%Y-%m-%d %H%M";

}  // namespace

CInfo recordOf(const QsoParams& qso) {
    CInfo record;
    record.call = qso.call;
    record.band = qso.band;
    record.mode = qso.mode;
    record.rstSent = qso.rstSent;
    record.rstReceived = qso.rstReceived;
    record.numberReceived = qso.numberReceived;
    record.numberSent = qso.numberSent;
    record.frequencyKHz = qso.frequencyHz / 1000;
    record.qsoTime = qso.time;
    record.saPrefix = multiplierPrefix(qso.prefix, qso.continent);
    return record;
}

int recordQso(ContestState& state, const QsoParams& qso, std::string& errorLines) {
    const Rejection rejection = acceptanceOf(qso.band, qso.mode, qso.numberSent, qso.numberReceived);
    if (rejection != Rejection::kNone) {
        appendErrorLine(errorLines, qso, formatOleDate(qso.time, kErrorLogDatePattern),
                        rejectionReason(rejection));
        return 0;
    }

    if (std::find(state.bandList.begin(), state.bandList.end(), qso.band) == state.bandList.end())
        state.bandList.emplace_back(qso.band);

    const CInfo record = recordOf(qso);

    // The index gives the number of earlier contacts with this call, band and mode: one DUPE line
    // each, without scanning the log, so that a reload of n contacts costs O(n).
    const std::size_t earlier = state.qsoStore.append(record);
    if (earlier > 0) {
        state.qsoStore.setDupe(state.qsoStore.size() - 1, 1);
        std::string line;
        appendErrorLine(line, qso, formatOleDate(qso.time, kErrorLogDatePattern), kDupeReason);
        errorLines.reserve(errorLines.size() + earlier * line.size());
        for (std::size_t i = 0; i < earlier; ++i) errorLines += line;
    }
    return 1;
}

int removeQso(ContestState& state, const QsoParams& qso) {
    if (qso.numberReceived.empty() || qso.numberSent.empty()) return 0;

    QsoStore& store = state.qsoStore;
    const std::vector<std::size_t> positions = store.contactPositions(qso.call, qso.band, qso.mode);
    if (positions.empty()) return 1;

    // The contact the host deleted is the one whose serial numbers match too; only when none
    // does is the oldest of that call, band and mode taken.
    std::size_t victim = positions.front();
    for (const std::size_t pos : positions) {
        const CInfo& info = store.at(pos);
        if (info.numberSent == qso.numberSent && info.numberReceived == qso.numberReceived) {
            victim = pos;
            break;
        }
    }
    store.removeAt(victim);

    // What remains must look as if the log had been loaded without the deleted contact:
    // the first in store order counts, the later ones are dupes.
    bool first = true;
    for (const std::size_t pos : positions) {
        if (pos == victim) continue;
        store.setDupe(pos > victim ? pos - 1 : pos, first ? 0 : 1);
        first = false;
    }
    return 1;
}

}  // namespace stats
