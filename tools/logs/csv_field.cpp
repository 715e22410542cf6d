#include "tools/logs/csv_field.h"

namespace logs {

std::string csvField(std::string_view value) {
    // A text from a log ("=CMD|...", "+SUM(1)") must not run as a formula where the file is opened;
    // the quote is what spreadsheets take as "text follows". Which cells are numbers is the
    // column's business, so that a number such as -5 keeps its sign.
    std::string text;
    if (!value.empty() && std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos)
        text = "'";
    text += value;
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace logs
