#include "tools/logs/cty.h"

#include <algorithm>
#include <iterator>

#include "core/text.h"
#include "tools/logs/callsign.h"

namespace logs {
namespace {

// A country file's fields may run over lines.
std::string_view trim(std::string_view s) { return stats::trimmed(s, " \t\r\n"); }

// The line of `text` that offset `at` is on, from 1.
std::ptrdiff_t lineAt(std::string_view text, std::size_t at) {
    return 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
}

// Reads an entity's header from `pos` on into `fields`: name, CQ zone, ITU zone, continent,
// latitude, longitude, UTC offset and primary prefix, each ended by ':'; `pos` then follows the
// last. False when the prefix list's ';' comes before a field's ':'.
bool readHeaderFields(std::string_view text, std::size_t& pos, std::string_view (&fields)[8]) {
    for (std::string_view& field : fields) {
        const std::size_t colon = text.find(':', pos);
        const std::size_t semicolon = text.find(';', pos);
        if (colon == std::string::npos || semicolon < colon) return false;
        field = trim(text.substr(pos, colon - pos));
        pos = colon + 1;
    }
    return true;
}

}  // namespace

bool CountryFile::load(std::istream& in, std::string& error) {
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = "read error";
        return false;
    }
    std::size_t pos = 0;
    while (!trim(std::string_view(text).substr(pos)).empty()) {
        std::string_view fields[8];
        if (!readHeaderFields(text, pos, fields)) {
            error = "line " + std::to_string(lineAt(text, pos)) + ": entity header without its eight ':' fields";
            return false;
        }
        Entity entity;
        entity.continent = stats::asciiUpper(fields[3]);
        std::string_view primary = fields[7];
        if (!primary.empty() && primary.front() == '*') primary.remove_prefix(1);
        entity.primaryPrefix = stats::asciiUpper(primary);
        if (entity.continent.size() != 2) {
            error = "line " + std::to_string(lineAt(text, pos)) + ": continent '" + std::string(fields[3]) +
                    "' is not two letters";
            return false;
        }

        const std::size_t semicolon = text.find(';', pos);
        if (semicolon == std::string::npos) {
            error = "line " + std::to_string(lineAt(text, pos)) + ": prefix list without its closing ';'";
            return false;
        }
        const std::size_t index = entities_.size();
        entities_.push_back(entity);

        std::string_view list = std::string_view(text).substr(pos, semicolon - pos);
        pos = semicolon + 1;
        while (!list.empty()) {
            const std::size_t comma = list.find(',');
            const std::string_view alias = trim(list.substr(0, comma));
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
            std::string problem;
            if (!addAlias(alias, index, problem)) {
                error = "line " + std::to_string(lineAt(text, pos)) + ": " + problem;
                return false;
            }
        }
    }
    if (entities_.empty()) {
        error = "no entity in the file";
        return false;
    }
    return true;
}

bool CountryFile::addAlias(std::string_view alias, std::size_t entity, std::string& problem) {
    if (alias.empty()) return true;
    const bool exactCall = alias.front() == '=';
    if (exactCall) alias.remove_prefix(1);
    // Overrides follow the name: (CQ zone) [ITU zone] <lat/long> {continent} ~UTC offset~.
    const std::size_t overrides = alias.find_first_of("([<{~");
    Entry entry{entity, entities_[entity].continent};
    const std::size_t brace = alias.find('{', overrides == std::string_view::npos ? alias.size() : overrides);
    if (brace != std::string_view::npos) {
        const std::size_t close = alias.find('}', brace);
        if (close == std::string_view::npos) {
            problem = "'{' without '}' in " + std::string(alias);
            return false;
        }
        entry.continent = stats::asciiUpper(alias.substr(brace + 1, close - brace - 1));
    }
    const std::string name = stats::asciiUpper(trim(alias.substr(0, overrides)));
    if (name.empty()) return true;
    if (exactCall) {
        exact_.insert_or_assign(name, std::move(entry));
    } else {
        longestPrefix_ = std::max(longestPrefix_, name.size());
        prefixes_.insert_or_assign(name, std::move(entry));
    }
    return true;
}

CountryMatch CountryFile::match(const Entry& entry) const {
    return CountryMatch{entry.continent, entities_[entry.entity].primaryPrefix};
}

CountryMatch CountryFile::lookup(std::string_view call) const {
    const CallParts parts = splitCall(call);
    for (const std::string* exact : {&parts.call, &parts.withoutModifiers}) {
        if (const auto it = exact_.find(*exact); it != exact_.end()) return match(it->second);
    }
    const std::string text = countryLookupText(parts);
    for (std::size_t n = std::min(text.size(), longestPrefix_); n > 0; --n) {
        if (const auto it = prefixes_.find(text.substr(0, n)); it != prefixes_.end())
            return match(it->second);
    }
    return {};
}

}  // namespace logs
