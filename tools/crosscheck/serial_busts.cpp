#include "tools/crosscheck/serial_busts.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "tools/crosscheck/exchange.h"

namespace crosscheck {

namespace {

constexpr const char* kCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// Every call of the contest by its forms with one character deleted: two calls one edit or one
// transposition apart share such a form.
class CallForms {
  public:
    void add(const std::string& call) {
        for (const std::string& f : forms(call)) owners_[f].insert(call);
    }
    // True when `wrong` is near no call of the contest but `right`, and no call itself.
    bool clear(const std::string& wrong, const std::string& right) const {
        for (const std::string& f : forms(wrong)) {
            const auto it = owners_.find(f);
            if (it != owners_.end() && (it->second.size() > 1 || !it->second.count(right))) return false;
        }
        return true;
    }

  private:
    static std::vector<std::string> forms(const std::string& call) {
        std::vector<std::string> out{call};
        for (std::size_t i = 0; i < call.size(); ++i) out.push_back(call.substr(0, i) + call.substr(i + 1));
        return out;
    }
    std::unordered_map<std::string, std::unordered_set<std::string>> owners_;
};

// A QSO between two logs: log and index of each side.
struct Pair {
    std::size_t a, i, b, j;
};

// The QSOs between two logs that carry no fault and are the only QSO of either log with the other
// station on their band and mode, with both serials agreeing: injected busts change no dupe.
std::vector<Pair> cleanPairs(const SyntheticContest& contest) {
    std::set<std::pair<std::string_view, std::uint64_t>> faulty;
    for (const InjectedFault& f : contest.faults) faulty.emplace(f.call, f.line);
    std::unordered_map<std::string_view, std::size_t> logOf;
    for (std::size_t a = 0; a < contest.logs.size(); ++a) logOf.emplace(contest.logs[a].call, a);
    // Per log: (call, band, mode) -> the QSOs with it.
    std::vector<std::map<std::tuple<std::string, std::string, std::string>, std::vector<std::size_t>>> groups(
        contest.logs.size());
    for (std::size_t a = 0; a < contest.logs.size(); ++a)
        for (std::size_t i = 0; i < contest.logs[a].qsos.size(); ++i) {
            const Qso& q = contest.logs[a].qsos[i];
            groups[a][{q.call.str(), q.band.str(), q.mode.str()}].push_back(i);
        }
    std::vector<Pair> out;
    for (std::size_t a = 0; a < contest.logs.size(); ++a)
        for (const auto& [key, qsos] : groups[a]) {
            const auto b = logOf.find(std::get<0>(key));
            if (b == logOf.end() || b->second <= a || qsos.size() != 1) continue;
            const auto other =
                groups[b->second].find({contest.logs[a].call, std::get<1>(key), std::get<2>(key)});
            if (other == groups[b->second].end() || other->second.size() != 1) continue;
            const Qso& p = contest.logs[a].qsos[qsos[0]];
            const Qso& q = contest.logs[b->second].qsos[other->second[0]];
            if (faulty.count({contest.logs[a].call, p.line}) ||
                faulty.count({contest.logs[b->second].call, q.line}) || !sameNumber(p.sent, q.received) ||
                !sameNumber(p.received, q.sent) || serialNumber(p.sent) < 0 || serialNumber(p.received) < 0)
                continue;
            out.push_back({a, qsos[0], b->second, other->second[0]});
        }
    return out;
}

class SerialBusts {
  public:
    SerialBusts(SyntheticContest& contest, std::uint64_t seed)
        : contest_(contest), rng_(seed ^ 0x5e1a1b057ull) {
        for (const StationLog& log : contest.logs) {
            calls_.add(log.call);
            for (const Qso& q : log.qsos) calls_.add(q.call.str());
        }
    }

    void inject(double rate) {
        for (const Pair& p : cleanPairs(contest_))
            if (roll() < rate) injectOne(chance(0.5) ? p : Pair{p.b, p.j, p.a, p.i});
        std::sort(contest_.faults.begin(), contest_.faults.end(),
                  [](const InjectedFault& x, const InjectedFault& y) {
                      return std::tie(x.call, x.line) < std::tie(y.call, y.line);
                  });
    }

  private:
    double roll() { return std::uniform_real_distribution<double>(0, 1)(rng_); }
    bool chance(double p) { return roll() < p; }
    std::size_t pick(std::size_t n) { return static_cast<std::size_t>(rng_() % n); }

    // Log `p.a` copies the call of log `p.b` wrong in its QSO `p.i`.
    void injectOne(const Pair& p) {
        StationLog& log = contest_.logs[p.a];
        Qso& q = log.qsos[p.i];
        const std::string right = contest_.logs[p.b].call;
        const bool swap = chance(0.6);
        const std::string wrong = swap ? swapped(right) : substituted(right);
        if (wrong.empty()) return;
        calls_.add(wrong);
        q.call = wrong;
        std::string what = right + " copied as " + wrong;
        // A substitution only beyond the window (within it the plain busted call finds it).
        if (!swap || chance(0.3)) what += shift(p.a, q);
        contest_.faults.push_back({log.call, q.line, Verdict::kBustedCall, true, what});
        if (chance(0.3)) miscopyText(chance(0.5) ? p : Pair{p.b, p.j, p.a, p.i}, p.a);
    }

    std::string swapped(const std::string& right) {
        for (int tries = 0; tries < 20; ++tries) {
            const std::size_t at = pick(right.size() - 1);
            if (right[at] == right[at + 1]) continue;
            std::string w = right;
            std::swap(w[at], w[at + 1]);
            if (calls_.clear(w, right)) return w;
        }
        return {};
    }

    std::string substituted(const std::string& right) {
        for (int tries = 0; tries < 20; ++tries) {
            std::string w = right;
            w[pick(w.size())] = kCharacters[pick(36)];
            if (w != right && calls_.clear(w, right)) return w;
        }
        return {};
    }

    // Moves the QSO 10 to 40 minutes toward its log's median time (QSOs outside the period do not
    // move that), beyond any clock's correction.
    std::string shift(std::size_t a, Qso& q) {
        std::vector<std::int64_t> times;
        for (const Qso& x : contest_.logs[a].qsos) times.push_back(x.time);
        const auto middle = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2);
        std::nth_element(times.begin(), middle, times.end());
        const std::int64_t minutes = static_cast<std::int64_t>(10 + pick(31));
        const std::int64_t sign = q.time < *middle ? 1 : -1;
        q.time += sign * minutes * 60;
        return ", logged " + std::to_string(sign * minutes) + " min off";
    }

    // Log `p.a` also miscopies a text field of what log `p.b` sent; a BUSTED EXCHANGE unless it
    // is the log that busted the call (`buster`), whose QSO is lost already.
    void miscopyText(const Pair& p, std::size_t buster) {
        const contest::ContestDefinition* played = contest_.contest;
        if (!played) return;
        const auto& fields = played->exchange.received;
        std::vector<std::size_t> texts;
        for (std::size_t f = 0; f < fields.size(); ++f)
            if (fields[f].kind == contest::FieldKind::kText) texts.push_back(f);
        if (texts.empty()) return;
        const std::size_t f = texts[pick(texts.size())];
        Qso& q = contest_.logs[p.a].qsos[p.i];
        std::vector<std::string> parts;
        for (std::size_t k = 0; k < fields.size(); ++k)
            parts.emplace_back(exchangeField(q.receivedExchange, k));
        const std::string was = parts[f];
        const auto& values = fields[f].values;
        while (parts[f] == was) {
            if (values.size() > 1)
                parts[f] = values[pick(values.size())];
            else if (!parts[f].empty())
                parts[f][pick(parts[f].size())] = kCharacters[pick(26)];
            else
                return;
        }
        std::string text;
        for (const std::string& part : parts) text += (text.empty() ? "" : " ") + part;
        q.receivedExchange = text;
        if (p.a != buster)
            contest_.faults.push_back({contest_.logs[p.a].call, q.line, Verdict::kBustedExchange, true,
                                       fields[f].name + " " + was + " copied as " + parts[f]});
    }

    SyntheticContest& contest_;
    std::mt19937_64 rng_;
    CallForms calls_;
};

}  // namespace

void injectSerialBusts(SyntheticContest& contest, double rate, std::uint64_t seed) {
    if (rate <= 0) return;
    if (contest.contest) {
        const ExchangeLayout layout(*contest.contest);
        if (layout.serialSent() < 0 || layout.serialReceived() < 0) return;
    }
    SerialBusts(contest, seed).inject(rate);
}

}  // namespace crosscheck
