#include "tools/crosscheck/contest_generator.h"

#include "core/contest_rules.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <unordered_map>
#include <unordered_set>

namespace crosscheck {

namespace {

using namespace std::chrono;

struct Entity {
    const char* name;
    const char* continent;
    const char* prefixes;  // the calls' prefixes, before the area digit
};

constexpr Entity kEntities[] = {
    {"Argentina", "SA", "LU,LW"}, {"Brazil", "SA", "PY,PP,PU"}, {"Chile", "SA", "CE,CA"},
    {"Uruguay", "SA", "CX"},      {"Colombia", "SA", "HK"},     {"Venezuela", "SA", "YV"},
    {"Peru", "SA", "OA"},         {"Paraguay", "SA", "ZP"},     {"Bolivia", "SA", "CP"},
    {"Ecuador", "SA", "HC"},      {"United States", "NA", "K,W,N"}, {"Canada", "NA", "VE"},
    {"Germany", "EU", "DL,DK"},   {"England", "EU", "G,M"},     {"Spain", "EU", "EA"},
    {"Italy", "EU", "I"},         {"Japan", "AS", "JA"},        {"South Africa", "AF", "ZS"},
};

const std::int64_t kStart = sys_seconds{sys_days{year{2026} / March / 7} + hours{12}}.time_since_epoch().count();
constexpr std::int64_t kMinutes = 24 * 60;
constexpr const char* kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// A band and mode of the contest with the kHz range of its segment: CW below the band's split,
// phone from it. Index: band * modes + mode, in the contest record's order.
struct BandMode {
    std::string_view band;
    std::string_view mode;
    std::uint32_t lowKHz, highKHz;
};
constexpr std::size_t kModeCount = stats::kContest.modes.size();
constexpr std::size_t kBandModeCount = stats::kContest.bands.size() * kModeCount;

constexpr std::array<BandMode, kBandModeCount> bandModes() {
    std::array<BandMode, kBandModeCount> out{};
    for (std::size_t b = 0; b < stats::kContest.bands.size(); ++b)
        for (std::size_t m = 0; m < kModeCount; ++m) {
            const stats::ContestBand& band = stats::kContest.bands[b];
            const bool cw = stats::kContest.modes[m].cw;
            out[b * kModeCount + m] = {band.name, stats::kContest.modes[m].name,
                                       cw ? band.lowKHz : band.phoneFromKHz,
                                       cw ? band.phoneFromKHz - 1 : band.highKHz};
        }
    return out;
}
constexpr std::array<BandMode, kBandModeCount> kBandModes = bandModes();

// The same mode on the next band, and the next mode on the same band.
constexpr std::uint8_t otherBand(std::uint8_t bm) {
    return static_cast<std::uint8_t>((bm + kModeCount) % kBandModeCount);
}
constexpr std::uint8_t otherMode(std::uint8_t bm) {
    return static_cast<std::uint8_t>(bm - bm % kModeCount + (bm % kModeCount + 1) % kModeCount);
}

class Generator {
  public:
    explicit Generator(const GeneratorOptions& options) : options_(options), rng_(options.seed) {}

    SyntheticContest run();

  private:
    std::uint64_t pick(std::uint64_t n) { return n ? rng_() % n : 0; }
    bool chance(double p) { return static_cast<double>(rng_() >> 11) * 0x1.0p-53 < p; }

    static void forms(const std::string& call, std::vector<std::string>& out) {
        out.assign(1, call);
        for (std::size_t i = 0; i < call.size(); ++i) out.push_back(call.substr(0, i) + call.substr(i + 1));
    }

    // A new call at least two edits from every call made so far (no shared one-deletion form).
    std::string newCall() {
        std::vector<std::string> f;
        for (;;) {
            const Entity& e = kEntities[pick(std::size(kEntities))];
            std::string prefixes = e.prefixes;
            std::vector<std::string> list;
            for (std::size_t at = 0; at <= prefixes.size();) {
                const std::size_t comma = std::min(prefixes.find(',', at), prefixes.size());
                list.push_back(prefixes.substr(at, comma - at));
                at = comma + 1;
            }
            std::string call = list[pick(list.size())] + char('0' + pick(10));
            for (std::uint64_t n = 2 + pick(2); n > 0; --n) call += kLetters[pick(26)];
            forms(call, f);
            if (std::none_of(f.begin(), f.end(), [&](const std::string& s) { return formOwner_.count(s); })) {
                const std::uint32_t id = static_cast<std::uint32_t>(calls_.size());
                for (const auto& s : f) formOwner_.emplace(s, id);
                calls_.push_back(call);
                return call;
            }
        }
    }

    // `call` copied wrong by one character, near no other call of the contest.
    std::string bustedCopy(std::uint32_t id) {
        const std::string& call = calls_[id];
        std::vector<std::string> f;
        for (;;) {
            std::string w = call;
            const std::size_t at = pick(call.size());
            const char c = pick(3) == 0 ? char('0' + pick(10)) : kLetters[pick(26)];
            switch (pick(3)) {
                case 0: w[at] = c; break;
                case 1: w.insert(w.begin() + static_cast<std::ptrdiff_t>(pick(call.size() + 1)), c); break;
                default: if (w.size() > 3) w.erase(at, 1); break;
            }
            if (w == call || !oneEditApart(w, call)) continue;
            forms(w, f);
            const bool clear = std::all_of(f.begin(), f.end(), [&](const std::string& s) {
                const auto owner = formOwner_.find(s);
                return owner == formOwner_.end() || owner->second == id;
            });
            if (clear) return w;
        }
    }

    std::string otherNumber(const std::string& number) {
        for (;;) {
            std::string n = number;
            n[pick(n.size())] = char('0' + pick(10));
            if (!sameNumber(n, number)) return n;
        }
    }

    const GeneratorOptions& options_;
    std::mt19937_64 rng_;
    std::vector<std::string> calls_;
    std::unordered_map<std::string, std::uint32_t> formOwner_;
};

// One side's record of a contact before it is written.
struct Record {
    std::int64_t time;
    std::uint32_t contact;
    std::uint32_t frequency;
    std::uint8_t bandMode;
    std::string call, sent, received;
    Verdict expected = Verdict::kVerified;
    std::string what;
    bool lost = true;
    const char* band = nullptr;  // set for a band or mode outside the contest's
    const char* mode = nullptr;
};

SyntheticContest Generator::run() {
    const std::size_t n = std::max<std::size_t>(options_.stations, 2);
    const std::size_t silent = std::max<std::size_t>(n / 4, 2);  // stations that send no log
    for (std::size_t i = 0; i < n + silent; ++i) newCall();

    struct Contact {
        std::int64_t minute;
        std::uint32_t a, b;
        std::uint8_t bandMode;
        std::uint32_t frequency;
    };
    // A station that sends no log runs on one band and mode for two hours, as such stations do:
    // many logs work it within minutes of each other.
    std::vector<std::int64_t> session(silent);
    std::vector<std::uint8_t> sessionBand(silent);
    for (std::size_t s = 0; s < silent; ++s) {
        session[s] = static_cast<std::int64_t>(pick(kMinutes - 120));
        sessionBand[s] = static_cast<std::uint8_t>(pick(kBandModeCount));
    }
    // Contacts between distinct stations, each pair once per band and mode (no dupes).
    std::vector<Contact> contacts;
    std::unordered_set<std::uint64_t> made;
    auto keyOf = [](std::uint32_t a, std::uint32_t b, std::uint8_t bm) {
        return (std::uint64_t{std::min(a, b)} << 34) | (std::uint64_t{std::max(a, b)} << 2) | bm;
    };
    const std::size_t pairsWanted = n * options_.qsosPerStation * 10 / 19;
    const std::size_t room = n * (n - 1) / 2 * 4 + n * silent;
    for (std::size_t tries = 0; contacts.size() < pairsWanted && contacts.size() < room / 2 && tries < pairsWanted * 8;
         ++tries) {
        const std::uint32_t a = static_cast<std::uint32_t>(pick(n));
        const std::uint32_t b = chance(0.1) ? static_cast<std::uint32_t>(n + pick(silent))
                                            : static_cast<std::uint32_t>(pick(n));
        if (a == b) continue;
        const bool quiet = b >= n;
        const std::uint8_t bm = quiet ? sessionBand[b - n] : static_cast<std::uint8_t>(pick(kBandModeCount));
        if (!made.insert(keyOf(a, b, bm)).second) continue;
        const BandMode& band = kBandModes[bm];
        const std::int64_t minute = quiet ? session[b - n] + static_cast<std::int64_t>(pick(120))
                                          : static_cast<std::int64_t>(pick(kMinutes));
        contacts.push_back({minute, a, b, bm, band.lowKHz + 1 + static_cast<std::uint32_t>(pick(band.highKHz - band.lowKHz - 1))});
    }
    std::sort(contacts.begin(), contacts.end(), [](const Contact& x, const Contact& y) {
        return std::tie(x.minute, x.a, x.b, x.bandMode) < std::tie(y.minute, y.a, y.b, y.bandMode);
    });

    // Clocks: a fifth of the stations 1 to 60 minutes off, a tenth a minute off, the rest right.
    std::vector<std::int64_t> clock(n);
    for (auto& c : clock) {
        const double roll = static_cast<double>(rng_() >> 11) * 0x1.0p-53;
        const std::int64_t sign = chance(0.5) ? 1 : -1;
        c = roll < 0.2 ? sign * 60 * static_cast<std::int64_t>(1 + pick(60)) : roll < 0.3 ? sign * 60 : 0;
    }

    std::vector<std::uint32_t> serial(n + silent, 0);
    std::vector<std::vector<Record>> records(n);
    auto number = [](std::uint32_t s) {
        char text[16];
        std::snprintf(text, sizeof text, "%03u", s);
        return std::string(text);
    };
    const double r = options_.faultRate;
    auto roll = [&] { return static_cast<double>(rng_() >> 11) * 0x1.0p-53; };
    for (std::uint32_t k = 0; k < contacts.size(); ++k) {
        const Contact& c = contacts[k];
        const std::string sentA = number(++serial[c.a]);
        const std::string sentB = number(++serial[c.b]);
        const std::int64_t t = kStart + c.minute * 60;
        records[c.a].push_back({t + clock[c.a], k, c.frequency, c.bandMode, calls_[c.b], sentA, sentB, {}, {}});
        if (c.b >= n) {
            // Only this side logs it: its copy of the silent station's call or number may be wrong.
            Record& side = records[c.a].back();
            const double x = roll();
            if (x < r) {
                side.call = bustedCopy(c.b);
                side.expected = Verdict::kBustedCallInferred;
                side.what = calls_[c.b] + " (sent no log) copied as " + side.call;
            } else if (x < 2 * r) {
                side.what = calls_[c.b] + " (sent no log): number " + side.received + " copied as ";
                side.received = otherNumber(side.received);
                side.what += side.received;
                side.expected = Verdict::kBustedExchangeInferred;
            }
            continue;
        }
        records[c.b].push_back({t + clock[c.b], k, c.frequency, c.bandMode, calls_[c.a], sentB, sentA, {}, {}});
        // Both vectors differ (a != b), so neither reference moves.
        const bool onA = chance(0.5);
        Record& side = onA ? records[c.a].back() : records[c.b].back();  // the side that gets the fault
        Record& other = onA ? records[c.b].back() : records[c.a].back();
        const std::uint32_t self = onA ? c.a : c.b;
        const std::uint32_t worked = onA ? c.b : c.a;
        const double x = roll();
        if (x < r) {
            other.expected = Verdict::kNotInLog;
            other.what = "dropped from " + calls_[self] + "'s log";
            side.call.clear();  // removed below
        } else if (x < 2 * r) {
            side.call = bustedCopy(worked);
            side.expected = Verdict::kBustedCall;
            side.what = calls_[worked] + " copied as " + side.call;
        } else if (x < 3 * r) {
            side.what = "number " + side.received + " copied as ";
            side.received = otherNumber(side.received);
            side.what += side.received;
            side.expected = Verdict::kBustedExchange;
        } else if (x < 4 * r) {
            // Logged 10 to 40 minutes off on one side, beyond any clock offset's correction.
            const std::int64_t shift = (chance(0.5) ? 1 : -1) * 60 * static_cast<std::int64_t>(10 + pick(31));
            side.time += shift;
            side.expected = other.expected = Verdict::kTimeMismatch;
            side.lost = other.lost = false;
            side.what = "logged " + std::to_string(shift / 60) + " min off";
            other.what = calls_[worked] + " logged it " + std::to_string(shift / 60) + " min off";
        } else if (x < 5 * r && !made.count(keyOf(c.a, c.b, otherBand(c.bandMode)))) {
            // The other band: without a frequency (a band designator) the other side's places it;
            // with a frequency of that band neither side's does.
            made.insert(keyOf(c.a, c.b, otherBand(c.bandMode)));
            const bool designator = chance(0.5);
            side.bandMode = otherBand(side.bandMode);
            const BandMode& wrong = kBandModes[side.bandMode];
            side.frequency = designator ? (wrong.lowKHz / 1000) * 1000 : wrong.lowKHz + 5;
            side.expected = other.expected = Verdict::kBandMismatch;
            other.lost = !designator;
            side.what = "logged on " + std::string(wrong.band) + (designator ? " (band designator)" : "");
            other.what = calls_[worked] + " logged it on " + std::string(wrong.band);
        } else if (x < 6 * r && !made.count(keyOf(c.a, c.b, otherMode(c.bandMode)))) {
            // The other mode on the same frequency, which places the mode of the other side.
            made.insert(keyOf(c.a, c.b, otherMode(c.bandMode)));
            side.bandMode = otherMode(side.bandMode);
            side.expected = other.expected = Verdict::kModeMismatch;
            other.lost = false;
            side.what = "logged in " + std::string(kBandModes[side.bandMode].mode);
            other.what = calls_[worked] + " logged it in " + std::string(kBandModes[side.bandMode].mode);
        }
    }
    for (std::size_t a = 0; a < n; ++a) {
        // Stations that sent no log and were worked once are unique; add some of those on purpose.
        if (chance(r * 10)) {
            const std::uint8_t bm = static_cast<std::uint8_t>(pick(kBandModeCount));
            const BandMode& band = kBandModes[bm];
            const std::string call = newCall();
            records[a].push_back({kStart + static_cast<std::int64_t>(pick(kMinutes)) * 60,
                                  static_cast<std::uint32_t>(contacts.size() + a), band.lowKHz + 1, bm, call,
                                  number(++serial[a]), number(1 + pick(300)), {}, {}});
        }
        // Dupes: a contact logged again a few minutes later.
        const std::size_t logged = records[a].size();
        for (std::size_t i = 0; i < logged; ++i) {
            if (!chance(r) || records[a][i].call.empty()) continue;
            Record dupe = records[a][i];
            dupe.time += 60 * static_cast<std::int64_t>(1 + pick(20));
            dupe.sent = number(++serial[a]);
            dupe.expected = Verdict::kDupe;
            dupe.lost = true;
            dupe.what = "logged again";
            records[a].push_back(std::move(dupe));
        }
        // QSOs outside the contest's bands and modes with a station that sent a log, and outside its period.
        const std::uint32_t partner = static_cast<std::uint32_t>((a + 1) % n);
        // (A QSO before the period gets a call of its own: it must not make a later QSO a dupe.)
        auto extra = [&](std::int64_t time, std::uint32_t khz, const char* band, const char* mode, Verdict v,
                         const char* what) {
            const std::string call = v == Verdict::kOutOfPeriod ? newCall() : calls_[partner];
            Record rec{time, 0, khz, 0, call, number(++serial[a]), number(1 + pick(300)), v, what};
            rec.band = band;
            rec.mode = mode;
            records[a].push_back(std::move(rec));
        };
        const std::int64_t during = kStart + static_cast<std::int64_t>(pick(kMinutes)) * 60;
        if (chance(r * 5)) extra(during, 3530, "80m", "CW", Verdict::kOutOfBand, "on 80m");
        if (chance(r * 5)) extra(during + 60, 21030, "15m", "CW", Verdict::kOutOfBand, "on 15m");
        if (chance(r * 5)) extra(during + 120, 7080, nullptr, "RY", Verdict::kOutOfMode, "in RTTY");
        if (chance(r * 5)) extra(kStart - 13 * 3600, 7010, nullptr, nullptr, Verdict::kOutOfPeriod, "the day before");
        if (chance(r * 5)) extra(kStart + 37 * 3600, 14010, nullptr, nullptr, Verdict::kOutOfPeriod, "the day after");
    }

    std::unordered_map<std::string, std::size_t> workedBy;  // logs per call that sent none
    std::unordered_set<std::string> loggedCalls(calls_.begin(), calls_.begin() + static_cast<std::ptrdiff_t>(n));
    for (std::size_t a = 0; a < n; ++a) {
        std::unordered_set<std::string> seen;
        for (const Record& rec : records[a])
            if (!rec.call.empty() && !loggedCalls.count(rec.call) && seen.insert(rec.call).second)
                ++workedBy[rec.call];
    }

    SyntheticContest out;
    out.logs.resize(n);
    out.frequencies.resize(n);
    out.power.resize(n);
    out.clockOffsets = clock;
    static constexpr const char* kPower[] = {"HIGH", "LOW", "QRP"};
    for (std::size_t a = 0; a < n; ++a) {
        auto& recs = records[a];
        recs.erase(std::remove_if(recs.begin(), recs.end(), [](const Record& x) { return x.call.empty(); }),
                   recs.end());
        std::stable_sort(recs.begin(), recs.end(), [](const Record& x, const Record& y) {
            return std::tie(x.time, x.contact) < std::tie(y.time, y.contact);
        });
        StationLog& log = out.logs[a];
        log.call = calls_[a];
        out.power[a] = kPower[pick(3)];
        for (std::size_t i = 0; i < recs.size(); ++i) {
            Record& rec = recs[i];
            const std::uint64_t line = kFirstQsoLine + i;
            if (rec.expected == Verdict::kVerified && !loggedCalls.count(rec.call) && workedBy[rec.call] == 1) {
                rec.expected = Verdict::kUnique;
                rec.lost = false;
                rec.what = rec.call + " sent no log and is in no other log";
            }
            if (rec.expected != Verdict::kVerified)
                out.faults.push_back({log.call, line, rec.expected, rec.lost, rec.what});
            const BandMode& bm = kBandModes[rec.bandMode];
            log.qsos.push_back({line, rec.time, rec.band ? rec.band : std::string(bm.band),
                                rec.mode ? rec.mode : std::string(bm.mode), rec.call,
                                rec.sent, rec.received, rec.frequency});
            out.frequencies[a].push_back(rec.frequency);
        }
        out.qsoCount += recs.size();
    }
    std::sort(out.faults.begin(), out.faults.end(), [](const InjectedFault& x, const InjectedFault& y) {
        return std::tie(x.call, x.line) < std::tie(y.call, y.line);
    });
    return out;
}

}  // namespace

bool isInferred(Verdict verdict) {
    return verdict == Verdict::kBustedCallInferred || verdict == Verdict::kBustedExchangeInferred;
}

SyntheticContest generateContest(const GeneratorOptions& options) {
    return Generator(options).run();
}

std::string cabrilloText(const SyntheticContest& contest, std::size_t index) {
    const StationLog& log = contest.logs[index];
    std::string out = "START-OF-LOG: 3.0\r\nCALLSIGN: " + log.call +
                      "\r\nCONTEST: " + std::string(stats::kContest.cabrilloName) + "\r\nCATEGORY-OPERATOR: SINGLE-OP\r\nCATEGORY-MODE: MIXED\r\n"
                      "CATEGORY-BAND: ALL\r\nCATEGORY-POWER: " +
                      contest.power[index] + "\r\nCREATED-BY: make-contest\r\n";
    char line[128];
    for (std::size_t i = 0; i < log.qsos.size(); ++i) {
        const Qso& q = log.qsos[i];
        const sys_seconds when{seconds{q.time}};
        const year_month_day day{floor<days>(when)};
        const hh_mm_ss<seconds> clock{when - floor<days>(when)};
        const stats::ContestMode* contestMode = stats::kContest.mode(q.mode);
        const bool cw = !contestMode || contestMode->cw;
        const std::string mode(contestMode ? contestMode->cabrilloCode : std::string_view(q.mode));
        const std::string report = std::string("599").substr(0, cw ? 3 : contestMode->reportDigits);
        std::snprintf(line, sizeof line, "QSO: %5u %-2s %04d-%02u-%02u %02d%02d %-13s %-3s %-6s %-13s %-3s %s\r\n",
                      contest.frequencies[index][i], mode.c_str(), static_cast<int>(day.year()),
                      static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()),
                      static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                      log.call.c_str(), report.c_str(), q.sent.c_str(), q.call.c_str(), report.c_str(),
                      q.received.c_str());
        out += line;
    }
    return out + "END-OF-LOG:\r\n";
}

std::string countryFileText() {
    std::string out;
    for (const Entity& e : kEntities) {
        std::string prefixes = e.prefixes;
        const std::string primary = prefixes.substr(0, prefixes.find(','));
        out += std::string(e.name) + ": 1: 1: " + e.continent + ": 0.00: 0.00: 0.0: " + primary + ":\n    " +
               prefixes + ";\n";
    }
    return out;
}

}  // namespace crosscheck
