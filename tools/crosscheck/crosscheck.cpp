#include "tools/crosscheck/crosscheck.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_map>

namespace crosscheck {

std::string_view verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::kNotInLog: return "NIL";
        case Verdict::kBustedCall: return "BUSTED CALL";
        case Verdict::kBustedExchange: return "BUSTED EXCHANGE";
        case Verdict::kUnique: return "UNIQUE";
        case Verdict::kVerified:
        case Verdict::kNoLog: break;
    }
    return {};
}

bool oneEditApart(std::string_view a, std::string_view b) {
    if (a.size() > b.size()) std::swap(a, b);
    if (b.size() - a.size() > 1) return false;
    std::size_t i = 0;
    while (i < a.size() && a[i] == b[i]) ++i;
    if (a.size() == b.size()) return i < a.size() && a.substr(i + 1) == b.substr(i + 1);
    return a.substr(i) == b.substr(i + 1);
}

namespace {

std::string_view withoutLeadingZeros(std::string_view s) {
    while (s.size() > 1 && s.front() == '0') s.remove_prefix(1);
    return s;
}

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool sameNumber(std::string_view a, std::string_view b) {
    if (allDigits(a) && allDigits(b)) return withoutLeadingZeros(a) == withoutLeadingZeros(b);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upper(x) == upper(y);
           });
}

void forEachIndex(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto loop = [&] {
        try {
            for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> threads;
    const std::size_t extra = std::min<std::size_t>(workers > 1 ? workers - 1 : 0, count > 1 ? count - 1 : 0);
    for (std::size_t t = 0; t < extra; ++t) threads.emplace_back(loop);
    loop();
    for (auto& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);
}

namespace {

// How a QSO is tied to a QSO of another log.
enum class Tie : std::uint8_t {
    kNone,
    kDirect,  // the two QSOs name each other's station
    kTaken,   // the other log's QSO is a busted call for this station
    kBust,    // this QSO's call is a busted copy of the other log's station
};

struct Link {
    std::uint32_t log = QsoCheck::kNone;
    std::uint32_t qso = 0;
    Tie tie = Tie::kNone;
};

// The group of a log's QSOs with one call on one band and mode: its stretch of the log's order.
struct Range {
    const std::uint32_t* begin = nullptr;
    const std::uint32_t* end = nullptr;
    bool empty() const { return begin == end; }
};

class Matcher {
  public:
    Matcher(const std::vector<StationLog>& logs, const CheckOptions& options) : logs_(logs), options_(options) {}

    std::vector<std::vector<QsoCheck>> run() {
        const std::size_t n = logs_.size();
        order_.resize(n);
        links_.resize(n);
        for (std::size_t i = 0; i < n; ++i) logOf_.emplace(logs_[i].call, static_cast<std::uint32_t>(i));
        forEachIndex(n, options_.workers, [&](std::size_t a) { sortLog(a); });
        countWorkedCalls();
        findNearCalls();
        forEachIndex(n, options_.workers, [&](std::size_t a) { pairDirect(a); });
        forEachIndex(n, options_.workers, [&](std::size_t a) { pairBusted(a); });
        std::vector<std::vector<QsoCheck>> result(n);
        forEachIndex(n, options_.workers, [&](std::size_t a) { result[a] = verdicts(a); });
        return result;
    }

  private:
    const Qso& qso(std::uint32_t log, std::uint32_t i) const { return logs_[log].qsos[i]; }

    // Each log's QSOs by call, band, mode, then time: every group is one stretch, sorted by time.
    void sortLog(std::size_t a) {
        const auto& qsos = logs_[a].qsos;
        auto& order = order_[a];
        order.resize(qsos.size());
        for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
            const Qso& p = qsos[x];
            const Qso& q = qsos[y];
            return std::tie(p.call, p.band, p.mode, p.time, p.line, x) <
                   std::tie(q.call, q.band, q.mode, q.time, q.line, y);
        });
        links_[a].assign(qsos.size(), Link{});
    }

    Range group(std::uint32_t log, const std::string& call, const std::string& band, const std::string& mode) const {
        const auto& order = order_[log];
        const auto& qsos = logs_[log].qsos;
        const auto key = std::tie(call, band, mode);
        const auto lo = std::lower_bound(order.begin(), order.end(), key, [&](std::uint32_t i, const auto& k) {
            return std::tie(qsos[i].call, qsos[i].band, qsos[i].mode) < k;
        });
        const auto hi = std::upper_bound(lo, order.end(), key, [&](const auto& k, std::uint32_t i) {
            return k < std::tie(qsos[i].call, qsos[i].band, qsos[i].mode);
        });
        return {order.data() + (lo - order.begin()), order.data() + (hi - order.begin())};
    }

    // Calls the loop with each group of log `a`: [first, last) of its order.
    template <typename F>
    void forEachGroup(std::size_t a, F&& f) const {
        const auto& order = order_[a];
        const auto& qsos = logs_[a].qsos;
        for (std::size_t i = 0; i < order.size();) {
            const Qso& head = qsos[order[i]];
            std::size_t j = i + 1;
            while (j < order.size() && qsos[order[j]].call == head.call && qsos[order[j]].band == head.band &&
                   qsos[order[j]].mode == head.mode)
                ++j;
            f(Range{order.data() + i, order.data() + j}, head);
            i = j;
        }
    }

    // Pairs the QSOs of two groups within the window, nearest first, each QSO at most once.
    // Only QSOs still untied take part. `ties` receives each pair.
    template <typename F>
    void pairNearest(std::uint32_t la, const std::vector<std::uint32_t>& xs, std::uint32_t lb, Range ys,
                     F&& tie) const {
        struct Candidate {
            std::int64_t distance;
            std::size_t x, y;
        };
        std::vector<Candidate> candidates;
        const std::int64_t w = options_.windowSeconds;
        std::size_t start = 0;
        const std::size_t ny = static_cast<std::size_t>(ys.end - ys.begin);
        for (std::size_t x = 0; x < xs.size(); ++x) {
            const std::int64_t tx = qso(la, xs[x]).time;
            while (start < ny && qso(lb, ys.begin[start]).time < tx - w) ++start;
            for (std::size_t y = start; y < ny && qso(lb, ys.begin[y]).time <= tx + w; ++y)
                if (links_[lb][ys.begin[y]].tie == Tie::kNone) {
                    const std::int64_t d = qso(lb, ys.begin[y]).time - tx;
                    candidates.push_back({d < 0 ? -d : d, x, y});
                }
        }
        std::sort(candidates.begin(), candidates.end(), [](const Candidate& p, const Candidate& q) {
            return std::tie(p.distance, p.x, p.y) < std::tie(q.distance, q.x, q.y);
        });
        std::vector<char> usedX(xs.size()), usedY(ny);
        for (const Candidate& c : candidates) {
            if (usedX[c.x] || usedY[c.y]) continue;
            usedX[c.x] = usedY[c.y] = 1;
            tie(xs[c.x], ys.begin[c.y]);
        }
    }

    // Every group of QSOs between two logs is paired by exactly one task: the one of the
    // station whose call sorts first, or the other one when that station has no such group.
    void pairDirect(std::size_t a) {
        const std::uint32_t la = static_cast<std::uint32_t>(a);
        const std::string& own = logs_[a].call;
        std::vector<std::uint32_t> xs;
        forEachGroup(a, [&](Range g, const Qso& head) {
            const auto other = logOf_.find(head.call);
            if (other == logOf_.end() || other->second == la) return;
            const std::uint32_t lb = other->second;
            const Range ys = group(lb, own, head.band, head.mode);
            if (own > head.call && !ys.empty()) return;
            xs.assign(g.begin, g.end);
            pairNearest(la, xs, lb, ys, [&](std::uint32_t x, std::uint32_t y) {
                links_[la][x] = {lb, y, Tie::kDirect};
                links_[lb][y] = {la, x, Tie::kDirect};
            });
        });
    }

    // A QSO with a call that sent no log is a busted call when exactly one logged call one edit
    // away holds an untied QSO with this station on the band and mode within the window. This
    // task writes only its own QSOs and the other logs' groups of QSOs with this station.
    void pairBusted(std::size_t a) {
        const std::uint32_t la = static_cast<std::uint32_t>(a);
        const std::string& own = logs_[a].call;
        struct Suspect {
            std::uint32_t log;
            std::uint32_t qso;
        };
        std::vector<Suspect> suspects;
        forEachGroup(a, [&](Range g, const Qso& head) {
            if (logOf_.count(head.call)) return;
            const auto near = nearCalls_.find(head.call);
            if (near == nearCalls_.end()) return;
            for (const std::uint32_t* x = g.begin; x != g.end; ++x) {
                const std::int64_t tx = qso(la, *x).time;
                std::uint32_t found = QsoCheck::kNone;
                int count = 0;
                for (const std::uint32_t lb : near->second) {
                    if (lb == la) continue;
                    const Range ys = group(lb, own, head.band, head.mode);
                    const bool open = std::any_of(ys.begin, ys.end, [&](std::uint32_t y) {
                        const Qso& q = qso(lb, y);
                        return links_[lb][y].tie == Tie::kNone && q.time >= tx - options_.windowSeconds &&
                               q.time <= tx + options_.windowSeconds;
                    });
                    if (open) {
                        found = lb;
                        ++count;
                    }
                }
                if (count == 1) suspects.push_back({found, *x});
            }
        });
        // Pair per other station, band and mode, nearest first, as for direct matches.
        std::sort(suspects.begin(), suspects.end(), [&](const Suspect& p, const Suspect& q) {
            const Qso& x = qso(la, p.qso);
            const Qso& y = qso(la, q.qso);
            return std::tie(p.log, x.band, x.mode, x.time, x.line, p.qso) <
                   std::tie(q.log, y.band, y.mode, y.time, y.line, q.qso);
        });
        std::vector<std::uint32_t> xs;
        for (std::size_t i = 0; i < suspects.size();) {
            const Qso& head = qso(la, suspects[i].qso);
            const std::uint32_t lb = suspects[i].log;
            xs.clear();
            std::size_t j = i;
            for (; j < suspects.size() && suspects[j].log == lb && qso(la, suspects[j].qso).band == head.band &&
                   qso(la, suspects[j].qso).mode == head.mode;
                 ++j)
                xs.push_back(suspects[j].qso);
            pairNearest(la, xs, lb, group(lb, own, head.band, head.mode), [&](std::uint32_t x, std::uint32_t y) {
                links_[la][x] = {lb, y, Tie::kBust};
                links_[lb][y] = {la, x, Tie::kTaken};
            });
            i = j;
        }
    }

    // How many logs hold a QSO with each call worked.
    void countWorkedCalls() {
        for (std::size_t a = 0; a < logs_.size(); ++a)
            forEachGroup(a, [&](Range, const Qso& head) {
                auto& entry = workedBy_[head.call];
                if (entry.last != a || entry.count == 0) {
                    entry.last = a;
                    ++entry.count;
                }
            });
    }

    // For each call that sent no log, the logged calls one edit away, found through the calls
    // with one character deleted (two calls one edit apart share such a form).
    void findNearCalls() {
        std::unordered_map<std::string, std::vector<std::uint32_t>> byDeletion;
        auto forms = [](const std::string& call, auto&& f) {
            f(call);
            std::string form;
            for (std::size_t i = 0; i < call.size(); ++i) {
                if (i > 0 && call[i] == call[i - 1]) continue;
                form.assign(call, 0, i);
                form.append(call, i + 1);
                f(form);
            }
        };
        for (const auto& [call, log] : logOf_)
            forms(call, [&](const std::string& form) { byDeletion[form].push_back(log); });
        for (const auto& [call, worked] : workedBy_) {
            if (logOf_.count(call)) continue;
            std::vector<std::uint32_t> near;
            forms(call, [&](const std::string& form) {
                const auto it = byDeletion.find(form);
                if (it == byDeletion.end()) return;
                for (const std::uint32_t log : it->second)
                    if (oneEditApart(call, logs_[log].call) && std::find(near.begin(), near.end(), log) == near.end())
                        near.push_back(log);
            });
            if (!near.empty()) nearCalls_.emplace(call, std::move(near));
        }
    }

    std::vector<QsoCheck> verdicts(std::size_t a) const {
        const auto& qsos = logs_[a].qsos;
        std::vector<QsoCheck> out(qsos.size());
        for (std::size_t i = 0; i < qsos.size(); ++i) {
            const Link& link = links_[a][i];
            QsoCheck& check = out[i];
            check.otherLog = link.log;
            check.otherQso = link.qso;
            switch (link.tie) {
                case Tie::kDirect:
                case Tie::kTaken:
                    check.verdict = sameNumber(qsos[i].received, qso(link.log, link.qso).sent)
                                        ? Verdict::kVerified
                                        : Verdict::kBustedExchange;
                    break;
                case Tie::kBust: check.verdict = Verdict::kBustedCall; break;
                case Tie::kNone: {
                    const auto other = logOf_.find(qsos[i].call);
                    if (other != logOf_.end() && other->second != a) {
                        check.verdict = Verdict::kNotInLog;
                        check.otherLog = other->second;
                    } else {
                        const auto worked = workedBy_.find(qsos[i].call);
                        check.verdict = worked != workedBy_.end() && worked->second.count > 1 ? Verdict::kNoLog
                                                                                              : Verdict::kUnique;
                    }
                    break;
                }
            }
        }
        return out;
    }

    struct Worked {
        std::size_t last = 0;
        std::uint32_t count = 0;
    };

    const std::vector<StationLog>& logs_;
    const CheckOptions& options_;
    std::unordered_map<std::string, std::uint32_t> logOf_;
    std::vector<std::vector<std::uint32_t>> order_;
    std::vector<std::vector<Link>> links_;
    std::unordered_map<std::string, Worked> workedBy_;
    std::unordered_map<std::string, std::vector<std::uint32_t>> nearCalls_;
};

}  // namespace

std::vector<std::vector<QsoCheck>> crossCheck(const std::vector<StationLog>& logs, const CheckOptions& options) {
    return Matcher(logs, options).run();
}

}  // namespace crosscheck
