#include "tools/logs/cabrillo_reader.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "core/amateur_bands.h"
#include "core/text.h"
#include "tools/logs/callsign.h"
#include "tools/logs/qso_mapping.h"

namespace logs {
namespace {

constexpr std::size_t kLineChunk = 1 << 16;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool blank(char c) noexcept {
    return c == ' ' || c == '\t';
}

// kHz with an optional fraction ("7012", "14025.5") to hertz; digits below the hertz are dropped.
bool parseKilohertz(std::string_view khz, std::uint32_t& hz) {
    const std::size_t point = khz.find('.');
    const std::string_view whole = khz.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : khz.substr(point + 1);
    if (!stats::allDigits(whole) || (point != std::string_view::npos && !stats::allDigits(fraction))) return false;
    std::uint64_t kilo = 0;
    if (whole.size() > 9 ||
        std::from_chars(whole.data(), whole.data() + whole.size(), kilo).ec != std::errc())
        return false;
    std::uint64_t total = kilo * 1000;
    std::uint64_t scale = 100;
    for (std::size_t i = 0; i < fraction.size() && i < 3; ++i, scale /= 10)
        total += static_cast<std::uint64_t>(fraction[i] - '0') * scale;
    if (total > 0xFFFF'FFFFull) return false;
    hz = static_cast<std::uint32_t>(total);
    return true;
}

// A field as the problem text shows it: short and without control bytes.
std::string shown(std::string_view field) {
    std::string text(field.substr(0, 24));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return "'" + text + (field.size() > 24 ? "...'" : "'");
}

}  // namespace

CabrilloLineReader::CabrilloLineReader(std::istream& in) : in_(in), buffer_(kLineChunk) {}

bool CabrilloLineReader::refill() {
    pos_ = 0;
    end_ = 0;
    if (!in_) return false;
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    end_ = static_cast<std::size_t>(in_.gcount());
    return end_ > 0;
}

bool CabrilloLineReader::next(CabrilloLine& line) {
    line.text.clear();
    line.length = 0;
    bool any = false;
    for (;;) {
        if (pos_ == end_ && !refill()) {
            if (!any) return false;
            break;
        }
        any = true;
        const char* start = buffer_.data() + pos_;
        const char* stop = start;
        const char* const last = buffer_.data() + end_;
        while (stop != last && *stop != '\n' && *stop != '\r') ++stop;
        const std::size_t take = static_cast<std::size_t>(stop - start);
        if (line.text.size() < kMaxLineLength)
            line.text.append(start, std::min(take, kMaxLineLength - line.text.size()));
        line.length += take;
        pos_ += take;
        consumed_ += take;
        if (stop == last) continue;
        ++pos_;
        ++consumed_;
        // CR LF is one line end, also when the LF starts the next buffer.
        if (*stop == '\r' && (pos_ != end_ || refill()) && buffer_[pos_] == '\n') {
            ++pos_;
            ++consumed_;
        }
        break;
    }

    line.number = ++number_;
    if (line.number == 1 && std::string_view(line.text).substr(0, 3) == kByteOrderMark) {
        line.text.erase(0, kByteOrderMark.size());
        line.length -= kByteOrderMark.size();
    }
    const std::size_t colon = line.text.find(':');
    line.colon = colon != std::string::npos;
    line.tag.clear();
    line.value.clear();
    if (line.colon) {
        line.tag.resize(colon);
        std::transform(line.text.begin(), line.text.begin() + static_cast<std::ptrdiff_t>(colon),
                       line.tag.begin(), [](char c) { return stats::asciiUpper(c); });
        line.value = stats::trimmed(std::string_view(line.text).substr(colon + 1));
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> readCabrilloHeader(std::istream& in) {
    std::vector<std::pair<std::string, std::string>> header;
    CabrilloLineReader reader(in);
    CabrilloLine line;
    while (reader.next(line) && line.tag != "QSO" && line.tag != "X-QSO" && line.tag != "END-OF-LOG")
        if (line.colon) header.emplace_back(line.tag, line.value);
    return header;
}

std::vector<std::string_view> blankSeparated(std::string_view value) {
    std::vector<std::string_view> fields;
    blankSeparated(value, fields);
    return fields;
}

void blankSeparated(std::string_view value, std::vector<std::string_view>& fields) {
    fields.clear();
    for (std::size_t i = 0; i < value.size();) {
        if (value[i] == ' ' || value[i] == '\t') {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < value.size() && value[j] != ' ' && value[j] != '\t') ++j;
        fields.push_back(value.substr(i, j - i));
        i = j;
    }
}

bool splitQsoLine(std::string_view value, CabrilloQso& qso, std::string& problem) {
    std::array<std::string_view, 11> fields;
    std::size_t count = 0;
    for (std::size_t i = 0; i < value.size();) {
        if (blank(value[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < value.size() && !blank(value[j])) ++j;
        if (count < fields.size()) fields[count] = value.substr(i, j - i);
        ++count;
        i = j;
    }
    if (count != 10 && count != 11) {
        problem =
            std::to_string(count) +
            " fields where a QSO line has 10 (frequency, mode, date, time, own call, sent RST and number, "
            "call, received RST and number) and an optional transmitter id";
        return false;
    }
    std::string* targets[] = {&qso.frequency,   &qso.mode,           &qso.date,       &qso.time,
                              &qso.ownCall,     &qso.rstSent,        &qso.numberSent, &qso.call,
                              &qso.rstReceived, &qso.numberReceived, &qso.transmitter};
    for (std::size_t i = 0; i < fields.size(); ++i)
        targets[i]->assign(i < count ? fields[i] : std::string_view());
    return true;
}

namespace {

// The 2.0 operator words, each with the 3.0 tags it stands for.
struct Version2Word {
    std::string_view word;
    std::string_view tags[2][2];
};
constexpr Version2Word kVersion2Words[] = {
    {"SINGLE-OP", {{"CATEGORY-OPERATOR", "SINGLE-OP"}, {}}},
    {"SINGLE-OPERATOR", {{"CATEGORY-OPERATOR", "SINGLE-OP"}, {}}},
    {"SINGLE-OP-ASSISTED", {{"CATEGORY-OPERATOR", "SINGLE-OP"}, {"CATEGORY-ASSISTED", "ASSISTED"}}},
    {"SINGLE-OP-PORTABLE", {{"CATEGORY-OPERATOR", "SINGLE-OP"}, {"CATEGORY-STATION", "PORTABLE"}}},
    {"MULTI-OP", {{"CATEGORY-OPERATOR", "MULTI-OP"}, {}}},
    {"MULTI-OPERATOR", {{"CATEGORY-OPERATOR", "MULTI-OP"}, {}}},
    {"MULTI-ONE", {{"CATEGORY-OPERATOR", "MULTI-OP"}, {"CATEGORY-TRANSMITTER", "ONE"}}},
    {"MULTI-TWO", {{"CATEGORY-OPERATOR", "MULTI-OP"}, {"CATEGORY-TRANSMITTER", "TWO"}}},
    {"MULTI-MULTI", {{"CATEGORY-OPERATOR", "MULTI-OP"}, {"CATEGORY-TRANSMITTER", "UNLIMITED"}}},
    {"MULTI-LIMITED", {{"CATEGORY-OPERATOR", "MULTI-OP"}, {"CATEGORY-TRANSMITTER", "LIMITED"}}},
    {"MULTI-UNLIMITED", {{"CATEGORY-OPERATOR", "MULTI-OP"}, {"CATEGORY-TRANSMITTER", "UNLIMITED"}}},
    {"CHECKLOG", {{"CATEGORY-OPERATOR", "CHECKLOG"}, {}}},
    {"SCHOOL-CLUB", {{"CATEGORY-STATION", "SCHOOL"}, {}}},
    {"ROVER", {{"CATEGORY-STATION", "ROVER"}, {}}},
    {"SWL", {{"CATEGORY-TRANSMITTER", "SWL"}, {}}},
    {"HIGH", {{"CATEGORY-POWER", "HIGH"}, {}}},
    {"LOW", {{"CATEGORY-POWER", "LOW"}, {}}},
    {"QRP", {{"CATEGORY-POWER", "QRP"}, {}}},
    {"HP", {{"CATEGORY-POWER", "HIGH"}, {}}},
    {"LP", {{"CATEGORY-POWER", "LOW"}, {}}},
    {"CW", {{"CATEGORY-MODE", "CW"}, {}}},
    {"SSB", {{"CATEGORY-MODE", "SSB"}, {}}},
    {"RTTY", {{"CATEGORY-MODE", "RTTY"}, {}}},
    {"DIGI", {{"CATEGORY-MODE", "DIGI"}, {}}},
    {"FM", {{"CATEGORY-MODE", "FM"}, {}}},
    {"MIXED", {{"CATEGORY-MODE", "MIXED"}, {}}},
};

bool bandCategory(std::string_view word) {
    if (word == "ALL" || word == "VHF-3-BAND" || word == "VHF-FM-ONLY") return true;
    return std::any_of(stats::kAmateurBands.begin(), stats::kAmateurBands.end(),
                       [word](const stats::AmateurBand& b) { return !b.category.empty() && b.category == word; });
}

void setOnce(std::vector<std::pair<std::string, std::string>>& out, std::string_view tag, std::string_view value) {
    if (std::none_of(out.begin(), out.end(), [tag](const auto& t) { return t.first == tag; }))
        out.emplace_back(tag, value);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> version2Categories(std::string_view value) {
    std::vector<std::pair<std::string, std::string>> out;
    std::vector<std::string_view> words;
    blankSeparated(value, words);
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string word = stats::asciiUpper(words[i]);
        // Written out by hand: "Single Operator", "single op".
        const std::string next = i + 1 < words.size() ? stats::asciiUpper(words[i + 1]) : std::string();
        if ((word == "SINGLE" || word == "MULTI") && (next == "OP" || next == "OPERATOR")) {
            word += "-OP";
            ++i;
        }
        if (bandCategory(word)) {
            setOnce(out, "CATEGORY-BAND", word);
            continue;
        }
        for (const Version2Word& w : kVersion2Words)
            if (w.word == word)
                for (const auto& [tag, v] : w.tags)
                    if (!tag.empty()) setOnce(out, tag, v);
    }
    return out;
}

void addVersion2Categories(std::vector<std::pair<std::string, std::string>>& header) {
    const auto line = std::find_if(header.begin(), header.end(), [](const auto& t) { return t.first == "CATEGORY"; });
    if (line == header.end()) return;
    // A 3.0 tag with a value is the log's own answer; an empty one gives way to the 2.0 value.
    for (auto& given : version2Categories(line->second)) {
        const std::string& tag = given.first;
        if (std::none_of(header.begin(), header.end(), [&](const auto& t) { return t.first == tag && !t.second.empty(); })) {
            std::erase_if(header, [&](const auto& t) { return t.first == tag; });
            header.push_back(std::move(given));
        }
    }
}

bool looksLikeCabrillo(std::string_view firstBytes) {
    if (firstBytes.substr(0, 3) == kByteOrderMark) firstBytes.remove_prefix(kByteOrderMark.size());
    while (!firstBytes.empty() &&
           (blank(firstBytes.front()) || firstBytes.front() == '\r' || firstBytes.front() == '\n'))
        firstBytes.remove_prefix(1);
    constexpr std::string_view kStart = "START-OF-LOG";
    if (!stats::equalsIgnoringCase(firstBytes.substr(0, kStart.size()), kStart)) return false;
    firstBytes.remove_prefix(kStart.size());
    while (!firstBytes.empty() && blank(firstBytes.front())) firstBytes.remove_prefix(1);
    return !firstBytes.empty() && firstBytes.front() == ':';
}

bool mapCabrilloQso(const CabrilloQso& fields, const CountryFile* countries, ReplayQso& qso,
                    std::string& problem) {
    if (!mapCabrilloFields(fields, qso, problem)) return false;
    fillPrefixAndContinent({}, {}, countries, qso);
    return true;
}

bool mapCabrilloFields(const CabrilloQso& fields, ReplayQso& qso, std::string& problem) {
    // YYYY-MM-DD and HHMM, read by the ADIF reader's date and time rules.
    const std::string_view date = fields.date;
    char compact[8] = {};
    if (date.size() == 10 && date[4] == '-' && date[7] == '-') {
        date.copy(compact, 4);
        date.substr(5).copy(compact + 4, 2);
        date.substr(8).copy(compact + 6, 2);
    }
    if (compact[0] == 0 || fields.time.size() != 4 ||
        !parseQsoTime(std::string_view(compact, sizeof compact), fields.time, qso.when)) {
        problem = "date " + shown(fields.date) + " / time " + shown(fields.time) +
                  " is no valid date (YYYY-MM-DD) and time (HHMM)";
        return false;
    }
    qso.time = stats::oleDateFrom(qso.when);
    qso.transmitter = fields.transmitter;

    qso.band.clear();
    qso.frequencyHz = 0;
    // A band designator (MHz in the VHF style, which some loggers also use on HF; a microwave band
    // gives no frequency). Other bands than the contest's still reach the plug-in, which rejects them.
    for (const stats::AmateurBand& b : stats::kAmateurBands)
        if (!b.designator.empty() && stats::equalsIgnoringCase(fields.frequency, b.designator)) {
            qso.frequencyHz = stats::designatorKHz(b.designator) * 1000;
            qso.band = b.name;
            break;
        }
    if (qso.band.empty()) {
        if (!parseKilohertz(fields.frequency, qso.frequencyHz)) {
            problem =
                "frequency " + shown(fields.frequency) + " is no frequency in kHz nor a band designator";
            return false;
        }
        qso.band = bandOfFrequency(qso.frequencyHz);
        if (qso.band.empty()) {
            problem = "frequency " + shown(fields.frequency) + " kHz lies in no amateur band";
            return false;
        }
    }

    qso.mode.resize(fields.mode.size());
    std::transform(fields.mode.begin(), fields.mode.end(), qso.mode.begin(), [](char c) { return stats::asciiUpper(c); });
    // The host names Cabrillo's phone mode SSB; its other codes are its names.
    if (qso.mode == "PH") qso.mode = "SSB";

    qso.ownCall.resize(fields.ownCall.size());
    std::transform(fields.ownCall.begin(), fields.ownCall.end(), qso.ownCall.begin(), [](char c) { return stats::asciiUpper(c); });
    qso.call.resize(fields.call.size());
    std::transform(fields.call.begin(), fields.call.end(), qso.call.begin(), [](char c) { return stats::asciiUpper(c); });
    if (!namesAStation(qso.call)) {
        problem = "call " + shown(fields.call) + " names no station";
        return false;
    }
    qso.rstSent = fields.rstSent;
    qso.rstReceived = fields.rstReceived;
    qso.numberSent = fields.numberSent;
    qso.numberReceived = fields.numberReceived;
    return true;
}

}  // namespace logs
