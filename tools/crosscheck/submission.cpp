#include "tools/crosscheck/submission.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>

#include "core/text.h"
#include "tools/crosscheck/contest_log.h"
#include "tools/crosscheck/evidence.h"
#include "tools/crosscheck/exchange.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/cty.h"
#include "tools/logs/utf8_path.h"

namespace fs = std::filesystem;

namespace crosscheck {

namespace {

// The largest contest logs are a few megabytes; a file this size is no log, and reading it would
// take the memory every other log needs.
constexpr std::uintmax_t kMaxLogBytes = std::uintmax_t{256} << 20;

std::string headerValue(const logs::LoadedLog& log, std::string_view tag) {
    for (const auto& [t, v] : log.header)
        if (t == tag) return v;
    return {};
}

contest::RunPeriod periodOf(const SubmissionRules& rules) {
    return {rules.contest, rules.start, rules.end};
}

// The times of a log's QSOs, however it was read.
std::vector<std::chrono::sys_seconds> qsoTimes(const Submission& s) {
    std::vector<std::chrono::sys_seconds> out;
    for (std::size_t i = 0; i < s.loaded.contacts.size(); ++i) out.push_back(s.loaded.contacts[i].when);
    for (const Qso& q : s.qsos) out.push_back(std::chrono::sys_seconds{std::chrono::seconds{q.time}});
    return out;
}

std::string shownName(const fs::path& file, const fs::path& base) {
    std::string shown = file.lexically_relative(base).generic_string();
    return shown.empty() || shown.starts_with("..") ? file.generic_string() : shown;
}

// QSO `i` of a reader's contacts as the matching takes it.
Qso qsoOf(const logs::ReplayLog& contacts, std::size_t i) {
    const auto t = contacts.texts(i);
    return {contacts[i].record,           contacts[i].when.time_since_epoch().count(),
            t[logs::ReplayLog::kBand],    t[logs::ReplayLog::kMode],
            upperCase(t[logs::ReplayLog::kCall]), t[logs::ReplayLog::kNumberSent],
            t[logs::ReplayLog::kNumberReceived], contacts[i].frequencyHz / 1000,
            t[logs::ReplayLog::kTransmitter],
            std::string(t[logs::ReplayLog::kRstSent]) + " " + t[logs::ReplayLog::kNumberSent],
            std::string(t[logs::ReplayLog::kRstReceived]) + " " + t[logs::ReplayLog::kNumberReceived]};
}

// True when ADIF's fields carry the exchange: an RST and a serial number each way, or less (a
// relayed number has no field of its own).
bool adifCarries(const std::vector<contest::ExchangeField>& fields) {
    return fields.size() <= 2 &&
           std::all_of(fields.begin(), fields.end(), [&](const contest::ExchangeField& f) {
               return (f.kind == contest::FieldKind::kRst || f.kind == contest::FieldKind::kSerial) &&
                      std::count_if(fields.begin(), fields.end(),
                                    [&](const auto& g) { return g.kind == f.kind; }) == 1;
           });
}

// A log read by a contest's definition: a Cabrillo log by its layout; an ADIF log as the host reads
// it, its contacts taken as the QSOs when ADIF's number fields carry the exchange, else its records
// read again with the exchange from the string fields.
bool readByDefinition(Submission& s, std::istream& in, const logs::CountryFile* countries,
                      const contest::ContestDefinition& contest) {
    const auto note = [&](const std::string& n) { s.notes.push_back(n); };
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    in.clear();
    in.seekg(0);
    if (logs::looksLikeCabrillo(head)) return readContestLog(in, s.source.shown, contest, s.loaded, s.qsos, note);
    const bool ok = logs::readLog(in, s.source.shown, countries, s.loaded, note);
    if (adifCarries(contest.exchange.sent) && adifCarries(contest.exchange.received)) {
        for (std::size_t i = 0; i < s.loaded.contacts.size(); ++i) s.qsos.push_back(qsoOf(s.loaded.contacts, i));
        s.loaded.contacts = {};
        return ok;
    }
    // An exchange with more than a number: the records again, each field from its ADIF field.
    s.loaded.contacts = {};
    in.clear();
    in.seekg(0);
    return readContestAdif(in, s.source.shown, contest, s.qsos, s.loaded.skipped, note) && ok;
}

// Why a log that could be read is not used, or "" (a Cabrillo log of another contest may come
// with a warning instead). SA-TOLVEN's logs must name it; a log read by a definition that names
// another contest is used when its QSO lines fit the contest.
std::string contestProblem(Submission& s, const SubmissionRules& rules) {
    const bool cabrillo = s.loaded.format == logs::LogFormat::kCabrillo;
    const std::string contest = upperCase(headerValue(s.loaded, "CONTEST"));
    const contest::ContestDefinition& named = *rules.contest;
    if (!cabrillo || (rules.hostLayout ? contest == named.names.front() : named.matchesName(contest)))
        return {};
    if (std::find(rules.acceptContests.begin(), rules.acceptContests.end(), contest) != rules.acceptContests.end()) {
        s.warnings.push_back("a log of another contest (CONTEST: " + contest + "), used as --accept-contest asks");
        return {};
    }
    if (!rules.hostLayout && fitsContest(s.qsos, named)) {
        s.warnings.push_back("CONTEST: " + contest + " is not " + named.names.front() +
                             ", but its QSO lines fit that contest: used as a log of it");
        return {};
    }
    return "a log of another contest (CONTEST: " + contest + ")" +
           (rules.hostLayout ? std::string() : ", its QSO lines not those of " + named.names.front()) +
           ": --accept-contest " + (contest.empty() ? "\"\"" : contest) + " uses it";
}

// A log with QSO lines none of which could be read: the first reason the reader gave.
std::string unreadProblem(const Submission& s) {
    if (s.loaded.skipped == 0 || !s.loaded.contacts.empty() || !s.qsos.empty()) return {};
    std::string first = s.notes.empty() ? std::string() : s.notes.front();
    if (first.starts_with(s.source.shown + ": ")) first.erase(0, s.source.shown.size() + 2);
    return "no QSO line could be read (" + std::to_string(s.loaded.skipped) + " tried; the first: " + first + ")";
}

// Why a log that was read is not used, or "".
std::string judged(Submission& s, bool readToTheEnd, const SubmissionRules& rules) {
    const bool cabrillo = s.loaded.format == logs::LogFormat::kCabrillo;
    if (!readToTheEnd) return "cannot be read to the end";
    if (!s.loaded.recognised) return "not a Cabrillo log (no START-OF-LOG: line) nor an ADIF log";
    // By a definition the layout decides first; SA-TOLVEN's logs have their CONTEST: judged first.
    const std::string unread = unreadProblem(s);
    if (!rules.hostLayout && !unread.empty()) return unread;
    if (std::string problem = contestProblem(s, rules); !problem.empty()) return problem;
    if (!unread.empty()) return unread;
    const std::vector<std::chrono::sys_seconds> times = qsoTimes(s);
    const contest::RunPeriod period = periodOf(rules);
    if (period.checked() && !times.empty() &&
        std::none_of(times.begin(), times.end(), [&](auto t) { return period.holds(t); }))
        return "no QSO in the contest period (" + period.text() + ")";
    if (s.call.empty())
        return cabrillo ? "no CALLSIGN" : "no STATION_CALLSIGN or OPERATOR (--call-from-name takes the file name)";
    return {};
}

}  // namespace

std::string upperCase(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::vector<LogFile> logFiles(const std::vector<std::string>& inputs, const fs::path& base,
                              const fs::path& standardInput, std::vector<UnusableLog>& unusable) {
    std::vector<LogFile> files;
    for (const std::string& input : inputs) {
        if (input == "-") {
            files.push_back({standardInput, "-"});
            continue;
        }
        const fs::path path = logs::utf8PathFrom(base, input);
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> inFolder;
            for (const auto& entry : fs::directory_iterator(path, ec))
                if (entry.is_regular_file(ec)) inFolder.push_back(entry.path());
            std::sort(inFolder.begin(), inFolder.end());
            for (const fs::path& file : inFolder) files.push_back({file, shownName(file, base)});
        } else if (fs::exists(path, ec)) {
            files.push_back({path, shownName(path, base)});
        } else {
            unusable.push_back({input, "no such file or folder"});
        }
    }
    return files;
}

void readSubmission(Submission& s, const logs::CountryFile* countries, const SubmissionRules& rules) {
    const fs::path& path = s.source.path;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        s.problem = "it is a folder";
        return;
    }
    if (const auto size = fs::file_size(path, ec); !ec && size > kMaxLogBytes) {
        s.problem = "the file has " + std::to_string(size >> 20) + " MiB; a log of more than " +
                    std::to_string(kMaxLogBytes >> 20) + " MiB is not read";
        return;
    }
    std::ifstream file(path, std::ios::binary);
    logs::LogText text(file);
    std::istream& in = text.stream();
    if (text.utf16()) s.warnings.push_back("UTF-16 text: read as such; most committees' tools want ASCII");
    if (!in) {
        s.problem = "cannot be read";
        return;
    }
    const bool ok = rules.hostLayout ? logs::readLog(in, s.source.shown, countries, s.loaded,
                                                     [&](const std::string& n) { s.notes.push_back(n); })
                                     : readByDefinition(s, in, countries, *rules.contest);
    // ADIF names the station in its records, Cabrillo in CALLSIGN:; the file name when asked.
    const bool cabrillo = s.loaded.format == logs::LogFormat::kCabrillo;
    s.call = upperCase(cabrillo ? headerValue(s.loaded, "CALLSIGN") : s.loaded.ownCall);
    if (s.call.empty() && rules.callFromName && s.source.shown != "-") s.call = upperCase(path.stem().string());
    s.problem = judged(s, ok, rules);
    for (std::size_t i = 0; i < kCategoryTags.size(); ++i)
        s.categories[i] = headerCategory(s.loaded, kCategoryTags[i]);
}

std::string headerCategory(const logs::LoadedLog& log, std::string_view tag) {
    std::string value = upperCase(std::string(stats::trimmed(headerValue(log, tag))));
    if (!value.empty() || !tag.starts_with("CATEGORY-")) return value;
    // A Cabrillo 2.0 log gives its categories in one CATEGORY: line: the reader's reading of its words
    // fills the tags the log leaves out.
    for (const auto& [given, word] : logs::version2Categories(headerValue(log, "CATEGORY")))
        if (given == tag) return word;
    return value;
}

namespace {

// The QSOs a submission holds, as the matching takes them (line numbers left out: two copies of a
// log whose headers differ hold the same QSOs on other lines).
std::vector<Qso> contactsOf(const Submission& s) {
    std::vector<Qso> qsos = s.qsos;
    if (qsos.empty())
        for (std::size_t i = 0; i < s.loaded.contacts.size(); ++i) qsos.push_back(qsoOf(s.loaded.contacts, i));
    for (Qso& q : qsos) q.line = 0;
    return qsos;
}

}  // namespace

void setAsideSharedCalls(std::vector<Submission>& submissions) {
    std::map<std::string, std::vector<std::size_t>> byCall;
    for (std::size_t i = 0; i < submissions.size(); ++i)
        if (submissions[i].problem.empty()) byCall[submissions[i].call].push_back(i);
    for (const auto& [call, indexes] : byCall) {
        if (indexes.size() < 2) continue;
        // Copies of one log (sent twice, once with its header mended): the first is used. Logs that
        // differ in their QSOs are the committee's to choose between.
        const std::vector<Qso> first = contactsOf(submissions[indexes[0]]);
        const bool copies = std::all_of(indexes.begin() + 1, indexes.end(),
                                        [&](std::size_t i) { return contactsOf(submissions[i]) == first; });
        std::string names;
        for (std::size_t i : indexes) names += (names.empty() ? "" : ", ") + submissions[i].source.shown;
        for (std::size_t i : indexes)
            if (!copies)
                submissions[i].problem = "CALLSIGN " + call + " is in more than one log (" + names + "): none of them is used";
            else if (i != indexes[0])
                submissions[i].problem = "CALLSIGN " + call + ": the same QSOs as " + submissions[indexes[0]].source.shown +
                                         ", which is used";
    }
}

StationLog stationLog(Submission& s) {
    StationLog log;
    log.call = s.call;
    log.transmitterCategory = s.categories[kCategoryTags.size() - 1];
    if (!s.qsos.empty()) {
        log.qsos = std::move(s.qsos);
        s.qsos = {};
        return log;
    }
    const logs::ReplayLog& contacts = s.loaded.contacts;
    log.qsos.reserve(contacts.size());
    for (std::size_t i = 0; i < contacts.size(); ++i) log.qsos.push_back(qsoOf(contacts, i));
    return log;
}

bool sameContacts(const StationLog& log, const logs::ReplayLog& contacts) {
    if (contacts.size() != log.qsos.size()) return false;
    for (std::size_t i = 0; i < contacts.size(); ++i)
        if (!(qsoOf(contacts, i) == log.qsos[i])) return false;
    return true;
}

}  // namespace crosscheck
