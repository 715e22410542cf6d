#include "tools/host/command_line.h"

#include <algorithm>
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
        ->option_text("YYYY-MM-DD")
        ->check(CLI::Validator(
            [](std::string& value) {
                std::chrono::sys_days parsed;
                return logs::parseIsoDate(value, parsed) ? std::string()
                                                           : "'" + value + "' is not a date YYYY-MM-DD";
            },
            "YYYY-MM-DD", "date"));
}

CLI::Option* addContestOption(CLI::App& app, std::string& file) {
    return app
        .add_option(
            "--contest", file,
            "the contest's definition (contests/*.toml): its names, periods, bands, modes, exchange, "
            "scoring and checking, which this tool follows (default: SA-TOLVEN, built in, whose logs the "
            "plug-in scores; its own file is the same contest)")
        ->option_text("FILE")
        ->check(nonEmpty());
}

CLI::Option* addCountryFileOption(CLI::App& app, std::string& file) {
    return app
        .add_option(
            "--cty", file,
            "country file in the CTY.DAT format (cty.dat), for the continents of the calls worked; "
            "without it: the first cty.dat beside this program, in the current folder, in the working "
            "folder (--dir, where the tool has one), then /usr/share/tlf/cty.dat (not on Windows, not "
            "when STATS_CTY_LOCAL is set); the one used is named on stderr; \"--cty none\": no country "
            "file")
        ->option_text("FILE")
        ->check(nonEmpty());
}

CLI::Option* addLibraryOption(CLI::App& app, std::string& file) {
    return app
        .add_option("--lib", file, "the plug-in library (default: Stats.so or Stats.dll beside this program)")
        ->option_text("FILE")
        ->check(nonEmpty());
}

void addPeriodOptions(CLI::App& app, std::optional<std::chrono::sys_days>& start,
                      std::optional<std::chrono::sys_days>& end) {
    addDateOption(
        app, "--start", start,
        "the contest period's first day (UTC): QSOs outside the period are out of period; --start and "
        "--end, when either is given, replace the definition's periods (default: the definition's "
        "periods; SA-TOLVEN has none, so no period check)");
    addDateOption(app, "--end", end, "the contest period's last day (UTC)");
}

CLI::Option* addJobsOption(CLI::App& app, unsigned& jobs, long long most, const std::string& what) {
    return app
        .add_option("--jobs", jobs,
                    "how many logs are worked on at once: threads, or the robot's worker processes (default: "
                    "the machine's cores)")
        ->option_text("N")
        ->check(wholeNumber(1, most, what));
}

namespace {

// --help's lines are at most this wide; an option's names wider than the column start their own line.
constexpr std::size_t kHelpWidth = 100;
constexpr std::size_t kNamesColumnMax = 28;

// `text`'s words in lines at most `width` wide: the first line goes on from column `firstColumn`,
// each other starts after `indent` spaces; a word longer than a line stands alone on its line.
std::string wrapped(std::string_view text, std::size_t indent, std::size_t firstColumn, std::size_t width) {
    std::string out;
    std::size_t column = firstColumn;
    for (std::size_t i = text.find_first_not_of(' '); i != std::string_view::npos; i = text.find_first_not_of(' ', i)) {
        const std::size_t end = std::min(text.find(' ', i), text.size());
        const std::string_view word = text.substr(i, end - i);
        if (!out.empty() && column + 1 + word.size() > width) {
            out += '\n' + std::string(indent, ' ');
            column = indent;
        } else if (!out.empty()) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        i = end;
    }
    return out;
}

// The value an option takes, as its help names it: its option_text(), "VALUE", or none for a flag.
std::string valueName(const CLI::Option& option) {
    if (!option.get_option_text().empty()) return option.get_option_text();
    return option.get_items_expected_max() == 0 ? std::string() : std::string("VALUE");
}

// A positional argument as the usage line names it: "LOG", or "LOG..." when it takes several.
std::string positionalName(const CLI::Option& option) {
    if (!option.get_option_text().empty()) return option.get_option_text();
    return option.get_name(true) + (option.get_expected_max() > 1 ? "..." : "");
}

// The left column of an option's entry: "-h, --help", "--call CALL", or a positional's name.
std::string optionLabel(const CLI::Option& option) {
    if (option.get_positional() && option.get_snames().empty() && option.get_lnames().empty())
        return positionalName(option);
    std::string label;
    for (const std::string& name : option.get_snames()) label += (label.empty() ? "-" : ", -") + name;
    for (const std::string& name : option.get_lnames()) label += (label.empty() ? "--" : ", --") + name;
    const std::string value = valueName(option);
    return value.empty() ? label : label + " " + value;
}

// An option's description with what its declaration adds: whether it is required, its default.
std::string describedOption(const CLI::Option& option) {
    std::string text = option.get_description();
    if (option.get_required()) text += text.empty() ? "(required)" : " (required)";
    if (!option.get_default_str().empty())
        text += (text.empty() ? "(default: " : " (default: ") + option.get_default_str() + ")";
    return text;
}

// Whether an option has an entry in the list: a named option outside the group "", a positional
// with a description.
bool listed(const CLI::Option& option) {
    if (option.get_group().empty()) return false;
    return !option.get_positional() || !option.get_description().empty();
}

// "Usage: NAME --required VALUE [options] POSITIONAL...".
std::string usageLine(const CLI::App& app) {
    std::string line = "Usage: " + app.get_name();
    bool optional = false;
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_positional() || option->get_group().empty()) continue;
        if (!option->get_required()) {
            optional = true;
            continue;
        }
        const std::string name = option->get_lnames().empty() ? "-" + option->get_snames().front()
                                                               : "--" + option->get_lnames().front();
        const std::string value = valueName(*option);
        line += " " + name + (value.empty() ? "" : " " + value);
    }
    if (optional) line += " [options]";
    for (const CLI::Option* option : app.get_options())
        if (option->get_positional()) line += " " + positionalName(*option);
    return line + "\n";
}

// The listed options by group, the groups in the order of their first option.
std::vector<std::pair<std::string, std::vector<const CLI::Option*>>> optionGroups(const CLI::App& app) {
    std::vector<std::pair<std::string, std::vector<const CLI::Option*>>> groups;
    for (const CLI::Option* option : app.get_options()) {
        if (!listed(*option)) continue;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& g) { return g.first == option->get_group(); });
        if (group == groups.end()) group = groups.insert(groups.end(), {option->get_group(), {}});
        group->second.push_back(option);
    }
    return groups;
}

// One option's entry: its label, then its description from the column on (or from the next line
// when the label is wider than the column).
std::string optionEntry(const CLI::Option& option, std::size_t column) {
    std::string entry = "  " + optionLabel(option);
    const std::string description = describedOption(option);
    if (description.empty()) return entry + "\n";
    if (entry.size() + 2 > column)
        entry += "\n" + std::string(column, ' ');
    else
        entry.resize(column, ' ');
    return entry + wrapped(description, column, column, kHelpWidth) + "\n";
}

}  // namespace

std::string helpText(const CLI::App& app, std::string_view notes) {
    std::string text = usageLine(app);
    if (!app.get_description().empty()) text += "\n" + wrapped(app.get_description(), 0, 0, kHelpWidth) + "\n";
    const auto groups = optionGroups(app);
    std::size_t column = 0;
    for (const auto& [name, options] : groups)
        for (const CLI::Option* option : options)
            column = std::max(column, std::min(kNamesColumnMax, 2 + optionLabel(*option).size() + 2));
    for (const auto& [name, options] : groups) {
        text += "\n" + name + ":\n";
        for (const CLI::Option* option : options) text += optionEntry(*option, column);
    }
    if (!notes.empty()) {
        text += "\n";
        text += notes;
        if (!notes.ends_with('\n')) text += "\n";
    }
    return text;
}

}  // namespace host
