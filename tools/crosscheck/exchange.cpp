#include "tools/crosscheck/exchange.h"

#include <algorithm>

#include "core/amateur_bands.h"
#include "core/text.h"

namespace crosscheck {

using contest::ContestDefinition;
using contest::ExchangeField;
using contest::FieldKind;

const ContestDefinition& saTolven() {
    return contest::builtinContest();
}

std::string_view exchangeField(std::string_view exchange, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t k = 0; k < index; ++k) {
        const std::size_t blank = exchange.find(' ', start);
        if (blank == std::string_view::npos) return {};
        start = blank + 1;
    }
    const std::size_t end = exchange.find(' ', start);
    return exchange.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

namespace {

int firstSerial(const std::vector<ExchangeField>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].kind == FieldKind::kSerial) return static_cast<int>(i);
    return -1;
}

// "rst, serial and county"
std::string fieldNames(const std::vector<ExchangeField>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i)
        out += (i == 0 ? "" : i + 1 == fields.size() ? " and " : ", ") + fields[i].name;
    return out;
}

}  // namespace

ExchangeLayout::ExchangeLayout(const ContestDefinition& contest)
    : sent_(contest.exchange.sent), received_(contest.exchange.received) {
    serialSent_ = firstSerial(sent_);
    serialReceived_ = firstSerial(received_);
    for (std::size_t r = 0; r < received_.size(); ++r) {
        if (received_[r].kind == FieldKind::kRst) continue;
        const auto s = std::find_if(sent_.begin(), sent_.end(),
                                    [&](const ExchangeField& f) { return f.name == received_[r].name; });
        if (s == sent_.end()) continue;
        const bool numbering = static_cast<int>(r) == serialReceived_ && s - sent_.begin() == serialSent_;
        compared_.push_back({r, static_cast<std::size_t>(s - sent_.begin()),
                             contest::isNumber(received_[r].kind), numbering});
    }
}

bool ExchangeLayout::agrees(const Compared& c, const Qso& own, const Qso& other) const {
    if (c.numbering) return sameNumber(own.received, other.sent);
    const std::string_view copied = exchangeField(own.receivedExchange, c.received);
    const std::string_view sent = exchangeField(other.sentExchange, c.sent);
    return c.serial ? sameNumber(copied, sent) : stats::equalsIgnoringCase(copied, sent);
}

bool ExchangeLayout::receivedAgrees(const Qso& own, const Qso& other) const {
    return std::all_of(compared_.begin(), compared_.end(),
                       [&](const Compared& c) { return agrees(c, own, other); });
}

std::optional<FieldMismatch> ExchangeLayout::mismatch(const Qso& own, const Qso& other) const {
    for (const Compared& c : compared_) {
        if (agrees(c, own, other)) continue;
        if (c.numbering) return FieldMismatch{received_[c.received].name, own.received, other.sent};
        return FieldMismatch{received_[c.received].name,
                             std::string(exchangeField(own.receivedExchange, c.received)),
                             std::string(exchangeField(other.sentExchange, c.sent))};
    }
    return std::nullopt;
}

bool ExchangeLayout::fieldAgrees(std::string_view name, const Qso& own, const Qso& other) const {
    return std::all_of(compared_.begin(), compared_.end(), [&](const Compared& c) {
        return received_[c.received].name != name || agrees(c, own, other);
    });
}

std::string ExchangeLayout::lineFieldsText() const {
    return "sent " + fieldNames(sent_) + ", call, received " + fieldNames(received_);
}

BandPlan::BandPlan(const ContestDefinition& contest)
    : contest_(contest),
      slots_(std::max<std::size_t>(1, contest.bands.size() * contest.modes.size())),
      bits_(1) {
    while ((std::size_t{1} << bits_) < slots_) ++bits_;
    for (const contest::Band& b : contest.bands) bands_.emplace_back(b.name);
    for (const contest::Mode& m : contest.modes) modes_.emplace_back(m.name);
}

std::uint64_t BandPlan::slot(const ShortText& band, const ShortText& mode) const {
    // The first band and mode of the name, as ContestDefinition::band and mode find them.
    const auto b = std::find(bands_.begin(), bands_.end(), band);
    const auto m = std::find(modes_.begin(), modes_.end(), mode);
    if (b == bands_.end() || m == modes_.end()) return 0;
    return static_cast<std::uint64_t>(b - bands_.begin()) * modes_.size() + static_cast<std::uint64_t>(m - modes_.begin());
}

bool placesBand(const Qso& q, const ContestDefinition& contest) {
    if (q.frequencyKHz == 0 || q.frequencyKHz % 1000 == 0) return false;
    const contest::Band* b = contest.band(q.band);
    return !b || stats::designatorKHz(b->cabrilloBand) != q.frequencyKHz;
}

bool BandPlan::placesMode(const Qso& q) const {
    if (!placesBand(q, contest_)) return false;
    const contest::Band* band = contest_.band(q.band);
    if (!band || !band->range.holds(q.frequencyKHz)) return false;
    const contest::Band* at = contest_.bandAt(q.frequencyKHz);
    const contest::Mode* mode = contest_.mode(q.mode);
    if (!at || !mode) return true;
    const bool confined = std::any_of(at->subBands.begin(), at->subBands.end(),
                                      [&](const contest::SubBand& s) { return s.mode == mode->name; });
    if (confined) return at->allows(q.frequencyKHz, mode->name);
    return at->phoneFromKHz == 0 || (q.frequencyKHz < at->phoneFromKHz) == mode->cw;
}

bool BandPlan::outsideSubBands(const Qso& q) const {
    const contest::Band* band = contest_.band(q.band);
    return band && placesBand(q, contest_) && band->range.holds(q.frequencyKHz) &&
           !band->allows(q.frequencyKHz, q.mode);
}

std::optional<Verdict> rejection(const Qso& q, const ContestDefinition& contest) {
    if (!contest.band(q.band)) return Verdict::kOutOfBand;
    if (!contest.mode(q.mode)) return Verdict::kOutOfMode;
    const bool numbered = std::any_of(contest.exchange.received.begin(), contest.exchange.received.end(),
                                      [](const ExchangeField& f) { return f.kind == FieldKind::kSerial; });
    if (numbered && (q.received.empty() || q.sent.empty())) return Verdict::kNoNumber;
    return std::nullopt;
}

}  // namespace crosscheck
