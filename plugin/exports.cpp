#include "plugin/exports.h"
#include "plugin/exports_abi.h"

#include <exception>

#include "plugin/plugin.h"
#include "core/rules.h"
#include "core/text.h"

using stats::hostText;

namespace {

// No exception may reach the host: each export body runs here and yields `fallback` if one escapes.
template <typename R, typename F>
R guarded(R fallback, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

stats::OleDateTime dateOrNull(Date date) noexcept {
    return date ? *date : stats::OleDateTime{0.0, stats::OleDateTime::kNull};
}

stats::QsoParams qsoParams(Text ownCall, Text call, Date time, unsigned frequency, Text mode, Text rstSent,
                           Text rstReceived, Text numberSent, Text numberReceived, Text prefix, Text continent,
                           Text band) noexcept {
    stats::QsoParams p;
    p.ownCall = hostText(ownCall);
    p.call = hostText(call);
    p.time = dateOrNull(time);
    p.frequencyHz = frequency;
    p.mode = hostText(mode);
    p.rstSent = hostText(rstSent);
    p.rstReceived = hostText(rstReceived);
    p.numberSent = hostText(numberSent);
    p.numberReceived = hostText(numberReceived);
    p.prefix = hostText(prefix);
    p.continent = hostText(continent);
    p.band = hostText(band);
    return p;
}

}  // namespace

extern "C" {

int STATS_CALL AddData0(Text p1, Text p2, Date p3, Date, Date, Date, unsigned, unsigned p8, Text p9, Text p10,
                        Text p11, Text p12, Text p13, Text, Text, Text, Text, Text, Text, Text, Text, Text p22, Text,
                        int, int, int, double, double, Text, Text p30, Text, Text p32, Text) {
    return guarded(0, [&] {
        return stats::processPlugin().addData(qsoParams(p1, p2, p3, p8, p9, p10, p11, p12, p13, p22, p30, p32));
    });
}

int STATS_CALL RemoveData0(Text p1, Text p2, Date p3, Date, Date, Date, unsigned, unsigned p8, Text p9, Text p10,
                           Text p11, Text p12, Text p13, Text, Text, Text, Text, Text, Text, Text, Text, Text p22,
                           Text, int, int, int, double, double, Text, Text p30, Text, Text p32, Text) {
    return guarded(0, [&] {
        return stats::processPlugin().removeData(qsoParams(p1, p2, p3, p8, p9, p10, p11, p12, p13, p22, p30, p32));
    });
}

int STATS_CALL ResetStats0(Text, int p2, Text p3, Date p4, Date p5, Text, Text, Text, Text, Text, Text, Text, Text,
                           Text, Text p15, int, int, int, double, double, Text, Text, Text) {
    return guarded(1, [&] {
        stats::ResetParams p;
        p.exportRequest = p2;
        p.ownCall = hostText(p3);
        p.periodStart = dateOrNull(p4);
        p.periodEnd = dateOrNull(p5);
        p.ownCountryPrefix = hostText(p15);
        return stats::processPlugin().resetStats(p);
    });
}

int STATS_CALL CheckCallFunc0(Text p1, unsigned, unsigned, Text p4, Text, Text, Text, Text, Text, Text, Text, Text,
                              Text p13, Text, int, int, int, double, double, Text, Text p21, Text, Text, Text,
                              Text p25, Text, char* p27, char* p28) {
    return guarded(1, [&] {
        stats::CallCheckParams p;
        p.call = hostText(p1);
        p.mode = hostText(p4);
        p.prefix = hostText(p13);
        p.continent = hostText(p21);
        p.band = hostText(p25);
        p.outBuffer = p27;
        p.hintBuffer = p28;
        return stats::processPlugin().checkCall(p);
    });
}

const char* STATS_CALL GetResult0(int* status) {
    return guarded<const char*>("", [&] { return stats::processPlugin().getResult(status); });
}

const char* STATS_CALL GetSetName(int number) { return number == 0 ? stats::kRuleSetName : ""; }

int STATS_CALL GetNumberOfSets() { return stats::kNumberOfSets; }

int STATS_CALL StatsGetExchgCount0(Text, Text, Text) { return stats::kExchangeCount; }

int STATS_CALL StatsIsValidExchg0(Text exchange, Text, Text, Text, int, int, int) {
    return stats::isValidExchange(hostText(exchange)) ? 1 : 0;
}

void STATS_CALL SetupSet0() {
    guarded(0, [] {
        stats::processPlugin().setupSet();
        return 0;
    });
}

#ifndef _WIN32
int CheckCall0(Text, unsigned, unsigned, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, int, int,
               int, double, double, Text, Text, Text, Text, Text, Text, Text, char*, char*)
    __attribute__((alias("CheckCallFunc0")));
int GetExchgCount0(Text, Text, Text) __attribute__((alias("StatsGetExchgCount0")));
int IsValidExchg0(Text, Text, Text, Text, int, int, int) __attribute__((alias("StatsIsValidExchg0")));
#endif
}
