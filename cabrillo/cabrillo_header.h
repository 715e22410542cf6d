#pragma once
// The Cabrillo header step of an export-mode reset: prepare the fields, run the dialog,
// keep the operator's choices.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cabrillo/cabrillo_log.h"
#include "core/ole_date.h"
#include "core/services.h"

namespace stats {

/// `text` with every occurrence of `search` replaced, left to right, without overlap or rescan.
std::string replaceAll(std::string_view text, std::string_view search, std::string_view replacement);

/// The .cbr base name of a callsign: characters a file name may not hold become "_", blanks
/// around it go, an empty result gives "KVOR", and a device name ("CON", "NUL"...) gets a "_".
std::string cabrilloFileBaseName(std::string_view callsign);

/// The soap box as the settings file keeps it: line breaks as "<CR>" and "<LF>".
std::string encodeSoapbox(std::string_view text);
std::string decodeSoapbox(std::string_view stored);

/// One input of the header dialog: its control id, its field, and for a combo box its list.
struct HeaderControl {
    int id;
    std::string CabrilloLog::*field;
    std::vector<const char*> listEntries;  ///< empty for an edit box
    bool sortedList = false;               ///< the combo box shows its list in alphabetical order
};

/// The 23 inputs of the header dialog (template 101), in the order their fields are listed.
const std::vector<HeaderControl>& headerControls();

/// The entry a combo box selects for `text`: the first in display order that begins with it,
/// ignoring case; none for an empty text or no match (the text is then shown as typed).
std::optional<std::size_t> comboSelection(const std::vector<std::string>& displayed, std::string_view text);

/// Prepares `log` for `callsign`, runs the dialog and, on OK, keeps the edited fields and saves
/// them. Returns 1 on OK, 0 otherwise (the caller then switches the export off).
int loadCabrilloHeader(CabrilloLog& log, const std::string& callsign, const OleDateTime& periodStart,
                       const OleDateTime& periodEnd, Settings& settings, HeaderDialog& dialog,
                       WindowThread& windows);

}  // namespace stats
