#include "platform/portable/ini_settings.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <vector>

namespace stats {
namespace ini {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kLineEnd = "\r\n";

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// One line of the file: its text without the line end, and where the next one begins.
struct Line {
    std::size_t begin;
    std::size_t end;   // end of the text, before any CR LF or LF
    std::size_t next;  // after the line end
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        const std::size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        if (end > pos && text[end - 1] == '\r') --end;
        lines.push_back(Line{pos, end, next});
        pos = next;
    }
    return lines;
}

enum class Kind { kOther, kSection, kEntry };

struct Parsed {
    Kind kind = Kind::kOther;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // entry value, trimmed
};

Parsed parse(std::string_view line) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';') return {};
    if (t.front() == '[') {
        const auto close = t.rfind(']');
        if (close != std::string_view::npos) return {Kind::kSection, trim(t.substr(1, close - 1)), {}};
    }
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return {};
    return {Kind::kEntry, trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

// Where a section's lines are: its header line and the line after its last entry.
struct SectionSpan {
    std::size_t header;
    std::size_t afterLastEntry;
};

std::optional<SectionSpan> findSection(const std::vector<Line>& lines, std::string_view text,
                                       std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Parsed p = parse(text.substr(lines[i].begin, lines[i].end - lines[i].begin));
        if (p.kind != Kind::kSection || !equalsIgnoreCase(p.name, section)) continue;
        SectionSpan span{i, i + 1};
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            const Parsed q = parse(text.substr(lines[j].begin, lines[j].end - lines[j].begin));
            if (q.kind == Kind::kSection) break;
            if (q.kind == Kind::kEntry) span.afterLastEntry = j + 1;
        }
        return span;
    }
    return std::nullopt;
}

std::optional<std::size_t> findEntry(const std::vector<Line>& lines, std::string_view text,
                                     const SectionSpan& span, std::string_view key) {
    for (std::size_t j = span.header + 1; j < span.afterLastEntry; ++j) {
        const Parsed q = parse(text.substr(lines[j].begin, lines[j].end - lines[j].begin));
        if (q.kind == Kind::kEntry && equalsIgnoreCase(q.name, key)) return j;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> findValue(std::string_view text, std::string_view section, std::string_view key) {
    const std::vector<Line> lines = splitLines(text);
    const auto span = findSection(lines, text, section);
    if (!span) return std::nullopt;
    const auto entry = findEntry(lines, text, *span, trim(key));
    if (!entry) return std::nullopt;
    std::string_view value =
        parse(text.substr(lines[*entry].begin, lines[*entry].end - lines[*entry].begin)).value;
    // The profile functions drop one pair of quotes around a value.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string setValue(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value) {
    const std::vector<Line> lines = splitLines(text);
    key = trim(key);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    const auto span = findSection(lines, text, section);
    if (!span) {
        out.append(text);
        if (!text.empty() && text.back() != '\n') out += kLineEnd;
        out.append("[").append(trim(section)).append("]").append(kLineEnd);
        out.append(key).append("=").append(value).append(kLineEnd);
        return out;
    }

    if (const auto entry = findEntry(lines, text, *span, key)) {
        // Replaced in place under the key's own spelling; the line keeps its position.
        const Line& line = lines[*entry];
        const std::string_view name = parse(text.substr(line.begin, line.end - line.begin)).name;
        out.append(text.substr(0, line.begin));
        out.append(name).append("=").append(value);
        out.append(line.next > line.end ? text.substr(line.end, line.next - line.end) : kLineEnd);
        out.append(text.substr(line.next));
        return out;
    }

    // A new key goes right after the section's last entry (blank lines and comments after it stay after it).
    const std::size_t at = span->afterLastEntry - 1;
    const Line& last = lines[at];
    out.append(text.substr(0, last.next));
    // The file ended without a line feed (perhaps after a lone CR, which ends no line): end it first,
    // or the new key would join the last line.
    if (last.next == 0 || text[last.next - 1] != '\n') out += kLineEnd;
    out.append(key).append("=").append(value).append(kLineEnd);
    out.append(text.substr(last.next));
    return out;
}

}  // namespace ini

namespace {

std::filesystem::path resolve(const std::filesystem::path& baseDir) {
    // The relative path uses the Windows separator; each part becomes a path element here.
    std::filesystem::path path = baseDir;
    std::string_view rest = kSettingsPath;
    while (!rest.empty()) {
        const auto sep = rest.find('\\');
        path /= std::string(rest.substr(0, sep));
        rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 1);
    }
    return path;
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return std::move(text).str();
}

}  // namespace

IniFileSettings::IniFileSettings(std::filesystem::path baseDir) : path_(resolve(baseDir)) {}

std::string IniFileSettings::read(std::string_view key, std::string_view fallback) const {
    std::optional<std::string> text;
    {
        std::lock_guard lock(mutex_);
        text = readFile(path_);
    }
    if (text)
        if (auto value = ini::findValue(*text, kSettingsSection, key)) return std::move(*value);
    // The profile functions drop trailing blanks from the default.
    const auto last = fallback.find_last_not_of(' ');
    return std::string(last == std::string_view::npos ? std::string_view() : fallback.substr(0, last + 1));
}

bool IniFileSettings::write(std::string_view key, std::string_view value) {
    static std::atomic<unsigned> tempCounter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::lock_guard lock(mutex_);
    std::error_code ec;
    // Like the profile functions, a missing folder is an error, never created.
    if (!std::filesystem::is_directory(path_.parent_path().empty() ? "." : path_.parent_path(), ec))
        return false;

    const std::string old = readFile(path_).value_or(std::string());
    const std::string updated = ini::setValue(old, kSettingsSection, key, value);
    if (updated == old && std::filesystem::exists(path_, ec)) return true;

    // Written beside the file and renamed over it: a crash leaves the old file or the new one, never half of
    // one.
    std::filesystem::path temp = path_;
    temp += ".tmp" + std::to_string(stamp) + "-" + std::to_string(tempCounter.fetch_add(1));
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        if (!file) return false;
        file.write(updated.data(), static_cast<std::streamsize>(updated.size()));
        file.close();
        if (file.fail()) {
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, path_, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace stats
