#include "tools/report/contest_report.h"

#include <algorithm>
#include <cctype>

#include "core/text.h"

namespace report {
namespace {

using namespace std::chrono;

constexpr std::string_view kHintHead = "New mult !!! ";
constexpr std::string_view kHintTail = " New SA Prefix !!!";

// The summary's lines end in CR LF.
std::string_view trimmed(std::string_view s) { return stats::trimmed(s, " \t\r"); }

// The prefix a new-multiplier hint names, else the contact's own.
std::string_view hintPrefix(std::string_view hint, std::string_view fallback) {
    if (hint.size() > kHintHead.size() + kHintTail.size() && hint.substr(0, kHintHead.size()) == kHintHead &&
        hint.substr(hint.size() - kHintTail.size()) == kHintTail)
        return hint.substr(kHintHead.size(), hint.size() - kHintHead.size() - kHintTail.size());
    return fallback;
}

// The reason at the end of an err.txt line, behind the three blanks that separate it.
std::string_view reasonOf(std::string_view lines) {
    const std::string_view line = trimmed(lines.substr(0, lines.find('\n')));
    const std::size_t gap = line.rfind("   ");
    return gap == std::string_view::npos ? line : trimmed(line.substr(gap));
}

// FNV-1a over the texts, each followed by a NUL byte (no text holds one).
std::uint64_t contactKey(std::string_view call, std::string_view band, std::string_view mode) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::string_view text : {call, band, mode}) {
        for (const char ch : text) h = (h ^ static_cast<unsigned char>(ch)) * 1099511628211ull;
        h *= 1099511628211ull;
    }
    return h;
}

std::uint64_t callKey(std::string_view call) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char ch : call) h = (h ^ static_cast<unsigned char>(ch)) * 1099511628211ull;
    return h ? h : 1;
}

std::size_t slotIndex(std::uint64_t key, std::size_t mask) { return static_cast<std::size_t>(key ^ (key >> 29)) & mask; }

std::size_t countLines(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

std::uint32_t HourCounts::total() const {
    std::uint32_t n = 0;
    for (const BandCounts& b : bands) n += b.qsos;
    return n;
}

SummaryTable parseSummary(std::string_view text) {
    SummaryTable t;
    bool titleSeen = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view bare = trimmed(line);
        if (bare.empty()) continue;
        if (!titleSeen) {
            t.title = bare;
            titleSeen = true;
        } else if (bare.substr(0, 11) == "Contestant:") {
            t.contestant = trimmed(bare.substr(11));
        } else if (bare.substr(0, 6) == "Score:") {
            t.scoreLine = bare;
            const std::size_t eq = bare.rfind('=');
            if (eq != std::string_view::npos) t.score = trimmed(bare.substr(eq + 1));
        } else {
            std::vector<std::string>& row = t.rows.emplace_back();
            for (std::size_t from = 0;;) {
                const std::size_t tab = line.find('\t', from);
                row.emplace_back(trimmed(line.substr(from, tab - from)));
                if (tab == std::string_view::npos) break;
                from = tab + 1;
            }
        }
    }
    return t;
}

ContestReport::ContestReport(std::size_t expectedContacts, bool keepCalls) : keepCalls_(keepCalls) {
    activity_.reserve(expectedContacts);
    if (keepCalls) {
        std::size_t slots = 1024;
        while (slots < 2 * expectedContacts) slots *= 2;
        callHashes_.resize(slots);
    }
    std::size_t capacity = 1024;
    while (capacity < 2 * expectedContacts) capacity *= 2;
    firstOfContact_.resize(capacity);
}

ContestReport::Slot& ContestReport::slotOf(std::uint64_t key) {
    key = key ? key : 1;
    if (2 * (firstOfContactUsed_ + 1) > firstOfContact_.size()) {
        std::vector<Slot> old(std::max<std::size_t>(2 * firstOfContact_.size(), 1024));
        old.swap(firstOfContact_);
        firstOfContactUsed_ = 0;
        for (const Slot& s : old)
            if (s.key) {
                slotOf(s.key) = s;
                ++firstOfContactUsed_;
            }
    }
    const std::size_t mask = firstOfContact_.size() - 1;
    for (std::size_t i = static_cast<std::size_t>(key ^ (key >> 29)) & mask;; i = (i + 1) & mask)
        if (firstOfContact_[i].key == key || firstOfContact_[i].key == 0) return firstOfContact_[i];
}

bool ContestReport::insertCallHash(std::uint64_t hash) {
    if (2 * (calls_.size() + 1) > callHashes_.size()) {
        std::vector<std::uint64_t> old(std::max<std::size_t>(2 * callHashes_.size(), 1024));
        old.swap(callHashes_);
        for (const std::uint64_t h : old)
            if (h)
                for (std::size_t i = slotIndex(h, callHashes_.size() - 1);; i = (i + 1) & (callHashes_.size() - 1))
                    if (!callHashes_[i]) {
                        callHashes_[i] = h;
                        break;
                    }
    }
    const std::size_t mask = callHashes_.size() - 1;
    for (std::size_t i = slotIndex(hash, mask);; i = (i + 1) & mask) {
        if (callHashes_[i] == hash) return false;
        if (!callHashes_[i]) {
            callHashes_[i] = hash;
            return true;
        }
    }
}

bool ContestReport::workedCall(std::string_view call) const {
    if (callHashes_.empty()) return false;
    const std::uint64_t hash = callKey(call);
    const std::size_t mask = callHashes_.size() - 1;
    for (std::size_t i = slotIndex(hash, mask);; i = (i + 1) & mask) {
        if (callHashes_[i] == hash) return true;
        if (!callHashes_[i]) return false;
    }
}

HourCounts& ContestReport::hour(sys_seconds when) {
    const std::int64_t number = floor<std::chrono::hours>(when).time_since_epoch().count();
    // Contacts come in time order: nearly always the hour of the contact before.
    if (!lastHour_ || lastHour_->first != number) lastHour_ = &*hours_.try_emplace(number).first;
    HourCounts& counts = lastHour_->second;
    if (counts.bands.size() < bands_.size()) counts.bands.resize(bands_.size());
    counts.start = sys_seconds{std::chrono::hours{number}};
    return counts;
}

std::size_t ContestReport::bandIndex(std::string_view band) {
    const auto it = std::find(bands_.begin(), bands_.end(), band);
    if (it != bands_.end()) return static_cast<std::size_t>(it - bands_.begin());
    bands_.emplace_back(band);
    return bands_.size() - 1;
}

std::uint16_t ContestReport::activityBandIndex(std::string_view band) {
    const auto it = std::find(activityBands_.begin(), activityBands_.end(), band);
    if (it != activityBands_.end()) return static_cast<std::uint16_t>(it - activityBands_.begin());
    // A log of many odd band texts shares one entry for those past the limit.
    if (activityBands_.size() + 1 >= kMaxActivityBands) {
        if (activityBands_.size() + 1 == kMaxActivityBands) activityBands_.emplace_back("other");
        return static_cast<std::uint16_t>(kMaxActivityBands - 1);
    }
    activityBands_.emplace_back(band);
    return static_cast<std::uint16_t>(activityBands_.size() - 1);
}

Problem* ContestReport::grouped(std::vector<ProblemGroup>& groups, Problem::Kind kind, std::string_view reason,
                                std::string_view band) {
    // Few groups in any real log: a linear search is cheaper than a map here.
    auto it = std::find_if(groups.begin(), groups.end(),
                           [&](const ProblemGroup& g) { return g.reason == reason && g.band == band; });
    if (it == groups.end()) {
        if (groups.size() >= kMaxGroups) {
            it = std::find_if(groups.begin(), groups.end(), [](const ProblemGroup& g) { return g.reason == "(other)"; });
            if (it == groups.end()) it = groups.insert(groups.end(), ProblemGroup{kind, "(other)", "", 0, {}});
        } else {
            it = groups.insert(groups.end(), ProblemGroup{kind, std::string(reason), std::string(band), 0, {}});
        }
    }
    ++it->count;
    return it->first.size() < kGroupListed ? &it->first.emplace_back() : nullptr;
}

void ContestReport::noteTime(sys_seconds when) {
    if (contacts_ == 0) {
        first_ = last_ = when;
    } else if (when > last_) {
        if (when - last_ >= kBreak) {
            ++breakCount_;
            breakTime_ += when - last_;
            if (breaks_.size() < kListed) breaks_.push_back({last_, when});
        }
        last_ = when;
    }
    first_ = std::min(first_, when);
}

std::int64_t& ContestReport::lastBandOf(std::string_view transmitter) {
    for (auto& [id, band] : lastBands_)
        if (id == transmitter) return band;
    // A broken log with ever new ids: the ones past the limit share the last stream.
    if (lastBands_.size() >= kMaxTransmitters) return lastBands_.back().second;
    if (!transmitter.empty()) ++transmitterIds_;
    return lastBands_.emplace_back(std::string(transmitter), -1).second;
}

void ContestReport::countPrefix(const ReportContact& c, BandCounts& counts) {
    if (c.check == 2 && !c.hint.empty()) {
        const std::string_view prefix = hintPrefix(c.hint, c.prefix);
        const auto [it, isNew] = prefixes_.try_emplace(std::string(prefix));
        if (isNew) {
            ++multipliers_;
            ++counts.newPrefixes;
            it->second = {std::string(prefix), c.when, std::string(c.band), std::string(c.mode),
                          std::string(c.call), c.record, 0};
        }
        ++it->second.qsos;
    } else if (c.check == 1) {
        // CheckCall0's 1: an SA station whose prefix is already worked; the plug-in stores the fed prefix.
        const auto it = prefixes_.find(c.prefix);
        if (it != prefixes_.end()) ++it->second.qsos;
    }
}

namespace {

// A problem of the contact `c`: its record, time, call, band and mode, and `text`.
Problem problemOf(const ReportContact& c, Problem::Kind kind, std::string_view text) {
    Problem p;
    p.kind = kind;
    p.record = c.record;
    p.when = c.when;
    p.call = c.call;
    p.band = c.band;
    p.mode = c.mode;
    p.text = text;
    return p;
}

// The place in `list` for a problem of `c`: the first kListed entries of a list are kept whole; the
// rest only counted (null).
Problem* listedProblem(std::vector<Problem>& list, const ReportContact& c, Problem::Kind kind) {
    if (list.size() >= ContestReport::kListed) return nullptr;
    return &list.emplace_back(problemOf(c, kind, {}));
}

}  // namespace

ActivityPoint& ContestReport::addActivityPoint(const ReportContact& c) {
    ActivityPoint& point = activity_.emplace_back();
    point.when = c.when.time_since_epoch().count();
    point.frequencyHz = c.frequencyHz;
    point.band = activityBandIndex(c.band);
    point.mode = c.mode == "CW" ? kCw : c.mode == "SSB" ? kSsb : kOtherMode;
    // Each transmitter of a multi-transmitter log keeps to its own band: changes count per transmitter.
    std::int64_t& lastBand = lastBandOf(c.transmitter);
    if (lastBand >= 0 && lastBand != point.band) hour(c.when).bandChanges++;
    lastBand = point.band;
    return point;
}

void ContestReport::addRejected(const ReportContact& c) {
    ++rejectedCount_;
    hour(c.when).rejected++;
    const std::string_view reason = c.errorLines.empty() ? "rejected (no err.txt line)" : reasonOf(c.errorLines);
    if (Problem* p = listedProblem(rejected_, c, Problem::kRejected)) p->text = reason;
    if (Problem* p = grouped(rejectedGroups_, Problem::kRejected, reason, c.band))
        *p = problemOf(c, Problem::kRejected, reason);
    problemRecords_.push_back(c.record);
}

void ContestReport::addDupe(const ReportContact& c, HourCounts& h, std::size_t band, std::uint64_t key) {
    ++dupeCount_;
    dupeLines_ += countLines(c.errorLines);
    ++h.bands[band].dupes;
    const std::uint64_t repeats = slotOf(key).record;
    if (Problem* p = listedProblem(dupes_, c, Problem::kDupe)) p->repeats = repeats;
    if (Problem* p = grouped(dupeGroups_, Problem::kDupe, "DUPE", c.band)) {
        *p = problemOf(c, Problem::kDupe, {});
        p->repeats = repeats;
    }
    problemRecords_.push_back(c.record);
}

void ContestReport::addQso(const ReportContact& c, ActivityPoint& point, HourCounts& h, std::size_t band,
                           std::uint64_t key) {
    ++qsos_;
    ++h.bands[band].qsos;
    point.counted = true;
    if (point.mode == kCw) ++h.cw;
    if (point.mode == kSsb) ++h.ssb;
    if (keepCalls_ && insertCallHash(callKey(c.call))) calls_.emplace_back(c.call);
    Slot& slot = slotOf(key);
    if (slot.key == 0) {
        slot = {key ? key : 1, c.record};
        ++firstOfContactUsed_;
    } else {
        slot.record = 0;
    }
    countPrefix(c, h.bands[band]);
    const sys_seconds minute = floor<minutes>(c.when);
    if (running_.empty() || running_.back().when < minute) running_.push_back({minute, 0, 0});
    running_.back().qsos = static_cast<std::uint32_t>(qsos_);
    running_.back().multipliers = static_cast<std::uint32_t>(multipliers_);
}

void ContestReport::add(const ReportContact& c) {
    noteTime(c.when);
    ++contacts_;
    ActivityPoint& point = addActivityPoint(c);
    if (c.added == 0) {
        addRejected(c);
        return;
    }
    const std::size_t band = bandIndex(c.band);
    HourCounts& h = hour(c.when);
    const std::uint64_t key = contactKey(c.call, c.band, c.mode);
    if (c.check == 0)
        addDupe(c, h, band, key);
    else
        addQso(c, point, h, band, key);
}

void ContestReport::addFinding(std::uint64_t line, bool error, std::string_view rule, std::string_view text) {
    ++(error ? errorCount_ : warningCount_);
    Problem p;
    p.kind = error ? Problem::kError : Problem::kWarning;
    p.record = line;
    p.text = text;
    if (findings_.size() < kListed) findings_.push_back(p);
    // A finding on a QSO the plug-in already rejected or called a dupe is listed there, not again.
    if (problemRecordsSorted_ != problemRecords_.size()) {
        std::sort(problemRecords_.begin(), problemRecords_.end());
        problemRecordsSorted_ = problemRecords_.size();
    }
    if (std::binary_search(problemRecords_.begin(), problemRecords_.end(), line)) {
        ++findingsOnProblemQsos_;
        return;
    }
    if (Problem* listedInGroup = grouped(findingGroups_, p.kind, rule, "")) *listedInGroup = std::move(p);
}

std::chrono::seconds ContestReport::timeOn() const {
    return contacts_ ? (last_ - first_) - breakTime_ : seconds{0};
}

}  // namespace report
