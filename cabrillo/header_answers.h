#pragma once
// Answers to the Cabrillo header dialog given as text, for a dialog that nobody sees: one
// "TAG=value" line per field, TAG the Cabrillo tag the field is written under.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cabrillo/cabrillo_log.h"

namespace stats {

/// A dialog field an operator can edit, named by its Cabrillo tag.
struct HeaderAnswerField {
    const char* tag;
    std::string CabrilloLog::*field;
};

/// The editable fields of the header dialog, in the order of the file's lines. Not listed: CONTEST
/// (the file's line is fixed), CLAIMED (shown only) and the disabled CATEGORY-STATION.
const std::vector<HeaderAnswerField>& headerAnswerFields();

/// The field a tag names (case-insensitive), or null.
const HeaderAnswerField* headerAnswerField(std::string_view tag);

/// Tags with their values, in the order given. A SOAPBOX value holds its lines joined by "\r\n",
/// as the dialog's multi-line box gives them.
using HeaderAnswers = std::vector<std::pair<std::string, std::string>>;

/// The answers as text: "TAG=value\n" per answer, one SOAPBOX line per soapbox line.
std::string formatHeaderAnswers(const HeaderAnswers& answers);

/// Puts the answers of `text` into `fields`. Lines end in LF or CR LF; consecutive SOAPBOX lines
/// make one multi-line value. False with a one-line `problem` for a line that is no "TAG=value"
/// of a field above; the fields are then left as they were.
bool applyHeaderAnswers(std::string_view text, CabrilloLog& fields, std::string& problem);

}  // namespace stats
