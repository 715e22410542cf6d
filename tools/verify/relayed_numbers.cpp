#include "tools/verify/relayed_numbers.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <numeric>
#include <tuple>

#include "tools/contest/contest_definition.h"
#include "tools/verify/cabrillo_check.h"

namespace verify {

namespace {

// A number without its leading zeros ("007" is 7, "000" is 0); a text that is not a number as it is.
std::string_view numberValue(std::string_view v) {
    if (v.empty() || !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; })) return v;
    const std::size_t first = v.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view("0") : v.substr(first);
}

}  // namespace

RelayedNumbers::RelayedNumbers(const contest::ContestDefinition* contest) {
    if (!contest) return;
    // A QSO line: frequency, mode, date, time, own call (5), the fields sent, the call, the fields received.
    const contest::Exchange& x = contest->exchange;
    const int relayed = contest::Exchange::firstOf(x.sent, contest::FieldKind::kRelayed);
    const int received = contest::Exchange::firstOf(x.received, contest::FieldKind::kSerial);
    const int serial = contest::Exchange::firstOf(x.sent, contest::FieldKind::kSerial);
    if (relayed < 0 || received < 0 || serial < 0) return;
    relayedAt_ = 5 + relayed;
    serialAt_ = 5 + serial;
    receivedAt_ = 6 + static_cast<int>(x.sent.size()) + received;
}

void RelayedNumbers::add(std::uint64_t n, std::string_view date, std::string_view time,
                         const std::vector<std::string_view>& fields) {
    if (relayedAt_ < 0 || fields.size() <= static_cast<std::size_t>(std::max(relayedAt_, receivedAt_)))
        return;
    // A serial that is no number sorts last in its minute.
    const std::string_view serialText = fields[static_cast<std::size_t>(serialAt_)];
    unsigned long serial = ULONG_MAX;
    if (std::from_chars(serialText.data(), serialText.data() + serialText.size(), serial).ptr !=
        serialText.data() + serialText.size())
        serial = ULONG_MAX;
    lines_.push_back({n, std::string(date) + " " + std::string(time), serial,
                      std::string(fields[static_cast<std::size_t>(relayedAt_)]),
                      std::string(fields[static_cast<std::size_t>(receivedAt_)])});
}

// Placed by its date and time where it gives them, else in the minute of the line before it.
void RelayedNumbers::skip(std::uint64_t n, const std::vector<std::string_view>& fields) {
    if (relayedAt_ < 0) return;
    std::string stamp = fields.size() >= 4 ? std::string(fields[2]) + " " + std::string(fields[3])
                        : lines_.empty()   ? std::string()
                                           : lines_.back().stamp;
    lines_.push_back({n, std::move(stamp), ULONG_MAX, {}, {}, false});
}

void RelayedNumbers::addFindings(std::vector<CheckFinding>& findings) const {
    // In time order. The QSOs of one minute may stand in the log in another order than they were
    // made, and their serials too may be out of order (a QSO logged late): the QSO before is the one
    // before in the log's order or in the serials', whichever gave the number relayed. The first
    // QSO relays none.
    const auto inOrder = [&](bool bySerial) {
        std::vector<std::size_t> order(lines_.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        const auto key = [&](std::size_t i) {
            const std::uint64_t within = bySerial ? std::uint64_t{lines_[i].serial} : lines_[i].n;
            return std::tuple<const std::string&, std::uint64_t>(lines_[i].stamp, within);
        };
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
        std::vector<std::size_t> before(lines_.size(), lines_.size());
        for (std::size_t k = 1; k < order.size(); ++k) before[order[k]] = order[k - 1];
        return before;
    };
    const std::vector<std::size_t> byLine = inOrder(false), bySerial = inOrder(true);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (byLine[i] == lines_.size() || !lines_[i].parsed || !lines_[byLine[i]].parsed) continue;
        const Line& line = lines_[i];
        const Line& before = lines_[byLine[i]];
        const bool other = bySerial[i] != lines_.size() &&
                           numberValue(line.relayed) == numberValue(lines_[bySerial[i]].received);
        if (other || numberValue(line.relayed) == numberValue(before.received)) continue;
        findings.push_back(
            {line.n, Severity::kWarning,
             "relayed number " + findingText(line.relayed) + " is not " + findingText(before.received) +
                 ", the number received in the QSO before (line " + std::to_string(before.n) + ")",
             Rule::kRelayed});
    }
}

}  // namespace verify
