#include "tools/crosscheck/inference.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <tuple>
#include <unordered_map>

#include "tools/crosscheck/evidence.h"

namespace crosscheck {

std::string_view numberingName(Numbering numbering) {
    switch (numbering) {
        case Numbering::kOneSequence: return "one sequence";
        case Numbering::kPerBand: return "per band";
        case Numbering::kPerTransmitter: return "per transmitter";
    }
    return {};
}

namespace {

// Copies of a station's numbers farther apart than this make no sequence to judge by.
constexpr std::int64_t kSpan = 30 * 60;
// More QSOs a minute than this on one sequence is no sequence but a break in it.
constexpr std::int64_t kMostPerMinute = 6;
// The number received given to another station this near in time rules a candidate out (farther,
// another transmitter may have taken the band over and started from the same number).
constexpr std::int64_t kGivenElsewhere = 15 * 60;
// Two logs that copied a number alike this near in time both heard it so.
constexpr std::int64_t kAlike = 3 * 60;
// A log's other QSOs with a candidate this near in time make the candidate a QSO of its own.
constexpr std::int64_t kSameMinutes = 5 * 60;

// One number of a station: sent in its own log, or copied by another log; time less the clock
// offset of the log it is in.
struct Copy {
    std::int64_t time;
    std::int32_t number;  // -1 none
    std::uint32_t log, qso;
    std::uint16_t band;         // interned band name
    std::uint16_t transmitter;  // interned transmitter id (own logs only)
};

// A station's numbers, oldest first, and how it numbers them.
struct Sequence {
    std::vector<Copy> copies;
    Numbering numbering = Numbering::kOneSequence;
};

// Two numbers of one sequence `p` then `q` are in order when `q` is not smaller (a minute's
// uncertainty allowed) and not more than the most a station can log in the time between.
bool inOrder(const Copy& p, const Copy& q) {
    const std::int64_t minutes = (q.time - p.time + 59) / 60;
    return q.number + 1 >= p.number && q.number - p.number <= kMostPerMinute * minutes + 10;
}

// The copies of `seq` that the predicate selects, oldest first: the model's sequence of one band,
// one transmitter or all of them.
template <typename Keep>
std::vector<const Copy*> select(const Sequence& seq, Keep&& keep) {
    std::vector<const Copy*> out;
    for (const Copy& c : seq.copies)
        if (c.number >= 0 && keep(c)) out.push_back(&c);
    return out;
}

// Numbers a log sent more than once within the sequences that `group` makes: a log's own order
// may be off where a QSO was logged late, but a sequence never gives a number twice.
template <typename Group>
std::size_t repeats(const std::vector<Copy>& copies, Group&& group) {
    std::unordered_map<std::uint64_t, std::uint32_t> seen;
    std::size_t out = 0;
    for (const Copy& c : copies)
        if (c.number >= 0) out += seen[(std::uint64_t{group(c)} << 40) | static_cast<std::uint64_t>(c.number)]++ > 0;
    return out;
}

Numbering modelOfOwnNumbers(const std::vector<Copy>& own, std::string_view category, bool transmitterIds) {
    const std::size_t one = repeats(own, [](const Copy&) { return 0u; });
    // A few repeats are slips (a dupe given the same number again), not another numbering.
    if (one <= std::max<std::size_t>(2, own.size() / 50)) return Numbering::kOneSequence;
    const std::size_t band = repeats(own, [](const Copy& c) { return std::uint32_t{c.band}; });
    const std::size_t tx = transmitterIds ? repeats(own, [](const Copy& c) { return std::uint32_t{c.transmitter}; }) : one;
    if (tx < band || (tx == band && category == "TWO")) return Numbering::kPerTransmitter;
    return Numbering::kPerBand;
}

// The model the copies of a station that sent no log fit: one sequence when the numbers rise
// across changes of band (a lone miscopy allowed), else per band; per transmitter when a
// band's sequence also steps back where another transmitter took the band over.
Numbering modelOfCopies(const std::vector<Copy>& copies) {
    std::size_t across = 0, acrossBroken = 0, steps = 0;
    const Copy* prev = nullptr;
    std::unordered_map<std::uint16_t, std::pair<const Copy*, const Copy*>> lastOnBand;  // the last two
    for (const Copy& c : copies) {
        if (c.number < 0) continue;
        if (prev && prev->band != c.band && c.time - prev->time > 60) {
            ++across;
            acrossBroken += c.number <= prev->number || !inOrder(*prev, c);
        }
        auto& [older, last] = lastOnBand[c.band];
        // A step: the band's number falls between two pairs that are each in order.
        if (older && last && inOrder(*older, *last) && !inOrder(*last, c) && c.time - last->time > 60) ++steps;
        older = last;
        last = &c;
        prev = &c;
    }
    if (across >= 2 && acrossBroken * 10 <= across) return Numbering::kOneSequence;
    if (across == 0) return Numbering::kOneSequence;
    return steps > acrossBroken / 2 && steps >= 2 ? Numbering::kPerTransmitter : Numbering::kPerBand;
}

using Names = std::unordered_map<std::string, std::uint16_t>;

// The id of a name; past the last id every further name shares it, so that a log of made-up
// bands or transmitter ids never takes a real one's id.
std::uint16_t intern(Names& names, std::string_view name) {
    constexpr std::uint16_t kLastId = 0xFFFF;
    const auto found = names.find(std::string(name));
    if (found != names.end()) return found->second;
    if (names.size() >= kLastId) return kLastId;
    return names.emplace(std::string(name), static_cast<std::uint16_t>(names.size())).first->second;
}

std::int32_t numberOf(std::string_view text) {
    return static_cast<std::int32_t>(serialNumber(text));
}

// A log's own sent numbers in its order (`times` as logged when null) and how it numbers them.
Sequence ownNumbers(const StationLog& log, std::uint32_t index, const std::int64_t* times, Names& bands,
                    Names& transmitters) {
    Sequence seq;
    bool ids = false;
    for (std::uint32_t i = 0; i < log.qsos.size(); ++i) {
        const Qso& q = log.qsos[i];
        seq.copies.push_back({times ? times[i] : q.time, numberOf(q.sent), index, i, intern(bands, q.band),
                              intern(transmitters, q.transmitter.view())});
        ids = ids || !q.transmitter.empty();
    }
    // By time, then number and line: the same order whatever the order of the log's QSOs.
    std::sort(seq.copies.begin(), seq.copies.end(), [&](const Copy& p, const Copy& q) {
        return std::tie(p.time, p.number, log.qsos[p.qso].line) < std::tie(q.time, q.number, log.qsos[q.qso].line);
    });
    seq.numbering = modelOfOwnNumbers(seq.copies, log.transmitterCategory, ids);
    return seq;
}


class Inference {
  public:
    Inference(const std::vector<StationLog>& logs, const std::vector<std::vector<std::int64_t>>& times,
              const CheckOptions& options, CheckResult& result)
        : logs_(logs), times_(times), options_(options), result_(result) {}

    void run() {
        for (std::uint32_t a = 0; a < logs_.size(); ++a) logOf_.emplace(logs_[a].call, a);
        buildSequences();
        classifyUniques();
        for (auto& [call, seq] : reverse_) inferBustedExchanges(call, seq);
        inferBustedCalls();
    }

  private:
    const Qso& qso(std::uint32_t log, std::uint32_t i) const { return logs_[log].qsos[i]; }
    Verdict& verdictOf(const Copy& c) { return result_.checks[c.log][c.qso].verdict; }

    bool before(const Copy& p, const Copy& q) const {
        return std::tie(p.time, p.number, logs_[p.log].call, qso(p.log, p.qso).line) <
               std::tie(q.time, q.number, logs_[q.log].call, qso(q.log, q.qso).line);
    }

    // Every QSO line with a number is a copy of a number the station worked sent (whatever its
    // verdict: a line on another band or a dupe still shows the sequence).
    void buildSequences() {
        for (std::uint32_t a = 0; a < logs_.size(); ++a)
            for (std::uint32_t i = 0; i < logs_[a].qsos.size(); ++i) {
                const Qso& q = qso(a, i);
                const std::uint16_t band = intern(bands_, q.band);
                if (q.call != logs_[a].call && !logOf_.count(q.call))
                    reverse_[q.call].copies.push_back({times_[a][i], numberOf(q.received), a, i, band, 0});
            }
        for (auto& [call, seq] : reverse_) {
            std::sort(seq.copies.begin(), seq.copies.end(), [&](const Copy& p, const Copy& q) { return before(p, q); });
            seq.numbering = modelOfCopies(seq.copies);
        }
    }

    // A QSO with a station that sent no log: another log holds it on this band, holds it only on
    // other bands (UNIQUE ON THIS BAND), or holds it not at all (UNIQUE).
    void classifyUniques() {
        struct Holders {
            std::uint32_t first = 0;
            bool several = false;
        };
        std::unordered_map<std::uint16_t, Holders> byBand;
        for (auto& [call, seq] : reverse_) {
            byBand.clear();
            Holders any{seq.copies.empty() ? 0 : seq.copies.front().log, false};
            for (const Copy& c : seq.copies) {
                Holders& h = byBand.try_emplace(c.band, Holders{c.log, false}).first->second;
                h.several = h.several || h.first != c.log;
                any.several = any.several || any.first != c.log;
            }
            for (const Copy& c : seq.copies) {
                Verdict& v = verdictOf(c);
                if (v != Verdict::kNoLog && v != Verdict::kUnique) continue;
                const Holders& h = byBand.at(c.band);
                v = h.several ? Verdict::kNoLog : any.several ? Verdict::kUniqueOnBand : Verdict::kUnique;
                if (v == Verdict::kUniqueOnBand) result_.checks[c.log][c.qso].detail = addNote(c.log, heldElsewhere(call, seq, c));
            }
        }
    }

    // "K1ABC is in no other log on 40m; 2 other log(s) hold it on 15m, 80m".
    std::string heldElsewhere(const std::string& call, const Sequence& seq, const Copy& c) const {
        std::vector<std::string_view> bands;
        std::vector<std::uint32_t> logs;
        for (const Copy& d : seq.copies) {
            if (d.log == c.log) continue;
            if (std::find(logs.begin(), logs.end(), d.log) == logs.end()) logs.push_back(d.log);
            const std::string_view band = qso(d.log, d.qso).band;
            if (std::find(bands.begin(), bands.end(), band) == bands.end()) bands.push_back(band);
        }
        std::sort(bands.begin(), bands.end());
        std::string out = call + " is in no other log on " + qso(c.log, c.qso).band + "; " +
                          std::to_string(logs.size()) + " other log(s) hold it on";
        for (std::size_t k = 0; k < bands.size(); ++k) out += (k ? ", " : " ") + std::string(bands[k]);
        return out;
    }

    std::string copyText(const Copy& c) const {
        char number[24];
        std::snprintf(number, sizeof number, "%03ld", static_cast<long>(c.number));
        return std::string(number) + " at " + qsoTimeText(c.time) + " (" + logs_[c.log].call + ")";
    }

    std::int32_t addNote(std::uint32_t log, std::string text) {
        result_.notes[log].push_back(std::move(text));
        return static_cast<std::int32_t>(result_.notes[log].size());
    }

    // The two nearest numbers of `seq` a minute or more before `at`, and the two after it.
    struct Around {
        std::array<const Copy*, 2> before{}, after{};  // nearest first
    };

    static Around around(const std::vector<const Copy*>& seq, std::size_t at) {
        const Copy& c = *seq[at];
        Around out;
        std::size_t found = 0;
        for (std::size_t j = at; j-- > 0 && found < 2;)
            if (seq[j]->time <= c.time - 60) out.before[found++] = seq[j];
        found = 0;
        for (std::size_t j = at + 1; j < seq.size() && found < 2; ++j)
            if (seq[j]->time >= c.time + 60) out.after[found++] = seq[j];
        return out;
    }

    // True when `c` breaks the clear sequence around it: two numbers on each side, each within
    // the span of it, all four in order, and `c` outside the nearest two by more than the numbers
    // of two minutes. A number that another log copied alike within minutes is no lone miscopy.
    static bool breaksSequence(const std::vector<const Copy*>& seq, std::size_t at, const Around& n) {
        const Copy& c = *seq[at];
        const Copy* p = n.before[0];
        const Copy* q = n.after[0];
        for (const Copy* k : {n.before[1], p, q, n.after[1]})
            if (!k || std::llabs(k->time - c.time) > kSpan) return false;
        if (!inOrder(*n.before[1], *p) || !inOrder(*p, *q) || !inOrder(*q, *n.after[1]) || q->number <= p->number)
            return false;
        const std::int64_t perTwoMinutes =
            std::int64_t{q->number - p->number} * 120 / std::max<std::int64_t>(q->time - p->time, 60);
        const std::int64_t margin = 2 + perTwoMinutes;
        if (c.number + margin >= p->number && c.number <= q->number + margin) return false;
        auto alike = [&](const Copy* d) { return d->log != c.log && d->number >= c.number - 1 && d->number <= c.number + 1; };
        for (std::size_t j = at; j-- > 0 && seq[j]->time > c.time - kAlike;)
            if (alike(seq[j])) return false;
        for (std::size_t j = at + 1; j < seq.size() && seq[j]->time < c.time + kAlike; ++j)
            if (alike(seq[j])) return false;
        return true;
    }

    void inferBustedExchanges(const std::string& call, const Sequence& seq) {
        const bool one = seq.numbering == Numbering::kOneSequence;
        const std::vector<const Copy*> all = select(seq, [](const Copy&) { return true; });
        if (one) return inferBustedExchanges(call, seq, all);
        std::unordered_map<std::uint16_t, std::vector<const Copy*>> byBand;
        for (const Copy* c : all) byBand[c->band].push_back(c);
        for (const auto& [band, onBand] : byBand) inferBustedExchanges(call, seq, onBand);
    }

    // The copies of `judged` (one sequence of `seq`) that break it.
    void inferBustedExchanges(const std::string& call, const Sequence& seq, const std::vector<const Copy*>& judged) {
        const bool one = seq.numbering == Numbering::kOneSequence;
        for (std::size_t k = 0; k < judged.size(); ++k) {
            const Copy& c = *judged[k];
            const Verdict v = verdictOf(c);
            if (v != Verdict::kNoLog && v != Verdict::kUniqueOnBand) continue;
            const Around n = around(judged, k);
            if (!breaksSequence(judged, k, n)) continue;
            QsoCheck& check = result_.checks[c.log][c.qso];
            check.verdict = Verdict::kBustedExchangeInferred;
            check.credited = false;
            check.detail = addNote(c.log, call + " sent no log; numbering (from the copies): " +
                                              std::string(numberingName(seq.numbering)) + ";" +
                                              (one ? "" : " on " + qso(c.log, c.qso).band) + " the logs copied " +
                                              copyText(*n.before[1]) + ", " + copyText(*n.before[0]) + " .. this " +
                                              copyText(c) + " .. " + copyText(*n.after[0]) + ", " +
                                              copyText(*n.after[1]));
        }
    }

    // The numbers of `call`'s sequence that a QSO on `band` at `t` belongs to: its own sent
    // numbers when it sent a log, the logs' copies when not.
    std::vector<const Copy*> sequenceAt(const std::string& call, std::uint16_t band, std::int64_t t) const {
        const auto logged = logOf_.find(call);
        const Sequence* seq = nullptr;
        if (logged != logOf_.end()) {
            seq = &ownOf(logged->second);
        } else if (const auto it = reverse_.find(call); it != reverse_.end()) {
            seq = &it->second;
        } else {
            return {};
        }
        switch (seq->numbering) {
            case Numbering::kOneSequence: return select(*seq, [](const Copy&) { return true; });
            case Numbering::kPerBand: return select(*seq, [&](const Copy& c) { return c.band == band; });
            case Numbering::kPerTransmitter: break;
        }
        if (logged == logOf_.end()) return select(*seq, [&](const Copy& c) { return c.band == band; });
        // The transmitter that was on the band nearest that time.
        const Copy* nearest = nullptr;
        for (const Copy& c : seq->copies)
            if (c.band == band && (!nearest || std::llabs(c.time - t) < std::llabs(nearest->time - t))) nearest = &c;
        if (!nearest) return {};
        return select(*seq, [&](const Copy& c) { return c.transmitter == nearest->transmitter; });
    }

    // A submitted log's own numbers, read when a candidate first needs them.
    const Sequence& ownOf(std::uint32_t log) const {
        auto [it, isNew] = own_.try_emplace(log);
        if (isNew) it->second = ownNumbers(logs_[log], log, times_[log].data(), bands_, transmitters_);
        return it->second;
    }

    void inferBustedCalls();
    struct Weighed;
    Weighed weigh(std::uint32_t a, std::uint32_t i, const std::string& candidate) const;
    std::vector<std::string> candidatesOf(const std::string& call, std::uint32_t a) const;

    const std::vector<StationLog>& logs_;
    const std::vector<std::vector<std::int64_t>>& times_;
    const CheckOptions& options_;
    CheckResult& result_;
    TextMap<std::uint32_t> logOf_;
    mutable Names bands_, transmitters_;
    mutable std::unordered_map<std::uint32_t, Sequence> own_;  // the logs asked for, as they are asked
    TextMap<Sequence> reverse_;
    std::unordered_map<std::string, std::vector<std::string>> byDeletion_;
};

// What the numbers say of one candidate for the station a unique call really was.
struct Inference::Weighed {
    std::string call;
    bool logged = false;
    std::size_t onBand = 0;  // logs with a QSO with it on this band within the evidence window
    bool fits = false;       // the number received fits its sequence then
    std::string ruledOut;    // why it cannot be, empty when it can
    std::string numbers;     // its numbers around that time
};

// The calls one edit from `call`: logged ones, and ones that two logs or more worked.
std::vector<std::string> Inference::candidatesOf(const std::string& call, std::uint32_t a) const {
    std::vector<std::string> near;
    forEachDeletion(call, [&](const std::string& form) {
        const auto it = byDeletion_.find(form);
        if (it == byDeletion_.end()) return;
        for (const std::string& c : it->second)
            if (oneEditApart(call, c) && std::find(near.begin(), near.end(), c) == near.end() &&
                !(logOf_.count(c) && logOf_.at(c) == a))
                near.push_back(c);
    });
    std::sort(near.begin(), near.end());
    return near;
}

Inference::Weighed Inference::weigh(std::uint32_t a, std::uint32_t i, const std::string& candidate) const {
    const Qso& q = qso(a, i);
    const std::int64_t t = times_[a][i];
    const std::int32_t received = numberOf(q.received);
    const std::uint16_t band = bands_.at(q.band);
    Weighed w{candidate, logOf_.count(candidate) > 0, 0, false, {}, {}};
    const std::vector<const Copy*> seq = sequenceAt(candidate, band, t);
    std::vector<std::uint32_t> logsOnBand;
    const Copy* before = nullptr;
    const Copy* after = nullptr;
    std::int32_t lowest = -1, highest = -1;  // the numbers within a minute of it
    for (const Copy* k : seq) {
        if (k->log == a && !w.logged) continue;  // this log's own copies are no evidence for it
        // Another station had the number received: the candidate cannot have sent it here.
        const bool elsewhere = !w.logged || qso(k->log, k->qso).call != logs_[a].call;
        if (elsewhere && received >= 0 && k->number == received && std::llabs(k->time - t) <= kGivenElsewhere)
            w.ruledOut = "gave " + q.received + " at " + qsoTimeText(k->time) + " to " +
                         (w.logged ? qso(k->log, k->qso).call.str() : logs_[k->log].call);
        if (k->band == band && k->time >= t - options_.evidenceWindowSeconds &&
            k->time <= t + options_.evidenceWindowSeconds &&
            std::find(logsOnBand.begin(), logsOnBand.end(), k->log) == logsOnBand.end())
            logsOnBand.push_back(k->log);
        if (k->time < t - 60) {
            before = k;
        } else if (k->time > t + 60) {
            if (!after) after = k;
        } else {
            lowest = lowest < 0 ? k->number : std::min(lowest, k->number);
            highest = std::max(highest, k->number);
        }
    }
    w.onBand = logsOnBand.size();
    auto nearEnough = [&](const Copy* k) {
        return k && k->time >= t - options_.evidenceWindowSeconds && k->time <= t + options_.evidenceWindowSeconds;
    };
    const bool beside = lowest >= 0;
    w.fits = received >= 0 && (nearEnough(before) || nearEnough(after) || beside) &&
             (!before || before->number <= received + 1) && (!after || received <= after->number + 1) &&
             (!beside || (lowest <= received + 1 && received <= highest + 1)) &&
             (before || beside || after->number - received <= 3) && (after || beside || received - before->number <= 3);
    if (before) w.numbers += " " + copyText(*before);
    w.numbers += " ..";
    if (after) w.numbers += " " + copyText(*after);
    // The same log worked the candidate in these minutes: this QSO is another station.
    for (const Qso& o : logs_[a].qsos)
        if (o.call == candidate && std::llabs(o.time - q.time) <= kSameMinutes)
            w.ruledOut = logs_[a].call + " worked it too at " + qsoTimeText(o.time - (q.time - t));
    return w;
}

// A unique call one edit from a candidate that was on the band within the evidence window and
// whose numbers around that time hold the one received, when no other candidate does as well.
void Inference::inferBustedCalls() {
    for (const auto& [call, log] : logOf_)
        forEachDeletion(call, [&, &call = call](const std::string& form) { byDeletion_[form].push_back(call); });
    for (const auto& [call, seq] : reverse_) {
        std::vector<std::uint32_t> workers;
        for (const Copy& c : seq.copies)
            if (std::find(workers.begin(), workers.end(), c.log) == workers.end()) workers.push_back(c.log);
        if (workers.size() >= 2)
            forEachDeletion(call, [&, &call = call](const std::string& form) { byDeletion_[form].push_back(call); });
    }
    for (std::uint32_t a = 0; a < logs_.size(); ++a)
        for (std::uint32_t i = 0; i < logs_[a].qsos.size(); ++i) {
            QsoCheck& check = result_.checks[a][i];
            if (check.verdict != Verdict::kUnique) continue;
            const Qso& q = qso(a, i);
            const std::vector<std::string> near = candidatesOf(q.call, a);
            if (near.empty()) continue;
            std::vector<Weighed> weighed;
            for (const std::string& c : near) weighed.push_back(weigh(a, i, c));
            const Weighed* best = nullptr;
            bool tied = false;
            for (const Weighed& w : weighed) {
                if (!w.fits || w.onBand == 0 || !w.ruledOut.empty()) continue;
                // A tie for the most logs stands whatever weaker candidates come after it.
                if (!best || w.onBand > best->onBand) {
                    best = &w;
                    tied = false;
                } else if (w.onBand == best->onBand) {
                    tied = true;
                }
            }
            std::string evidence;
            for (const Weighed& w : weighed)
                evidence += (evidence.empty() ? "" : "; ") + w.call + (w.logged ? " (sent a log)" : "") + ": on " +
                            q.band + " within " + std::to_string(options_.evidenceWindowSeconds / 60) + " min in " +
                            std::to_string(w.onBand) + " log(s), numbers" + w.numbers + ": " + q.received +
                            (w.fits ? " fits" : " does not fit") + (w.ruledOut.empty() ? "" : "; not it: " + w.ruledOut);
            if (best && !tied) {
                check.verdict = Verdict::kBustedCallInferred;
                check.credited = false;
                check.detail = addNote(a, "-> " + best->call + ": " + evidence);
            } else {
                check.detail = addNote(a, q.call + " is in no other log; one character from " + evidence);
            }
        }
}

}  // namespace

Numbering numberingOfLog(const StationLog& log) {
    Names bands, transmitters;
    return ownNumbers(log, 0, nullptr, bands, transmitters).numbering;
}

void inferVerdicts(const std::vector<StationLog>& logs, const std::vector<std::vector<std::int64_t>>& times,
                   const CheckOptions& options, CheckResult& result) {
    Inference(logs, times, options, result).run();
}

}  // namespace crosscheck
