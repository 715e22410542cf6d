#pragma once
// What the logs tell about the stations that sent none: how each station numbers its QSOs, and
// the copies of its numbers and of its call that break what the logs copied of it.

#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/crosscheck/crosscheck.h"

namespace crosscheck {

/// How a station numbers its QSOs.
enum class Numbering : std::uint8_t {
    kOneSequence,     ///< one sequence over all bands (single operators, one transmitter)
    kPerBand,         ///< a sequence per band (multi-operator stations with a transmitter per band)
    kPerTransmitter,  ///< a sequence per transmitter, which moves between bands
};

/// "one sequence", "per band", "per transmitter".
std::string_view numberingName(Numbering numbering);

/// How a submitted log numbers: the model under which its sent numbers break order least, the
/// simpler one on a tie; a transmitter id on its lines or CATEGORY-TRANSMITTER: TWO or UNLIMITED
/// makes the numbering per transmitter or per band when that fits as well.
Numbering numberingOfLog(const StationLog& log);

/// BUSTED EXCHANGE and BUSTED CALL (inferred), UNIQUE and UNIQUE ON THIS BAND, given the matched
/// verdicts in `result` and each QSO's time less its log's clock offset.
void inferVerdicts(const std::vector<StationLog>& logs, const std::vector<std::vector<std::int64_t>>& times,
                   const CheckOptions& options, CheckResult& result);

}  // namespace crosscheck
