#include "tools/crosscheck/contest_scoring.h"

#include <algorithm>
#include <array>
#include <future>
#include <tuple>

#include "core/text.h"
#include "tools/logs/callsign.h"
#include "tools/logs/cty.h"

namespace crosscheck {

using contest::Cost;
using contest::FaultPolicy;
using contest::Multiplier;
using contest::Side;

CallCounts logsHolding(const std::vector<StationLog>& logs, const CheckResult& check) {
    CallCounts held;
    std::vector<std::string_view> calls;
    for (std::size_t a = 0; a < logs.size(); ++a) {
        calls.clear();
        for (std::size_t i = 0; i < logs[a].qsos.size(); ++i)
            if (!isReconciliation(check.checks[a][i].verdict)) calls.push_back(logs[a].qsos[i].call);
        std::sort(calls.begin(), calls.end());
        calls.erase(std::unique(calls.begin(), calls.end()), calls.end());
        for (const std::string_view call : calls) {
            const auto known = held.find(call);
            if (known != held.end())
                ++known->second;
            else
                held.emplace(call, 1);
        }
    }
    return held;
}

namespace {

// What a QSO worth `full` keeps after a fault of `cost`.
int kept(Cost cost, int full) {
    return cost == Cost::kNone ? full : cost == Cost::kHalf ? full / 2 : 0;
}

}  // namespace

bool paysForPartnersMiscopy(const contest::ContestDefinition& contest, const CheckResult& check, std::size_t k,
                            std::size_t i) {
    const FaultPolicy& policy = contest.checking.bustedExchange;
    if (policy.side != Side::kBoth || policy.cost == Cost::kNone) return false;
    const QsoCheck& c = check.checks[k][i];
    if (c.verdict != Verdict::kVerified || c.otherLog == QsoCheck::kNone || c.otherLog == k) return false;
    const QsoCheck& partner = check.checks[c.otherLog][c.otherQso];
    return partner.verdict == Verdict::kBustedExchange && partner.otherLog == k && partner.otherQso == i;
}

bool paysForPartnersBustedCall(const contest::ContestDefinition& contest, const CheckResult& check,
                               std::size_t k, std::size_t i) {
    const FaultPolicy& policy = contest.checking.bustedCall;
    if (policy.side == Side::kOwn || policy.cost == Cost::kNone) return false;
    const QsoCheck& c = check.checks[k][i];
    if (c.verdict != Verdict::kVerified || c.otherLog == QsoCheck::kNone || c.otherLog == k) return false;
    const QsoCheck& partner = check.checks[c.otherLog][c.otherQso];
    return partner.verdict == Verdict::kBustedCall && partner.otherLog == k && partner.otherQso == i;
}

DefinitionScorer::DefinitionScorer(const contest::ContestDefinition& contest,
                                   const std::vector<StationLog>& logs, const CheckResult& check,
                                   const logs::CountryFile* countries, bool removeUniques)
    : contest_(contest),
      logs_(logs),
      check_(check),
      countries_(countries),
      removeUniques_(removeUniques),
      exchange_(contest) {
    // Two passes over every QSO that need nothing of each other: side by side.
    std::future<CallCounts> held = std::async(std::launch::async, [&] { return logsHolding(logs, check); });
    chargePartners();
    learnCalls();
    heldBy_ = held.get();
}

DefinitionScorer::CallFacts DefinitionScorer::factsOf(std::string_view call) const {
    CallFacts f;
    if (countries_) {
        logs::CountryMatch m = countries_->lookup(call);
        f.continent = std::move(m.continent);
        f.primaryPrefix = std::move(m.primaryPrefix);
    }
    f.prefix = logs::wpxPrefix(call);
    return f;
}

// The logs' calls and the calls they worked, each looked up in the country file once. Two threads
// each index half of the logs, the second half's calls are then merged into the first's index, and
// the distinct calls are looked up on both threads: the run waits on this pass.
void DefinitionScorer::learnCalls() {
    using Index = std::unordered_map<std::string_view, std::uint32_t>;
    const std::size_t n = logs_.size(), half = n / 2;
    own_.resize(n);
    worked_.resize(n);
    std::array<Index, 2> index;
    std::array<std::vector<std::string_view>, 2> calls;  // per half: its calls in the order indexed
    const auto learnLogs = [&](std::size_t h, std::size_t from, std::size_t to) {
        const auto learn = [&](std::string_view call) {
            const auto [it, added] = index[h].try_emplace(call, static_cast<std::uint32_t>(calls[h].size()));
            if (added) calls[h].push_back(call);
            return it->second;
        };
        for (std::size_t k = from; k < to; ++k) {
            own_[k] = learn(logs_[k].call);
            worked_[k].reserve(logs_[k].qsos.size());
            for (const Qso& q : logs_[k].qsos) worked_[k].push_back(learn(q.call));
        }
    };
    std::future<void> second = std::async(std::launch::async, learnLogs, 1, half, n);
    learnLogs(0, 0, half);
    second.get();
    std::vector<std::uint32_t> merged(calls[1].size());
    for (std::size_t i = 0; i < calls[1].size(); ++i) {
        const auto [it, added] = index[0].try_emplace(calls[1][i], static_cast<std::uint32_t>(calls[0].size()));
        if (added) calls[0].push_back(calls[1][i]);
        merged[i] = it->second;
    }
    for (std::size_t k = half; k < n; ++k) {
        own_[k] = merged[own_[k]];
        for (std::uint32_t& w : worked_[k]) w = merged[w];
    }
    factIndex_ = std::move(index[0]);
    facts_.resize(calls[0].size());
    const auto lookUp = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) facts_[i] = factsOf(calls[0][i]);
    };
    std::future<void> other = std::async(std::launch::async, lookUp, facts_.size() / 2, facts_.size());
    lookUp(0, facts_.size() / 2);
    other.get();
}

const DefinitionScorer::CallFacts& DefinitionScorer::facts(std::string_view call) const {
    // A call of no log (a caller's own) is looked up each time, in storage of this thread's.
    if (const auto known = factIndex_.find(call); known != factIndex_.end()) return facts_[known->second];
    thread_local CallFacts other;
    other = factsOf(call);
    return other;
}

const FaultPolicy* DefinitionScorer::policyOf(Verdict v) const {
    switch (v) {
        case Verdict::kNotInLog:
            return &contest_.checking.notInLog;
        case Verdict::kBustedCall:
        case Verdict::kBustedCallInferred:
            return &contest_.checking.bustedCall;
        case Verdict::kTimeMismatch:
            return &contest_.checking.timeMismatch;
        default:
            return nullptr;
    }
}

// A fault whose policy makes the other side pay (a busted call costing the station miscopied as
// well) is charged to the QSO of the other log it was matched with.
void DefinitionScorer::chargePartners() {
    charged_.resize(logs_.size());
    for (std::size_t a = 0; a < logs_.size(); ++a) charged_[a].assign(logs_[a].qsos.size(), 0);
    for (std::size_t a = 0; a < logs_.size(); ++a)
        for (const QsoCheck& c : check_.checks[a]) {
            const FaultPolicy* p = policyOf(c.verdict);
            if (p && p->side != Side::kOwn && p->cost != Cost::kNone && c.otherLog != QsoCheck::kNone &&
                c.verdict != Verdict::kNotInLog)
                charged_[c.otherLog][c.otherQso] = 1;
        }
}

int DefinitionScorer::fullPoints(std::size_t k, const std::string& call, const std::string& band) const {
    return pointsOf(facts(logs_[k].call), facts(call), band);
}

int DefinitionScorer::pointsOf(const CallFacts& own, const CallFacts& other, std::string_view band) const {
    contest::Relation relation = contest::Relation::kAny;
    if (countries_) {
        if (!own.continent.empty() && !other.continent.empty())
            relation = own.primaryPrefix == other.primaryPrefix ? contest::Relation::kSameCountry
                       : own.continent == other.continent       ? contest::Relation::kSameContinent
                                                                : contest::Relation::kOtherContinent;
    }
    return contest_.scoring.pointsFor(band, relation, own.continent);
}

int DefinitionScorer::costed(const FaultPolicy& policy, int full) const {
    if (policy.side == Side::kOther) return full;
    return kept(policy.cost, full);
}

// A miscopied exchange: the miscopier's share after the policy's cost, at most the points the
// scoring lets such a QSO keep.
int DefinitionScorer::miscopied(int full) const {
    return std::min(kept(contest_.checking.bustedExchange.cost, full), contest_.scoring.miscopiedPoints);
}

// A station that sent no log counts only when enough other logs hold it.
int DefinitionScorer::noLogPoints(const Qso& q, int full) const {
    const auto held = heldBy_.find(q.call.view());
    const int others = held == heldBy_.end() ? 0 : static_cast<int>(held->second) - 1;
    const contest::NoLogPolicy& policy = contest_.checking.noLog;
    return policy.countsWith(others) ? policy.points.value_or(full) : 0;
}

int DefinitionScorer::checkedPoints(std::size_t k, std::size_t i, int full) const {
    const QsoCheck& c = check_.checks[k][i];
    const Qso& q = logs_[k].qsos[i];
    if (isReconciliation(c.verdict)) return 0;
    if (charged_[k][i]) return 0;
    if (paysForPartnersMiscopy(contest_, check_, k, i)) return kept(contest_.checking.bustedExchange.cost, full);
    if (const FaultPolicy* p = policyOf(c.verdict)) return costed(*p, full);
    switch (c.verdict) {
        case Verdict::kBustedExchange:
            return miscopied(full);
        case Verdict::kBandMismatch:
        case Verdict::kModeMismatch:
            return c.credited ? full : 0;
        case Verdict::kUnique:
            if (removeUniques_) return 0;
            return noLogPoints(q, full);
        case Verdict::kNoLog:
        case Verdict::kUniqueOnBand:
            return noLogPoints(q, full);
        case Verdict::kBustedExchangeInferred:
            return noLogPoints(q, full) > 0 ? miscopied(full) : 0;
        default:
            return full;
    }
}

std::string DefinitionScorer::multiplierKey(const Qso& q, const Multiplier& m, bool listed, const CallFacts& f) const {
    std::string value;
    if (m.kind == contest::MultiplierKind::kPrefix) {
        if (!m.continent.empty() && (!countries_ || f.continent != m.continent)) return {};
        value = f.prefix;
    } else {
        const auto& fields = exchange_.received();
        const auto f =
            std::find_if(fields.begin(), fields.end(), [&](const auto& x) { return x.name == m.field; });
        if (f == fields.end()) return {};
        value = stats::asciiUpper(
            exchangeField(q.receivedExchange, static_cast<std::size_t>(f - fields.begin())));
        if (value.empty() || (listed && !f->accepts(value))) return {};
    }
    return m.scope == contest::MultiplierScope::kPerBand ? q.band + " " + value : value;
}

bool DefinitionScorer::keyOf(const Qso& q, const Multiplier& m, int field, const CallFacts& f, std::string& key,
                             std::size_t& valueAt) const {
    key.clear();
    if (m.scope == contest::MultiplierScope::kPerBand) key.append(q.band.view()).push_back(' ');
    valueAt = key.size();
    if (m.kind == contest::MultiplierKind::kPrefix) {
        if (!m.continent.empty() && (!countries_ || f.continent != m.continent)) return false;
        key += f.prefix;
        return !key.empty();
    }
    const std::string_view value = exchangeField(q.receivedExchange, static_cast<std::size_t>(field));
    for (const char c : value) key.push_back(stats::asciiUpper(c));
    return !value.empty();
}

// What a scoring QSO gives as checked, given the key it claims: none when the field it rests on was
// copied wrong; the value the other log confirms it sent, listed or not (the station gave its
// county as it knows it, and this log copied it right); a value of a station that sent no log only
// when the contest lists it.
bool DefinitionScorer::checkedGives(std::size_t k, std::size_t i, const Multiplier& m, int field,
                                    std::string_view value) const {
    const QsoCheck& c = check_.checks[k][i];
    const bool matched = c.otherLog != QsoCheck::kNone && c.otherLog != k && c.verdict != Verdict::kNotInLog;
    const bool byField = m.kind == contest::MultiplierKind::kFieldValue;
    if (!matched)
        return contest_.checking.noLog.multiplier &&
               (!byField || exchange_.received()[static_cast<std::size_t>(field)].accepts(value));
    return !byField || exchange_.fieldAgrees(m.field, logs_[k].qsos[i], logs_[c.otherLog].qsos[c.otherQso]);
}

std::pair<long long, long long> DefinitionScorer::multipliers(std::size_t k, const std::vector<char>& claimed,
                                                              const std::vector<char>& checked,
                                                              const WorkedFacts& f) const {
    // Each QSO's key made once for both totals; the distinct keys counted as sorted texts held in
    // place (nearly all keys are short).
    const std::vector<Qso>& qsos = logs_[k].qsos;
    std::pair<long long, long long> total{0, 0};
    std::vector<ShortText> claimedKeys, checkedKeys;
    std::string key;
    const auto distinct = [](std::vector<ShortText>& keys) {
        std::sort(keys.begin(), keys.end());
        return std::unique(keys.begin(), keys.end()) - keys.begin();
    };
    const auto& fields = exchange_.received();
    for (const Multiplier& m : contest_.scoring.multipliers) {
        const auto named = std::find_if(fields.begin(), fields.end(), [&](const auto& x) { return x.name == m.field; });
        if (m.kind == contest::MultiplierKind::kFieldValue && named == fields.end()) continue;
        const int field = static_cast<int>(named - fields.begin());
        claimedKeys.clear();
        checkedKeys.clear();
        for (std::size_t i = 0; i < qsos.size(); ++i) {
            std::size_t valueAt = 0;
            if ((!claimed[i] && !checked[i]) || !keyOf(qsos[i], m, field, *f[i], key, valueAt)) continue;
            if (claimed[i]) claimedKeys.emplace_back(key);
            if (checked[i] && checkedGives(k, i, m, field, std::string_view(key).substr(valueAt)))
                checkedKeys.emplace_back(key);
        }
        total.first += distinct(claimedKeys);
        total.second += distinct(checkedKeys);
    }
    return total;
}

std::vector<std::string> DefinitionScorer::claimedMultipliers(std::size_t k, std::size_t i) const {
    std::vector<std::string> keys;
    for (const Multiplier& m : contest_.scoring.multipliers)
        if (std::string key = multiplierKey(logs_[k].qsos[i], m, false, facts(logs_[k].qsos[i].call)); !key.empty())
            keys.push_back(std::move(key));
    return keys;
}

DefinitionScore DefinitionScorer::score(std::size_t k) const {
    const std::vector<Qso>& qsos = logs_[k].qsos;
    DefinitionScore out;
    out.points.resize(qsos.size());
    std::vector<char> claimed(qsos.size()), checked(qsos.size());
    const CallFacts& own = facts_[own_[k]];
    WorkedFacts worked(qsos.size());
    for (std::size_t i = 0; i < qsos.size(); ++i) {
        const QsoCheck& c = check_.checks[k][i];
        worked[i] = &facts_[worked_[k][i]];
        const int full = pointsOf(own, *worked[i], qsos[i].band);
        const int points = checkedPoints(k, i, full);
        out.points[i] = points;
        claimed[i] = !isReconciliation(c.verdict) && full > 0;
        checked[i] = points > 0;
        if (claimed[i]) out.claimedPoints += full;
        out.checkedPoints += points;
        const FaultPolicy* p =
            c.verdict == Verdict::kBustedExchange ? &contest_.checking.bustedExchange : policyOf(c.verdict);
        if (p && p->side != Side::kOther) {
            out.penaltyQsos += p->penaltyQsos;
            out.checkedPoints -= static_cast<long long>(p->penaltyQsos) * full;
        }
        if (claimed[i]) out.lostPoints[static_cast<std::size_t>(c.verdict)] += full - points;
        out.claimed.qsos += claimed[i];
        out.checked.qsos += checked[i];
    }
    out.checkedPoints = std::max(0LL, out.checkedPoints);
    std::tie(out.claimed.multipliers, out.checked.multipliers) = multipliers(k, claimed, checked, worked);
    out.claimed.score = contest_.scoring.score(out.claimedPoints, out.claimed.multipliers);
    out.checked.score = contest_.scoring.score(out.checkedPoints, out.checked.multipliers);
    return out;
}

}  // namespace crosscheck
