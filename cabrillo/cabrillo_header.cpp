#include "cabrillo/cabrillo_header.h"

#include <algorithm>
#include <cctype>

#include "cabrillo/header_answers.h"
#include "core/contest_rules.h"

namespace stats {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Characters Windows refuses in a file name, besides the two path separators.
bool isForbiddenInFileName(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || std::string_view(":*?\"<>|").find(c) != std::string_view::npos;
}

bool isDeviceName(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static constexpr std::string_view kDevices[] = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    return std::find(std::begin(kDevices), std::end(kDevices), upper) != std::end(kDevices);
}

// The values the contest record offers for a header tag, as the dialog's combo box lists them.
std::vector<const char*> listOf(std::string_view tag) {
    std::vector<const char*> out;
    for (const std::string_view value : kContest.category(tag)->values)
        out.push_back(value.data());  // the record's values are literals: NUL-terminated
    return out;
}

char foldCase(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

std::string replaceAll(std::string_view text, std::string_view search, std::string_view replacement) {
    if (search.empty() || search == replacement) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(search, from)) != std::string_view::npos;
         from = at + search.size()) {
        out.append(text.substr(from, at - from));
        out.append(replacement);
    }
    out.append(text.substr(from));
    return out;
}

std::string cabrilloFileBaseName(std::string_view callsign) {
    std::string name = replaceAll(replaceAll(callsign, "/", "_"), "\\", "_");
    const auto first = std::find_if_not(name.begin(), name.end(), isBlank);
    const auto last = std::find_if_not(name.rbegin(), name.rend(), isBlank).base();
    name = first < last ? std::string(first, last) : std::string();
    // Trimmed first, so blanks around the call still go rather than turning into "_"; what is
    // left must not name a drive, a stream or a device instead of a file in the current folder.
    std::replace_if(name.begin(), name.end(), isForbiddenInFileName, '_');
    if (name.empty()) return "KVOR";
    if (isDeviceName(name)) name += '_';
    return name;
}

std::string encodeSoapbox(std::string_view text) {
    return replaceAll(replaceAll(text, "\r", "<CR>"), "\n", "<LF>");
}

std::string decodeSoapbox(std::string_view stored) {
    return replaceAll(replaceAll(stored, "<CR>", "\r"), "<LF>", "\n");
}

const std::vector<HeaderControl>& headerControls() {
    static const std::vector<HeaderControl> controls = {
        {1010, &CabrilloLog::callsign, {}},
        {1009, &CabrilloLog::contest, {}},
        {1008, &CabrilloLog::claimed, {}},
        {1013, &CabrilloLog::categoryOperator, listOf("CATEGORY-OPERATOR")},
        {1000, &CabrilloLog::location, {}},
        {1118, &CabrilloLog::categoryBand, listOf("CATEGORY-BAND")},
        {1125, &CabrilloLog::categoryMode, listOf("CATEGORY-MODE")},
        {1123, &CabrilloLog::categoryPower, listOf("CATEGORY-POWER")},
        {1130, &CabrilloLog::categoryAssisted, listOf("CATEGORY-ASSISTED")},
        {1128, &CabrilloLog::categoryStation, {"FIXED", "PORTABLE"}},
        {1122, &CabrilloLog::categoryTransmitter, listOf("CATEGORY-TRANSMITTER"), true},
        {1129, &CabrilloLog::categoryOverlay, listOf("CATEGORY-OVERLAY"), true},
        {1015, &CabrilloLog::certificate, {}},
        {1007, &CabrilloLog::name, {}},
        {1002, &CabrilloLog::address, {}},
        {1003, &CabrilloLog::addressCity, {}},
        {1014, &CabrilloLog::addressProvince, {}},
        {1011, &CabrilloLog::addressPostalCode, {}},
        {1012, &CabrilloLog::addressCountry, {}},
        {1006, &CabrilloLog::operators, {}},
        {1005, &CabrilloLog::club, {}},
        {1001, &CabrilloLog::soapbox, {}},
        {1004, &CabrilloLog::email, {}},
    };
    return controls;
}

std::optional<std::size_t> comboSelection(const std::vector<std::string>& displayed, std::string_view text) {
    if (text.empty()) return std::nullopt;
    for (std::size_t i = 0; i < displayed.size(); ++i) {
        const std::string& entry = displayed[i];
        if (entry.size() >= text.size() &&
            std::equal(text.begin(), text.end(), entry.begin(),
                       [](char a, char b) { return foldCase(a) == foldCase(b); }))
            return i;
    }
    return std::nullopt;
}

int loadCabrilloHeader(CabrilloLog& log, const std::string& callsign, const OleDateTime&, const OleDateTime&,
                       Settings& settings, HeaderDialog& dialog, WindowThread& windows) {
    log.callsign = callsign;
    // The file keeps the reset's callsign even when the operator edits CALLSIGN.
    log.fileBaseName = cabrilloFileBaseName(callsign);

    log.operators = settings.read("Operators", callsign);
    log.name = settings.read("Name");
    log.address = settings.read("Address");
    log.addressCity = settings.read("Address-City");
    log.addressPostalCode = settings.read("Address-PostalCode");
    log.addressCountry = settings.read("Address-Country");
    log.claimed = settings.read("Claimed");

    // Every dialog proposes these, whatever the operator chose last time.
    log.contest = kContest.cabrilloName;
    for (const ContestCategory& c : kContest.categories)
        if (!c.proposed.empty()) log.*headerAnswerField(c.tag)->field = c.proposed;
    log.certificate = "NO";

    log.email = settings.read("Email");
    log.club = settings.read("Club");
    log.soapbox = decodeSoapbox(settings.read("SoapBox"));

    // The dialog edits a copy: nothing reaches the log unless the operator confirms.
    CabrilloLog fields;
    for (const auto& c : headerControls()) fields.*c.field = log.*c.field;

    // The panel must not refresh behind the modal dialog; the next call check re-arms it.
    if (windows.panelExists()) windows.killRefreshTimer();

    if (!dialog.run(fields)) return 0;

    for (const auto& c : headerControls())
        if (c.field != &CabrilloLog::claimed) log.*c.field = std::move(fields.*c.field);
    log.soapbox = encodeSoapbox(log.soapbox);

    settings.write("Band", log.categoryBand);
    settings.write("Power", log.categoryPower);
    settings.write("Operators", log.operators);
    settings.write("Name", log.name);
    settings.write("Address", log.address);
    settings.write("Address-City", log.addressCity);
    settings.write("Address-PostalCode", log.addressPostalCode);
    settings.write("Address-Country", log.addressCountry);
    settings.write("Category", log.categoryOperator);
    settings.write("Contest", log.contest);
    settings.write("Email", log.email);
    settings.write("Club", log.club);
    settings.write("SoapBox", log.soapbox);
    settings.write("Loc", log.location);
    settings.write("Mode", log.categoryMode);
    settings.write("Assisted", log.categoryAssisted);

    // The writer's form: one "SOAPBOX: " tag per line.
    log.soapbox = replaceAll(replaceAll(log.soapbox, "<CR>", "\r\nSOAPBOX: "), "<LF>", "");
    log.qsoLines.clear();
    return 1;
}

}  // namespace stats
