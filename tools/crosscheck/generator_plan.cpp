#include "tools/crosscheck/generator_plan.h"

#include <chrono>
#include <stdexcept>

#include "core/amateur_bands.h"

namespace crosscheck::generator {

Plan::Plan(const contest::ContestDefinition& contest) : contest_(contest) {
    contestBands_ = contest.bands.size();
    modes_ = contest.modes.size();
    for (const contest::Band& b : contest.bands) addBand(b.name, b.cabrilloBand, b.range, b.phoneFromKHz, &b);
    // The bands the stations also work, the first two the contest lacks.
    for (const std::string_view name : {"80m", "15m", "160m", "10m", "60m", "30m", "17m", "12m"}) {
        const stats::AmateurBand& a = stats::amateurBand(name);
        if (bands_ < contestBands_ + 2 && !contest.band(name))
            addBand(a.name, a.designator, {a.lowKHz, a.highKHz}, a.phoneFromKHz, nullptr);
    }
    for (const auto* side : {&contest.exchange.received, &contest.exchange.sent})
        for (const contest::ExchangeField& f : *side) {
            if (f.kind != contest::FieldKind::kText) continue;
            if (side == &contest.exchange.received) ++receivedTexts_;
            if (textIndex(f.name) == textFields_.size()) textFields_.push_back(&f);
        }
    if (bands_ > kMaxBands || bandModes_.size() > 255 || modes_ == 0 || contestBands_ == 0)
        throw std::invalid_argument("the generator plays 1 to 14 bands and at least one mode");
    // Without a period of its own the contest runs on kFirstDay and kLastDay.
    using namespace std::chrono;
    const sys_seconds first =
        contest.periods.empty() ? sys_seconds{kFirstDay} : contest.periods.front().start;
    const sys_seconds last =
        contest.periods.empty() ? sys_seconds{kLastDay + days{1}} : contest.periods.back().end;
    periodStart_ = first.time_since_epoch().count();
    periodEnd_ = last.time_since_epoch().count();
    // A definition's period ends to the minute: its QSOs end half an hour before, so that a
    // repeat minutes later stays in it.
    const std::int64_t margin = contest.periods.empty() ? 0 : 30 * 60;
    minutes_ = std::min<std::int64_t>(24 * 60, (periodEnd_ - periodStart_ - margin) / 60);
    start_ = periodEnd_ - margin - minutes_ * 60;
    played_ = {{start_, minutes_}};
    if (contest.periods.size() > 1) playPeriods();
}

// Several periods: each played but for half an hour at either end, so that a time logged some
// minutes off or a clock's offset stays in it; the last 24 hours of play.
void Plan::playPeriods() {
    played_.clear();
    minutes_ = 0;
    for (auto p = contest_.periods.rbegin(); p != contest_.periods.rend() && minutes_ < 24 * 60; ++p) {
        const std::int64_t end = p->end.time_since_epoch().count() - 30 * 60;
        const std::int64_t length = (end - p->start.time_since_epoch().count()) / 60 - 30;
        if (length < 20) throw std::invalid_argument("the generator plays periods of 80 minutes or more");
        const std::int64_t take = std::min(length, 24 * 60 - minutes_);
        played_.insert(played_.begin(), {end - take * 60, take});
        minutes_ += take;
    }
    start_ = played_.front().start;
}

std::size_t Plan::periodOf(std::int64_t minute) const noexcept {
    std::size_t p = 0;
    for (std::int64_t first = 0; p + 1 < played_.size() && minute >= first + played_[p].minutes; ++p)
        first += played_[p].minutes;
    return p;
}

std::int64_t Plan::firstMinuteOf(std::size_t p) const noexcept {
    std::int64_t first = 0;
    for (std::size_t q = 0; q < p && q < played_.size(); ++q) first += played_[q].minutes;
    return first;
}

std::int64_t Plan::timeOf(std::int64_t minute) const noexcept {
    const std::size_t p = periodOf(minute);
    return played_[p].start + (minute - firstMinuteOf(p)) * 60;
}

int Plan::towardMiddle(std::int64_t minute) const noexcept {
    const std::size_t p = periodOf(minute);
    return (minute - firstMinuteOf(p)) * 2 < played_[p].minutes ? 1 : -1;
}

Numbering Plan::allowed(Numbering wanted) const noexcept {
    // The definition's numbering models, in the same order.
    const auto allows = [this](Numbering n) {
        return contest_.exchange.allows(static_cast<contest::Numbering>(n));
    };
    if (allows(wanted)) return wanted;
    return allows(Numbering::kPerBand) && wanted != Numbering::kOneSequence ? Numbering::kPerBand
                                                                            : Numbering::kOneSequence;
}

void Plan::addBand(std::string_view name, std::string_view designator, contest::KHzRange range,
                   std::uint32_t phoneFromKHz, const contest::Band* band) {
    ++bands_;
    for (const contest::Mode& m : contest_.modes) {
        contest::KHzRange segment = range;
        const auto sub = band ? std::find_if(band->subBands.begin(), band->subBands.end(),
                                             [&](const contest::SubBand& s) { return s.mode == m.name; })
                              : std::vector<contest::SubBand>::const_iterator{};
        if (band && sub != band->subBands.end())
            segment = sub->range;
        else if (phoneFromKHz != 0)
            segment = m.cw ? contest::KHzRange{range.low, phoneFromKHz - 1}
                           : contest::KHzRange{phoneFromKHz, range.high};
        bandModes_.push_back({name, m.name, segment.low, segment.high, stats::designatorKHz(designator)});
    }
}

}  // namespace crosscheck::generator
