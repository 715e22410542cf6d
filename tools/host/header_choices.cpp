#include "tools/host/header_choices.h"

#include <algorithm>
#include <cctype>

#include "tools/logs/log_input.h"

namespace host {
using namespace replay;
namespace {

void setAnswer(HeaderAnswers& answers, std::string_view tag, std::string value) {
    const auto it = std::find_if(answers.begin(), answers.end(), [tag](const auto& a) { return a.first == tag; });
    if (it != answers.end())
        it->second = std::move(value);
    else
        answers.emplace_back(tag, std::move(value));
}

// A category named by the contacts: one value when they all share it, `both` when they have both.
std::optional<std::string> category(const ReplayLog& log, ReplayLog::Text text, const char* first,
                                    const char* second, const char* firstValue, const char* secondValue,
                                    const char* both) {
    bool hasFirst = false;
    bool hasSecond = false;
    for (std::size_t i = 0; i < log.size() && !(hasFirst && hasSecond); ++i) {
        const std::string_view value = log.texts(i)[text];
        hasFirst = hasFirst || value == first;
        hasSecond = hasSecond || value == second;
    }
    if (hasFirst && hasSecond) return both;
    if (hasFirst) return firstValue;
    if (hasSecond) return secondValue;
    return std::nullopt;
}

}  // namespace

std::string headerOptionName(std::string_view tag) {
    std::string option = "--";
    for (char c : tag) option += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return option;
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
    if (!named("CATEGORY-MODE"))
        if (auto mode = category(log.contacts, ReplayLog::kMode, "CW", "SSB", "CW", "SSB", "MIXED"))
            setAnswer(answers, "CATEGORY-MODE", std::move(*mode));
    if (!named("CATEGORY-BAND"))
        if (auto band = category(log.contacts, ReplayLog::kBand, "40m", "20m", "40M", "20M", "ALL"))
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
