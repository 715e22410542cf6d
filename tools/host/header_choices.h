#pragma once
// The replay's answers to the plug-in's Cabrillo header dialog: one option per field the operator
// can edit, named after the field's Cabrillo tag, and the categories a log implies when none is given.

#include <optional>
#include <string>
#include <string_view>

#include "cabrillo/cabrillo_header.h"
#include "cabrillo/header_answers.h"

namespace logs {
struct LoadedLog;
}  // namespace logs

namespace host {

using stats::HeaderAnswers;

/// The option of a header field: "--" and the tag in lower case ("--category-mode", "--email").
std::string headerOptionName(std::string_view tag);

/// The header field an option answers ("--category-mode"), or null.
const stats::HeaderAnswerField* headerFieldOfOption(std::string_view option);

/// The dialog control of a tag's field (its id and, for a combo box, its list), or null.
const stats::HeaderControl* headerControlOf(std::string_view tag);

/// What an operator would answer for `log`: the CATEGORY-* values of a Cabrillo input's header;
/// CATEGORY-MODE (CW, SSB or MIXED) and CATEGORY-BAND (40M, 20M or ALL) from the contacts where the
/// header names none; then every `given` answer, which wins.
HeaderAnswers headerAnswersFor(const logs::LoadedLog& log, const HeaderAnswers& given);

/// For a combo box's value outside its list (compared byte for byte): a warning naming the list,
/// that begins with `source` (the option, or where else the value came from).
std::optional<std::string> offListWarning(std::string_view source, std::string_view tag, std::string_view value);

}  // namespace host
