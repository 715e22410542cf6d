#pragma once
// A Cabrillo log read by a contest's definition: its QSO lines laid out as its exchange says
// (frequency, mode, date, time, own call, the fields sent, call, the fields received, an optional
// transmitter id), the bands and modes named as the definition names them.

#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/exchange.h"
#include "tools/logs/log_input.h"

namespace logs {
class CountryFile;
}

namespace crosscheck {

/// The value of a QSO: line (after the tag) as the QSO it holds in `contest`'s layout; false with a
/// one-line `problem` when it holds none.
bool contestQso(std::string_view value, const contest::ContestDefinition& contest,
                const ExchangeLayout& layout, Qso& qso, std::string& problem);

/// Reads a Cabrillo log of `contest` from `in`: its header (tags upper case) and own call into `out`
/// (format Cabrillo, no contacts), its QSOs in file order into `qsos`. Each line that holds no QSO is
/// counted in `out.skipped` and told to `note` as "NAME: line N skipped: why". False when the stream fails.
bool readContestLog(std::istream& in, const std::string& name, const contest::ContestDefinition& contest,
                    logs::LoadedLog& out, std::vector<Qso>& qsos, const logs::NoteSink& note);

/// Reads an ADIF log of `contest` from `in` into `qsos`, in file order: each record as the replay maps
/// it (call, band, mode, time, frequency), its exchange by the definition: RST_SENT and RST_RCVD for
/// the signal reports, the other fields in their order from STX_STRING and SRX_STRING (one blank
/// apart), or the serial number from STX and SRX and the rest from the strings. A record the replay
/// cannot map is skipped without a note (the replay's reading gave it); one whose strings do not hold
/// the exchange is counted in `skipped` and told to `note`. False when the stream fails.
bool readContestAdif(std::istream& in, const std::string& name, const contest::ContestDefinition& contest,
                     std::vector<Qso>& qsos, std::size_t& skipped, const logs::NoteSink& note);

/// True when most of `qsos` lie on the contest's bands, in its modes and periods: a log that names
/// another contest is of this one all the same.
bool fitsContest(const std::vector<Qso>& qsos, const contest::ContestDefinition& contest);

}  // namespace crosscheck
