#pragma once
// Reading a contest log for a replay: the contacts, oldest first, and what the reader noticed.

#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "tools/logs/replay_log.h"
#include "tools/logs/utf16_text.h"  // LogText: a log's stream for any of its readers

namespace logs {

class CountryFile;

/// The kinds of log file the tools read, recognised by content.
enum class LogFormat { kAdif, kCabrillo };

/// A log as read: each contact's `record` is its ADIF record number or its Cabrillo line number.
struct LoadedLog {
    LogFormat format = LogFormat::kAdif;
    ReplayLog contacts;
    std::size_t skipped = 0;           ///< malformed records or lines, each reported as a note
    std::size_t struckOut = 0;         ///< Cabrillo X-QSO: lines, which are not fed
    bool recognised = true;            ///< false: no START-OF-LOG:, no valid ADIF record and no <EOH>
    std::size_t continentUnknown = 0;  ///< contacts with no continent and no country file to derive it
    std::string ownCall;               ///< the first contact's own call (ADIF) or CALLSIGN (Cabrillo)
    /// The Cabrillo header's tags, upper case, with their values, in file order (empty for ADIF).
    std::vector<std::pair<std::string, std::string>> header;

    /// "record 7" or "line 41": where contact `record` stands in the file.
    std::string place(std::uint64_t record) const;
};

/// Called with one line for the operator (a skipped record, a record without end mark).
using NoteSink = std::function<void(const std::string&)>;
/// Called now and then with the bytes read so far.
using ReadProgress = std::function<void(std::uint64_t bytesRead)>;

/// Reads the whole log from `in` into `out` (contacts sorted oldest first): Cabrillo when it starts
/// with START-OF-LOG:, ADIF otherwise (a pipe will do: nothing is read twice); UTF-16 text with its
/// byte order mark is read as UTF-8. `name` prefixes the notes. False when the stream fails; the notes
/// already given stand.
bool readLog(std::istream& in, const std::string& name, const CountryFile* countries, LoadedLog& out,
             const NoteSink& note, const ReadProgress& progress = {});

}  // namespace logs
