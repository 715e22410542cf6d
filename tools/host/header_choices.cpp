#include "tools/host/header_choices.h"

#include <algorithm>
#include <vector>

#include "core/text.h"
#include "tools/contest/contest_choice.h"
#include "tools/logs/log_input.h"

namespace host {
using namespace logs;
namespace {

void setAnswer(HeaderAnswers& answers, std::string_view tag, std::string value) {
    const auto it = std::find_if(answers.begin(), answers.end(), [tag](const auto& a) { return a.first == tag; });
    if (it != answers.end())
        it->second = std::move(value);
    else
        answers.emplace_back(tag, std::move(value));
}

// A category named by the contacts: the value of the one entry of the contest's bands or modes
// they all share, `several` when they have more than one of them.
template <typename Entries, typename Name, typename Value>
std::optional<std::string> category(const ReplayLog& log, ReplayLog::Text text, const Entries& entries, Name name,
                                    Value value, std::string_view several) {
    std::vector<bool> seen(entries.size());
    for (std::size_t i = 0; i < log.size(); ++i)
        for (std::size_t e = 0; e < entries.size(); ++e)
            if (!seen[e] && name(entries[e]) == log.texts(i)[text]) seen[e] = true;
    const auto found = std::count(seen.begin(), seen.end(), true);
    if (found > 1) return std::string(several);
    if (found == 0) return std::nullopt;
    return std::string(value(entries[static_cast<std::size_t>(std::find(seen.begin(), seen.end(), true) - seen.begin())]));
}

// The value of a category tag the contest allows that names none of `named` ("MIXED" beside the modes,
// "ALL" beside the bands).
std::string otherValue(const contest::ContestDefinition& c, std::string_view tag,
                       const std::vector<std::string>& named) {
    for (const contest::CategoryValues& v : c.categories)
        if (v.tag == tag)
            for (const std::string& value : v.values)
                if (std::find(named.begin(), named.end(), value) == named.end()) return value;
    return {};
}

}  // namespace

std::string headerOptionName(std::string_view tag) {
    return "--" + stats::asciiLower(tag);
}

const stats::HeaderAnswerField* headerFieldOfOption(std::string_view option) {
    if (option.substr(0, 2) != "--") return nullptr;
    for (const auto& field : stats::headerAnswerFields())
        if (headerOptionName(field.tag) == option) return &field;
    return nullptr;
}

const stats::HeaderControl* headerControlOf(std::string_view tag) {
    const stats::HeaderAnswerField* field = stats::headerAnswerField(tag);
    if (!field) return nullptr;
    for (const auto& control : stats::headerControls())
        if (control.field == field->field) return &control;
    return nullptr;
}

HeaderAnswers headerAnswersFor(const LoadedLog& log, const HeaderAnswers& given) {
    HeaderAnswers answers;
    for (const auto& [tag, value] : log.header)
        if (tag.rfind("CATEGORY-", 0) == 0 && !value.empty() && stats::headerAnswerField(tag))
            setAnswer(answers, tag, value);
    const auto named = [&answers](std::string_view tag) {
        return std::any_of(answers.begin(), answers.end(), [tag](const auto& a) { return a.first == tag; });
    };
    // The plug-in's own contest, whose header this is.
    const contest::ContestDefinition& played = contest::builtinContest();
    std::vector<std::string> modes, bandCategories;
    for (const contest::Mode& m : played.modes) modes.push_back(m.name);
    for (const contest::Band& b : played.bands) bandCategories.push_back(b.cabrilloCategory);
    const auto nameOf = [](const auto& entry) -> const std::string& { return entry.name; };
    if (!named("CATEGORY-MODE"))
        if (auto mode = category(log.contacts, ReplayLog::kMode, played.modes, nameOf, nameOf,
                                 otherValue(played, "CATEGORY-MODE", modes)))
            setAnswer(answers, "CATEGORY-MODE", std::move(*mode));
    if (!named("CATEGORY-BAND"))
        if (auto band = category(
                log.contacts, ReplayLog::kBand, played.bands, nameOf,
                [](const contest::Band& b) -> const std::string& { return b.cabrilloCategory; },
                otherValue(played, "CATEGORY-BAND", bandCategories)))
            setAnswer(answers, "CATEGORY-BAND", std::move(*band));
    for (const auto& [tag, value] : given) setAnswer(answers, tag, value);
    return answers;
}

std::optional<std::string> offListWarning(std::string_view source, std::string_view tag, std::string_view value) {
    const stats::HeaderControl* control = headerControlOf(tag);
    if (!control || control->listEntries.empty()) return std::nullopt;
    std::string list;
    for (const char* entry : control->listEntries) {
        if (value == entry) return std::nullopt;
        list += (list.empty() ? "" : ", ") + std::string(entry);
    }
    return std::string(source) + " '" + std::string(value) + "' is not in the dialog's list (" + list +
           "); it goes into the file as given";
}

}  // namespace host
