#include "tools/crosscheck/contest_generator.h"

#include "core/qso_line.h"
#include "core/text.h"
#include "tools/crosscheck/evidence.h"
#include "tools/crosscheck/exchange.h"
#include "tools/crosscheck/generator_plan.h"
#include "tools/crosscheck/serial_busts.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

namespace crosscheck {

namespace {

using namespace std::chrono;
using generator::BandMode;
using generator::kMaxBands;
using generator::Plan;

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

constexpr const char* kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";


// A station: how it numbers, its clock, its sequences; a station that sends no log also its
// sessions on the air (two hours each on one band and mode).
struct Station {
    Numbering numbering = Numbering::kOneSequence;
    std::int64_t clock = 0;  // seconds ahead
    std::uint64_t swaps = 0;  // per transmitter: which transmitter has which bands, hour by hour
    std::array<std::uint32_t, kMaxBands> serial{};
    std::vector<std::string> texts;  // a value for each of the exchange's text fields
    std::vector<std::pair<std::int64_t, std::uint8_t>> sessions;  // first minute, band and mode
    std::string lastReceived = "000";  // the first number received in its last QSO: relayed in the next
};

// One contact of two stations, before either logs it.
struct Contact {
    std::int64_t minute;
    std::uint32_t a, b;
    std::uint8_t bandMode;
    std::uint32_t frequency;
    bool dupe = false;     // a repeat of an earlier contact
    bool repeated = false;  // repeated later: no fault is injected into it
    bool lone = false;      // with a station no other log works (a unique): no fault either
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
    const char* mode = nullptr;  // set for a mode outside the contest's
    std::string transmitter;
    std::vector<std::string> texts;  // the received text fields' values, as logged
    std::string relayedSent = "000", relayedReceived = "000";  // where the exchange relays a number
};

// The Cabrillo 3.0 header values the generated logs carry, whatever the contest.
constexpr std::string_view kOperators[] = {"SINGLE-OP", "MULTI-OP"};
constexpr std::string_view kTransmitters[] = {"ONE", "TWO", "UNLIMITED"};
constexpr std::string_view kPowers[] = {"HIGH", "LOW", "QRP"};

// A value of the header category `tag`, by its place in the list above.
std::string_view categoryValue(std::string_view tag, std::size_t index) {
    return tag == "CATEGORY-OPERATOR" ? kOperators[index] : kTransmitters[index];
}

// A single operator's one transmitter, a multi-operator station's two or any number.
std::string_view transmitterCategory(Numbering numbering) {
    switch (numbering) {
        case Numbering::kOneSequence: return categoryValue("CATEGORY-TRANSMITTER", 0);
        case Numbering::kPerBand: return categoryValue("CATEGORY-TRANSMITTER", 2);
        case Numbering::kPerTransmitter: return categoryValue("CATEGORY-TRANSMITTER", 1);
    }
    return {};
}

// The signal report of a QSO in `mode`: 599, or 59 in a phone mode of the contest.
std::string reportFor(const contest::ContestDefinition& contest, std::string_view mode) {
    const contest::Mode* m = contest.mode(mode);
    return std::string("599").substr(0, !m || m->cw ? 3 : m->reportDigits);
}

std::string number(std::uint32_t s) {
    char text[16];
    std::snprintf(text, sizeof text, "%03u", s);
    return text;
}

class Generator {
  public:
    explicit Generator(const GeneratorOptions& options)
        : options_(options), rng_(options.seed), plan_(options.contest ? *options.contest : saTolven()) {}

    SyntheticContest run() {
        n_ = std::max<std::size_t>(options_.stations, 2);
        silent_ = std::max<std::size_t>(n_ / 4, 2);
        makeStations();
        makeContacts();
        records_.resize(n_);
        for (std::uint32_t k = 0; k < contacts_.size(); ++k) logContact(k);
        for (std::size_t a = 0; a < n_; ++a) addExtras(a);
        expectUniques();
        return write();
    }

  private:
    std::uint64_t pick(std::uint64_t n) { return n ? rng_() % n : 0; }
    double roll() { return static_cast<double>(rng_() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return roll() < p; }

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
            if (w == call || !oneEditApart(w, call) || usedBusts_.count(w)) continue;
            forms(w, f);
            const bool clear = std::all_of(f.begin(), f.end(), [&](const std::string& s) {
                const auto owner = formOwner_.find(s);
                return owner == formOwner_.end() || owner->second == id;
            });
            // Each bust once: two logs with the same wrong call would have worked a station.
            if (clear && usedBusts_.insert(w).second) return w;
        }
    }

    std::string otherNumber(const std::string& number) {
        for (;;) {
            std::string n = number;
            n[pick(n.size())] = char('0' + pick(10));
            if (!sameNumber(n, number)) return n;
        }
    }

    // A band and mode: mostly the contest's, now and then one it does not count.
    std::uint8_t anyBandMode() {
        const std::size_t counted = plan_.contestBandModes(), others = plan_.bandModes() - counted;
        return static_cast<std::uint8_t>(chance(0.15) && others ? counted + pick(others) : pick(counted));
    }

    // A station's session on the air: two hours, or the whole of a shorter contest.
    std::int64_t session() const { return std::min<std::int64_t>(120, plan_.minutes()); }

    // Most stations have one operator and one sequence; some are multi-operator stations that
    // number per band or per transmitter. A fifth of the clocks are 1 to 60 minutes off, a tenth
    // a minute off.
    void makeStations() {
        for (std::size_t i = 0; i < n_ + silent_; ++i) newCall();
        stations_.resize(n_ + silent_);
        for (std::size_t s = 0; s < stations_.size(); ++s) {
            Station& st = stations_[s];
            const double kind = roll();
            st.numbering = plan_.allowed(kind < 0.7    ? Numbering::kOneSequence
                                         : kind < 0.85 ? Numbering::kPerBand
                                                       : Numbering::kPerTransmitter);
            st.swaps = rng_();
            const double clock = roll();
            const std::int64_t sign = chance(0.5) ? 1 : -1;
            if (s < n_) st.clock = clock < 0.2 ? sign * 60 * static_cast<std::int64_t>(1 + pick(60)) : clock < 0.3 ? sign * 60 : 0;
            // A station that sends no log is on the air in a few sessions of two hours.
            if (s >= n_)
                for (std::uint64_t k = 1 + pick(3); k > 0; --k)
                    st.sessions.emplace_back(static_cast<std::int64_t>(pick(std::max<std::int64_t>(plan_.minutes() - session(), 1))), anyBandMode());
        }
        for (Station& st : stations_) giveTexts(st);
    }

    // A value of each text field for a station: one of the field's list, else two letters.
    void giveTexts(Station& st) {
        for (const contest::ExchangeField* f : plan_.textFields())
            st.texts.push_back(f->values.empty() ? std::string{kLetters[pick(26)], kLetters[pick(26)]}
                                                 : f->values[pick(f->values.size())]);
    }

    // `value` of text field `f` copied wrong: another of its list, else one letter changed.
    std::string otherText(const contest::ExchangeField& f, const std::string& value) {
        for (;;) {
            std::string w = f.values.empty() || f.values.size() < 2 ? value : f.values[pick(f.values.size())];
            if (f.values.size() < 2) w[pick(w.size())] = kLetters[pick(26)];
            if (!stats::equalsIgnoringCase(w, value)) return w;
        }
    }

    // An exchange as a log gives it, fields one blank apart: `texts` are the text fields' values
    // in the order of the plan's text fields.
    std::string exchangeText(const std::vector<contest::ExchangeField>& fields, const std::string& report,
                             const std::string& serial, const std::string& relayed,
                             const std::vector<std::string>& texts) const {
        std::string out;
        for (const contest::ExchangeField& f : fields) {
            if (!out.empty()) out += ' ';
            const std::size_t t = plan_.textIndex(f.name);
            out += f.kind == contest::FieldKind::kRst       ? report
                   : f.kind == contest::FieldKind::kSerial  ? serial
                   : f.kind == contest::FieldKind::kRelayed ? relayed
                   : t < texts.size()                        ? texts[t]
                                                             : std::string();
        }
        return out;
    }

    // The received texts of a QSO with station `other`: its values of the received text fields.
    std::vector<std::string> receivedTexts(std::uint32_t other) const {
        const std::vector<std::string>& all = stations_[other].texts;
        return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(plan_.receivedTexts())};
    }

    void makeContacts();
    void workAgain();
    void logContact(std::uint32_t k);
    void injectSilentFault(Record& side, std::uint32_t silent);
    void injectFault(const Contact& c, bool onA);
    void miscopy(Record& side);
    void addExtras(std::size_t a);
    void expectUniques();
    SyntheticContest write();

    // The next number `s` sends on band and mode `bm` at `minute`, and the transmitter it sends it
    // from ("" when the station gives no transmitter id).
    std::pair<std::string, std::string> nextNumber(std::uint32_t s, std::uint8_t bm, std::int64_t minute) {
        Station& st = stations_[s];
        const std::size_t band = plan_.bandOf(bm);
        switch (st.numbering) {
            case Numbering::kOneSequence: return {number(++st.serial[0]), {}};
            case Numbering::kPerBand: return {number(++st.serial[band]), {}};
            case Numbering::kPerTransmitter: break;
        }
        // Two transmitters, each with every other band, trading them every hour or so.
        const std::uint64_t hour = static_cast<std::uint64_t>(minute / 60);
        const std::size_t tx = (band + ((st.swaps >> (hour % 64)) & 1)) % 2;
        return {number(++st.serial[tx]), std::string(1, static_cast<char>('0' + tx))};
    }

    const GeneratorOptions& options_;
    std::mt19937_64 rng_;
    Plan plan_;
    std::size_t n_ = 0, silent_ = 0;  // stations that send a log, stations that send none
    std::vector<std::string> calls_;
    std::unordered_map<std::string, std::uint32_t> formOwner_;
    std::unordered_set<std::string> usedBusts_;
    std::vector<Station> stations_;
    std::vector<Contact> contacts_;
    std::unordered_set<std::uint64_t> made_;
    std::vector<std::vector<Record>> records_;
};

std::uint64_t pairKey(std::uint32_t a, std::uint32_t b, std::uint8_t bm) {
    return (std::uint64_t{std::min(a, b)} << 36) | (std::uint64_t{std::max(a, b)} << 8) | bm;
}

// Contacts between distinct stations, each pair once per band and mode, a few repeated minutes
// later (dupes). A station that sends no log is worked within its sessions.
void Generator::makeContacts() {
    const std::size_t wanted = n_ * options_.qsosPerStation * 10 / 19;
    const std::size_t room = (n_ * (n_ - 1) / 2 + n_ * silent_) * plan_.bandModes();
    for (std::size_t tries = 0; contacts_.size() < wanted && contacts_.size() < room / 2 && tries < wanted * 8; ++tries) {
        const std::uint32_t a = static_cast<std::uint32_t>(pick(n_));
        const std::uint32_t b = static_cast<std::uint32_t>(chance(0.1) ? n_ + pick(silent_) : pick(n_));
        if (a == b) continue;
        std::int64_t minute = static_cast<std::int64_t>(pick(plan_.minutes()));
        std::uint8_t bm = anyBandMode();
        if (b >= n_) {
            const auto& sessions = stations_[b].sessions;
            std::tie(minute, bm) = sessions[pick(sessions.size())];
            minute += static_cast<std::int64_t>(pick(session()));
        }
        if (!made_.insert(pairKey(a, b, bm)).second) continue;
        const BandMode& band = plan_[bm];
        const std::uint32_t khz = band.lowKHz + 1 + static_cast<std::uint32_t>(pick(band.highKHz - band.lowKHz - 1));
        contacts_.push_back({minute, a, b, bm, khz});
        if (chance(options_.faultRate)) workAgain();
    }
    // Now and then a station that only this log works: a unique.
    for (std::uint32_t a = 0; a < n_; ++a) {
        if (!chance(options_.faultRate * 10)) continue;
        const std::uint8_t bm = static_cast<std::uint8_t>(pick(plan_.contestBandModes()));
        newCall();
        giveTexts(stations_.emplace_back());
        Contact c{static_cast<std::int64_t>(pick(plan_.minutes())), a, static_cast<std::uint32_t>(stations_.size() - 1), bm,
                  plan_[bm].lowKHz + 1};
        c.lone = true;
        contacts_.push_back(c);
    }
    std::sort(contacts_.begin(), contacts_.end(), [](const Contact& x, const Contact& y) {
        return std::tie(x.minute, x.a, x.b, x.bandMode, x.dupe) < std::tie(y.minute, y.a, y.b, y.bandMode, y.dupe);
    });
}

// The last contact made again, with no fault in either: where the contest counts a repeat after
// some minutes or in the next period, half of them after those minutes or in a later period (a QSO
// that counts), the others minutes later in the same period (a dupe, as a repeat too soon is).
void Generator::workAgain() {
    Contact again = contacts_.back();
    contacts_.back().repeated = again.repeated = true;
    const contest::Checking& rules = plan_.contest().checking;
    const std::size_t period = plan_.periodOf(again.minute);
    const bool laterPeriod = rules.dupesPerPeriod && period + 1 < plan_.periodsPlayed();
    if ((rules.repeatAfterMinutes || laterPeriod) && chance(0.5)) {
        if (laterPeriod) {
            const std::int64_t from = plan_.firstMinuteOf(period + 1 + pick(plan_.periodsPlayed() - period - 1));
            again.minute = from + static_cast<std::int64_t>(pick(20));
        } else {
            again.minute += *rules.repeatAfterMinutes + 2 + static_cast<std::int64_t>(pick(30));
        }
        if (again.minute < plan_.minutes()) contacts_.push_back(again);
        return;
    }
    const std::int64_t soon = rules.repeatAfterMinutes ? std::min<std::int64_t>(20, *rules.repeatAfterMinutes - 2) : 20;
    if (soon < 1) return;
    again.minute += 1 + static_cast<std::int64_t>(pick(static_cast<std::uint64_t>(soon)));
    again.dupe = true;
    if (plan_.periodsPlayed() == 1 || again.minute < plan_.firstMinuteOf(period + 1)) contacts_.push_back(again);
}

// Both sides log the contact with the numbers of their sequences (only one side when the other
// sends no log); then a fault may be injected.
void Generator::logContact(std::uint32_t k) {
    const Contact& c = contacts_[k];
    const auto [sentA, txA] = nextNumber(c.a, c.bandMode, c.minute);
    const auto [sentB, txB] = nextNumber(c.b, c.bandMode, c.minute);
    const std::int64_t t = plan_.timeOf(c.minute);
    const bool counted = c.bandMode < plan_.contestBandModes();
    auto add = [&](std::uint32_t self, std::uint32_t other, const std::string& sent, const std::string& received,
                   const std::string& tx) {
        Record rec{t + stations_[self].clock, k, c.frequency, c.bandMode, calls_[other], sent, received};
        rec.transmitter = tx;
        rec.texts = receivedTexts(other);
        rec.relayedSent = stations_[self].lastReceived;
        rec.relayedReceived = stations_[other].lastReceived;
        if (!counted) {
            rec.expected = Verdict::kOutOfBand;
            rec.what = "on " + std::string(plan_[c.bandMode].band);
        } else if (c.dupe) {
            rec.expected = Verdict::kDupe;
            rec.what = "logged again";
        }
        records_[self].push_back(std::move(rec));
    };
    add(c.a, c.b, sentA, sentB, txA);
    // Each station relays in its next QSO the number it received here, as it logged it.
    if (c.b >= n_) {
        if (counted && !c.dupe && !c.repeated && !c.lone) injectSilentFault(records_[c.a].back(), c.b);
        stations_[c.a].lastReceived = records_[c.a].back().received;
        stations_[c.b].lastReceived = sentA;
        return;
    }
    add(c.b, c.a, sentB, sentA, txB);
    if (counted && !c.dupe && !c.repeated) injectFault(c, chance(0.5));
    stations_[c.a].lastReceived = records_[c.a].back().received;
    stations_[c.b].lastReceived = records_[c.b].back().received;
}

// Only this side logs it: its copy of the silent station's call or number may be wrong.
void Generator::injectSilentFault(Record& side, std::uint32_t silent) {
    const double r = options_.faultRate;
    const double x = roll();
    if (x < r) {
        side.call = bustedCopy(silent);
        side.expected = Verdict::kBustedCallInferred;
        side.what = calls_[silent] + " (sent no log) copied as " + side.call;
    } else if (x < 2 * r) {
        side.what = calls_[silent] + " (sent no log): number " + side.received + " copied as ";
        side.received = otherNumber(side.received);
        side.what += side.received;
        side.expected = Verdict::kBustedExchangeInferred;
    }
}

// One of the two sides' records gets a fault: dropped, a miscopied call or number, logged far
// off in time, on the other band or in the other mode.
void Generator::injectFault(const Contact& c, bool onA) {
    // Both vectors differ (a != b), so neither reference moves.
    Record& side = onA ? records_[c.a].back() : records_[c.b].back();
    Record& other = onA ? records_[c.b].back() : records_[c.a].back();
    const std::uint32_t self = onA ? c.a : c.b;
    const std::uint32_t worked = onA ? c.b : c.a;
    const double r = options_.faultRate;
    const double x = roll();
    if (x < r) {
        other.expected = Verdict::kNotInLog;
        other.what = "dropped from " + calls_[self] + "'s log";
        side.call.clear();  // removed when written
    } else if (x < 2 * r) {
        side.call = bustedCopy(worked);
        side.expected = Verdict::kBustedCall;
        side.what = calls_[worked] + " copied as " + side.call;
    } else if (x < 3 * r) {
        miscopy(side);
    } else if (x < 4 * r) {
        // Logged 10 to 40 minutes off on one side, beyond any clock offset's correction.
        // (Toward the middle of the contest: a QSO pushed out of its period would be OUT OF PERIOD.)
        const std::int64_t shift = plan_.towardMiddle(c.minute) * 60 * static_cast<std::int64_t>(10 + pick(31));
        side.time += shift;
        side.expected = other.expected = Verdict::kTimeMismatch;
        side.lost = other.lost = false;
        side.what = "logged " + std::to_string(shift / 60) + " min off";
        other.what = calls_[worked] + " logged it " + std::to_string(shift / 60) + " min off";
    } else if (x < 5 * r && made_.insert(pairKey(c.a, c.b, plan_.otherBand(c.bandMode))).second) {
        // The other band: without a frequency (a band designator) the other side's places it;
        // with a frequency of that band neither side's does.
        const bool designator = chance(0.5);
        side.bandMode = plan_.otherBand(side.bandMode);
        const BandMode& wrong = plan_[side.bandMode];
        side.frequency = designator ? wrong.designatorKHz : wrong.lowKHz + 5;
        side.expected = other.expected = Verdict::kBandMismatch;
        other.lost = !designator;
        side.what = "logged on " + std::string(wrong.band) + (designator ? " (band designator)" : "");
        other.what = calls_[worked] + " logged it on " + std::string(wrong.band);
    } else if (x < 6 * r && made_.insert(pairKey(c.a, c.b, plan_.otherMode(c.bandMode))).second) {
        // The other mode on the same frequency, which places the mode of the other side.
        side.bandMode = plan_.otherMode(side.bandMode);
        side.expected = other.expected = Verdict::kModeMismatch;
        other.lost = false;
        side.what = "logged in " + std::string(plan_[side.bandMode].mode);
        other.what = calls_[worked] + " logged it in " + std::string(plan_[side.bandMode].mode);
    }
}

// The exchange received copied wrong: the number, or now and then a relayed number or a text field.
void Generator::miscopy(Record& side) {
    side.expected = Verdict::kBustedExchange;
    if (contest::Exchange::firstOf(plan_.contest().exchange.received, contest::FieldKind::kRelayed) >= 0 &&
        chance(0.4)) {
        side.what = "relayed number " + side.relayedReceived + " copied as ";
        side.relayedReceived = otherNumber(side.relayedReceived);
        side.what += side.relayedReceived;
        return;
    }
    if (plan_.receivedTexts() > 0 && (!plan_.receivesSerial() || chance(0.5))) {
        const std::size_t j = pick(plan_.receivedTexts());
        const contest::ExchangeField& f = *plan_.textFields()[j];
        side.what = f.name + " " + side.texts[j] + " copied as ";
        side.texts[j] = otherText(f, side.texts[j]);
        side.what += side.texts[j];
        return;
    }
    side.what = "number " + side.received + " copied as ";
    side.received = otherNumber(side.received);
    side.what += side.received;
}

// QSOs in a mode the contest does not use, and outside its period.
void Generator::addExtras(std::size_t a) {
    const double r = options_.faultRate;
    auto& records = records_[a];
    // (A QSO outside the period gets a call of its own: it must not make a later QSO a dupe.)
    const std::uint32_t partner = static_cast<std::uint32_t>((a + 1) % n_);
    auto extra = [&](std::int64_t time, std::uint32_t khz, const char* mode, Verdict v, const char* what) {
        const std::string call = v == Verdict::kOutOfPeriod ? newCall() : calls_[partner];
        Record rec{time, 0, khz, 0, call, number(9000 + static_cast<std::uint32_t>(pick(900))),
                   number(1 + static_cast<std::uint32_t>(pick(300))), v, what};
        rec.mode = mode;
        rec.texts = receivedTexts(partner);
        records.push_back(std::move(rec));
    };
    // On the first band's first segment, and after the period on the second band's.
    const std::uint32_t first = plan_[0].lowKHz, second = plan_[std::min<std::size_t>(plan_.modes(), plan_.contestBandModes() - 1)].lowKHz;
    const std::int64_t during = plan_.timeOf(static_cast<std::int64_t>(pick(plan_.minutes())));
    if (chance(r * 5)) extra(during + 120, first + 80, "RY", Verdict::kOutOfMode, "in RTTY");
    if (chance(r * 5)) extra(plan_.periodStart() - 6 * 3600, first + 10, nullptr, Verdict::kOutOfPeriod, "two days before");
    if (chance(r * 5)) extra(plan_.periodEnd() + 2 * 3600, second + 10, nullptr, Verdict::kOutOfPeriod, "the day after");
}

// A QSO with a station that sent no log is UNIQUE when no other log holds that call, UNIQUE ON
// THIS BAND when other logs hold it only on other bands.
void Generator::expectUniques() {
    std::unordered_map<std::string, std::vector<std::pair<std::size_t, std::size_t>>> holders;  // log, band
    std::unordered_set<std::string> logged(calls_.begin(), calls_.begin() + static_cast<std::ptrdiff_t>(n_));
    for (std::size_t a = 0; a < n_; ++a)
        for (const Record& rec : records_[a])
            if (!rec.call.empty() && !logged.count(rec.call)) holders[rec.call].emplace_back(a, plan_.bandOf(rec.bandMode));
    for (std::size_t a = 0; a < n_; ++a)
        for (Record& rec : records_[a]) {
            if (rec.expected != Verdict::kVerified || rec.call.empty() || logged.count(rec.call)) continue;
            bool onBand = false, elsewhere = false;
            for (const auto& [log, band] : holders[rec.call])
                if (log != a) (band == plan_.bandOf(rec.bandMode) ? onBand : elsewhere) = true;
            if (onBand) continue;
            rec.expected = elsewhere ? Verdict::kUniqueOnBand : Verdict::kUnique;
            rec.lost = false;
            rec.what = rec.call + (elsewhere ? " sent no log; the other logs hold it only on other bands"
                                             : " sent no log and is in no other log");
        }
}

SyntheticContest Generator::write() {
    SyntheticContest out;
    out.logs.resize(n_);
    out.frequencies.resize(n_);
    out.power.resize(n_);
    out.contest = options_.contest;
    for (std::size_t a = 0; a < n_; ++a) {
        out.clockOffsets.push_back(stations_[a].clock);
        out.numbering.push_back(stations_[a].numbering);
    }
    const std::span<const std::string_view> powers = kPowers;
    for (std::size_t a = 0; a < n_; ++a) {
        auto& recs = records_[a];
        recs.erase(std::remove_if(recs.begin(), recs.end(), [](const Record& x) { return x.call.empty(); }), recs.end());
        std::stable_sort(recs.begin(), recs.end(), [](const Record& x, const Record& y) {
            return std::tie(x.time, x.contact) < std::tie(y.time, y.contact);
        });
        StationLog& log = out.logs[a];
        log.call = calls_[a];
        log.transmitterCategory = std::string(transmitterCategory(stations_[a].numbering));
        out.power[a] = powers[pick(powers.size())];
        for (std::size_t i = 0; i < recs.size(); ++i) {
            Record& rec = recs[i];
            const std::uint64_t line = kFirstQsoLine + i;
            if (rec.expected != Verdict::kVerified) out.faults.push_back({log.call, line, rec.expected, rec.lost, rec.what});
            const BandMode& bm = plan_[rec.bandMode];
            Qso& q = log.qsos.emplace_back(Qso{line, rec.time, std::string(bm.band),
                                                rec.mode ? rec.mode : std::string(bm.mode), rec.call, rec.sent,
                                                rec.received, rec.frequency, std::string_view(rec.transmitter)});
            if (options_.contest) {  // a definition's logs carry every field; SA-TOLVEN's the numbers alone
                const std::string report = reportFor(plan_.contest(), q.mode);
                const contest::Exchange& x = plan_.contest().exchange;
                q.sentExchange = exchangeText(x.sent, report, rec.sent, rec.relayedSent, stations_[a].texts);
                q.receivedExchange = exchangeText(x.received, report, rec.received, rec.relayedReceived, rec.texts);
            }
            out.frequencies[a].push_back(rec.frequency);
        }
        out.qsoCount += recs.size();
    }
    std::sort(out.faults.begin(), out.faults.end(), [](const InjectedFault& x, const InjectedFault& y) {
        return std::tie(x.call, x.line) < std::tie(y.call, y.line);
    });
    return out;
}

// An exchange text's fields.
std::vector<std::string_view> fieldsOf(std::string_view exchange) {
    std::vector<std::string_view> out;
    for (std::size_t at = 0; at <= exchange.size();) {
        const std::size_t blank = std::min(exchange.find(' ', at), exchange.size());
        out.push_back(exchange.substr(at, blank - at));
        at = blank + 1;
    }
    return out;
}

}  // namespace

bool isInferred(Verdict verdict) {
    return verdict == Verdict::kBustedCallInferred || verdict == Verdict::kBustedExchangeInferred;
}

SyntheticContest generateContest(const GeneratorOptions& options) {
    SyntheticContest contest = Generator(options).run();
    injectSerialBusts(contest, options.serialBustRate, options.seed);
    return contest;
}

std::string cabrilloText(const SyntheticContest& contest, std::size_t index) {
    const contest::ContestDefinition& played = contest.contest ? *contest.contest : saTolven();
    const StationLog& log = contest.logs[index];
    const bool single = log.transmitterCategory == transmitterCategory(Numbering::kOneSequence);
    std::string out =
        "START-OF-LOG: 3.0\r\nCALLSIGN: " + log.call + "\r\nCONTEST: " + played.names.front() +
        "\r\nCATEGORY-OPERATOR: " + std::string(categoryValue("CATEGORY-OPERATOR", single ? 0 : 1)) +
        "\r\nCATEGORY-TRANSMITTER: " + log.transmitterCategory +
        "\r\nCATEGORY-MODE: MIXED\r\nCATEGORY-BAND: ALL" + "\r\nCATEGORY-POWER: " + contest.power[index] +
        "\r\nCREATED-BY: make-contest\r\n";
    // The columns as core lays them out: a relayed number stands as a number does.
    std::vector<stats::FieldKind> kinds;
    for (const contest::ExchangeField& f : played.exchange.sent)
        kinds.push_back(f.kind == contest::FieldKind::kRst ? stats::FieldKind::kRst
                        : contest::isNumber(f.kind)        ? stats::FieldKind::kSerial
                                                           : stats::FieldKind::kText);
    std::vector<std::string_view> sent, received;
    for (std::size_t i = 0; i < log.qsos.size(); ++i) {
        const Qso& q = log.qsos[i];
        const contest::Mode* m = played.mode(q.mode);
        const std::string mode = m ? m->cabrilloCode : q.mode.str(), report = reportFor(played, q.mode);
        if (q.sentExchange.empty()) {
            sent = {report, q.sent.view()};
            received = {report, q.received.view()};
        } else {
            sent = fieldsOf(q.sentExchange);
            received = fieldsOf(q.receivedExchange);
        }
        const std::string time = qsoTimeText(q.time);
        out += stats::qsoLine({contest.frequencies[index][i], mode, time, log.call, sent, q.call, received,
                               played.exchange.transmitterId ? q.transmitter.view() : std::string_view()},
                              kinds) +
               "\r\n";
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
