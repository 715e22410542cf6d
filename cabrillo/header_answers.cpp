#include "cabrillo/header_answers.h"

#include <algorithm>
#include <cctype>

namespace stats {

const std::vector<HeaderAnswerField>& headerAnswerFields() {
    static const std::vector<HeaderAnswerField> fields = {
        {"CALLSIGN", &CabrilloLog::callsign},
        {"CATEGORY-OPERATOR", &CabrilloLog::categoryOperator},
        {"CATEGORY-ASSISTED", &CabrilloLog::categoryAssisted},
        {"CATEGORY-MODE", &CabrilloLog::categoryMode},
        {"CATEGORY-BAND", &CabrilloLog::categoryBand},
        {"CATEGORY-POWER", &CabrilloLog::categoryPower},
        {"CATEGORY-TRANSMITTER", &CabrilloLog::categoryTransmitter},
        {"CATEGORY-OVERLAY", &CabrilloLog::categoryOverlay},
        {"CERTIFICATE", &CabrilloLog::certificate},
        {"CLUB", &CabrilloLog::club},
        {"LOCATION", &CabrilloLog::location},
        {"EMAIL", &CabrilloLog::email},
        {"NAME", &CabrilloLog::name},
        {"ADDRESS", &CabrilloLog::address},
        {"ADDRESS-CITY", &CabrilloLog::addressCity},
        {"ADDRESS-STATE-PROVINCE", &CabrilloLog::addressProvince},
        {"ADDRESS-POSTALCODE", &CabrilloLog::addressPostalCode},
        {"ADDRESS-COUNTRY", &CabrilloLog::addressCountry},
        {"OPERATORS", &CabrilloLog::operators},
        {"SOAPBOX", &CabrilloLog::soapbox},
    };
    return fields;
}

const HeaderAnswerField* headerAnswerField(std::string_view tag) {
    const auto& fields = headerAnswerFields();
    const auto it = std::find_if(fields.begin(), fields.end(), [tag](const HeaderAnswerField& f) {
        const std::string_view name(f.tag);
        return name.size() == tag.size() &&
               std::equal(name.begin(), name.end(), tag.begin(), [](char a, char b) {
                   return a == std::toupper(static_cast<unsigned char>(b));
               });
    });
    return it == fields.end() ? nullptr : &*it;
}

std::string formatHeaderAnswers(const HeaderAnswers& answers) {
    std::string out;
    for (const auto& [tag, value] : answers) {
        std::string_view rest = value;
        // Each soapbox line on a line of its own; an empty value still gives one line.
        for (;;) {
            const std::size_t end = rest.find("\r\n");
            out.append(tag).append("=").append(rest.substr(0, end)).append("\n");
            if (end == std::string_view::npos) break;
            rest.remove_prefix(end + 2);
        }
    }
    return out;
}

bool applyHeaderAnswers(std::string_view text, CabrilloLog& fields, std::string& problem) {
    CabrilloLog edited = fields;
    const HeaderAnswerField* previous = nullptr;
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t eq = line.find('=');
        const HeaderAnswerField* field = eq == std::string_view::npos ? nullptr : headerAnswerField(line.substr(0, eq));
        if (!field) {
            problem = "line " + std::to_string(number) + " is no TAG=value of a header field";
            return false;
        }
        std::string& value = edited.*field->field;
        const std::string_view given = line.substr(eq + 1);
        if (field == previous && field->field == &CabrilloLog::soapbox)
            value.append("\r\n").append(given);
        else
            value.assign(given);
        previous = field;
    }
    fields = std::move(edited);
    return true;
}

}  // namespace stats
