// The Cabrillo reader on any bytes: it ends, lines are numbered 1, 2, ... and hold no line end,
// tags are upper case, every QSO: line is either a contact or a skipped line, and a contact has a
// valid band, an upper-case mode and call, and a time the date and time fields allow.

#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/log_input.h"
#include "tools/logs/qso_mapping.h"

namespace {

bool noLowerCase(std::string_view s) {
    for (char c : s)
        if (c >= 'a' && c <= 'z') return false;
    return true;
}

void checkContact(const logs::ReplayQso& qso) {
    static const std::set<std::string_view> kBands = {
        "160m", "80m",    "60m", "40m",   "30m",   "20m",  "17m",  "15m",  "12m", "10m",
        "6m",   "4m",     "2m",  "1.25m", "70cm",  "33cm", "23cm", "13cm", "9cm", "6cm",
        "3cm",  "1.25cm", "6mm", "4mm",   "2.5mm", "2mm",  "1mm",  "submm"};
    FUZZ_CHECK(kBands.count(qso.band) == 1);
    if (qso.band == "40m") FUZZ_CHECK(qso.frequencyHz >= 7'000'000 && qso.frequencyHz <= 7'300'000);
    if (qso.band == "20m") FUZZ_CHECK(qso.frequencyHz >= 14'000'000 && qso.frequencyHz <= 14'350'000);
    if (qso.frequencyHz != 0 && !logs::bandOfFrequency(qso.frequencyHz).empty())
        FUZZ_CHECK(logs::bandOfFrequency(qso.frequencyHz) == qso.band);
    FUZZ_CHECK(!qso.mode.empty() && noLowerCase(qso.mode) && qso.mode != "PH");
    FUZZ_CHECK(!qso.call.empty() && noLowerCase(qso.call) && noLowerCase(qso.ownCall));
    FUZZ_CHECK(!qso.prefix.empty());
    FUZZ_CHECK(qso.when.time_since_epoch().count() % 60 == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::istringstream in(bytes);
    logs::CabrilloLineReader reader(in);
    logs::CabrilloLine line;
    logs::CabrilloQso fields;
    logs::ReplayQso qso;
    std::string problem;
    std::uint64_t expected = 1;
    std::uint64_t lastBytes = 0;
    std::size_t qsoLines = 0;
    while (reader.next(line)) {
        FUZZ_CHECK(line.number == expected++);
        FUZZ_CHECK(reader.bytesRead() > lastBytes || (line.number == 1 && size == 0));
        lastBytes = reader.bytesRead();
        FUZZ_CHECK(line.text.find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(line.length >= line.text.size() && line.length <= size);
        FUZZ_CHECK(line.text.size() <= logs::CabrilloLineReader::kMaxLineLength);
        FUZZ_CHECK(noLowerCase(line.tag) && line.colon == (line.text.find(':') != std::string::npos));
        FUZZ_CHECK(line.tag.size() == (line.colon ? line.text.find(':') : 0));
        if (line.tag != "QSO") continue;
        ++qsoLines;
        if (splitQsoLine(line.value, fields, problem) && mapCabrilloQso(fields, nullptr, qso, problem))
            checkContact(qso);
        else
            FUZZ_CHECK(!problem.empty() && problem.find('\n') == std::string::npos);
    }
    FUZZ_CHECK(reader.bytesRead() == size);

    // The whole log as the replay reads it: every QSO: line is a contact or a skipped line.
    std::istringstream again(bytes);
    logs::LoadedLog log;
    std::size_t notes = 0;
    FUZZ_CHECK(logs::readLog(again, "log", nullptr, log, [&](const std::string&) { ++notes; }));
    if (log.format == logs::LogFormat::kCabrillo) {
        FUZZ_CHECK(log.contacts.size() + log.skipped == qsoLines && notes == log.skipped);
        for (std::size_t i = 0; i < log.contacts.size(); ++i)
            FUZZ_CHECK(log.contacts[i].record >= 1 && log.contacts[i].record < expected);
    }
    return 0;
}
