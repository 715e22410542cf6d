#include "tools/host/command_line.h"

#include <charconv>

#include "tools/logs/iso_date.h"

namespace host {

void applyConventions(CLI::App& app) {
    app.set_help_flag();
    // CLI11 built for Windows reads "/x" as the option x: a log at "/home/op/a.log" (under Wine)
    // or "/logs/a.log" would then be an unknown option.
    app.allow_windows_style_options(false);
    app.allow_extras();
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

namespace {

// CLI11's words for a parse error, as one line that names the option.
std::string errorText(const CLI::ParseError& e) {
    std::string text = e.what();
    const std::size_t override = text.find(" was given a disallowed flag override");
    if (override != std::string::npos) return "option --" + text.substr(0, override) + " takes no value";
    const std::size_t missing = text.find(": 1 required");
    if (missing != std::string::npos && text.find("missing") != std::string::npos)
        return "option " + text.substr(0, missing) + " needs a value";
    if (text.rfind("--", 0) == 0) text = "option " + text;
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

bool parseCommandLine(CLI::App& app, const std::vector<std::string_view>& args, std::string& error) {
    // CLI11 reads the arguments last first; "--opt=" is split so that it gives an empty value. Only
    // an '=' that is the first one: "--opt=a=" is the value "a=".
    std::vector<std::string> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        if (it->size() > 2 && it->starts_with("--") && it->find('=') == it->size() - 1) {
            reversed.emplace_back();
            reversed.emplace_back(it->substr(0, it->size() - 1));
        } else {
            reversed.emplace_back(*it);
        }
    }
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        error = errorText(e);
        return false;
    }
    for (const std::string& extra : app.remaining()) {
        if (extra == "--") continue;
        error = "unknown option '" + extra.substr(0, extra.find('=')) + "' (see --help)";
        return false;
    }
    return true;
}

CLI::Validator nonEmpty() {
    return CLI::Validator(
        [](std::string& value) {
            return value.empty() ? std::string("needs a non-empty value") : std::string();
        },
        "", "non-empty");
}

CLI::Validator wholeNumber(long long low, long long high, const std::string& what) {
    return CLI::Validator(
        [low, high, what](std::string& value) {
            long long n = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (ec == std::errc() && end == value.data() + value.size() && n >= low && n <= high)
                return std::string();
            return "'" + value + "' is not a number of " + what + " from " + std::to_string(low) + " to " +
                   std::to_string(high);
        },
        "", "whole number");
}

CLI::Option* addDateOption(CLI::App& app, const std::string& name, std::optional<std::chrono::sys_days>& day,
                           const std::string& description) {
    return app
        .add_option_function<std::string>(
            name,
            [&day](const std::string& value) {
                std::chrono::sys_days parsed;
                logs::parseIsoDate(value, parsed);
                day = parsed;
            },
            description)
        ->check(CLI::Validator(
            [](std::string& value) {
                std::chrono::sys_days parsed;
                return logs::parseIsoDate(value, parsed) ? std::string()
                                                           : "'" + value + "' is not a date YYYY-MM-DD";
            },
            "YYYY-MM-DD", "date"));
}

}  // namespace host
