#pragma once
// The record of one contest as the committee's tools read it: its names, periods, bands with their
// sub-bands, modes, the exchange field by field, scoring, multipliers, checking policies and header
// categories. SA-TOLVEN's record is built from core's (builtinSaTolven); another contest's is read
// from a definition file (definition_file.h). Plain data with small queries, no I/O.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/contest_rules.h"

namespace contest {

/// A stretch of the contest in UTC: from `start` up to, not including, `end`.
struct Period {
    std::chrono::sys_seconds start;
    std::chrono::sys_seconds end;

    bool holds(std::chrono::sys_seconds t) const noexcept { return t >= start && t < end; }
    bool operator==(const Period&) const = default;
};

/// A range of frequencies in kHz, both edges inclusive.
struct KHzRange {
    std::uint32_t low = 0;
    std::uint32_t high = 0;

    bool holds(std::uint32_t kHz) const noexcept { return kHz >= low && kHz <= high; }
    bool overlaps(const KHzRange& o) const noexcept { return low <= o.high && o.low <= high; }
    bool contains(const KHzRange& o) const noexcept { return o.low >= low && o.high <= high; }
    bool operator==(const KHzRange&) const = default;
};

/// A part of a band to which the rules confine one mode.
struct SubBand {
    std::string mode;  ///< a Mode::name
    KHzRange range;

    bool operator==(const SubBand&) const = default;
};

/// A band of the contest.
struct Band {
    std::string name;              ///< as the host names it: "80m"
    std::string cabrilloBand;      ///< a QSO line's band designator in MHz: "3.5"
    std::string cabrilloCategory;  ///< CATEGORY-BAND: "80M"
    KHzRange range;
    std::uint32_t phoneFromKHz =
        0;                          ///< the band plan's split (CW below, phone from it); 0 when none is given
    std::vector<SubBand> subBands;  ///< a mode named here counts only within its sub-bands

    /// True when a QSO in `mode` at `kHz` lies in the band and, where the mode has sub-bands here, in one of
    /// them.
    bool allows(std::uint32_t kHz, std::string_view mode) const;
    bool operator==(const Band&) const = default;
};

/// A mode of the contest.
struct Mode {
    std::string name;              ///< as the host names it: "SSB"
    std::string cabrilloCode;      ///< a QSO line's mode: "PH"
    std::size_t reportDigits = 0;  ///< 3 for RST, 2 for RS
    bool cw = false;               ///< keyed below a band's phone split

    bool operator==(const Mode&) const = default;
};

/// What an exchange field holds.
enum class FieldKind : std::uint8_t {
    kRst,      ///< a signal report
    kSerial,   ///< the station's own serial number
    kText,     ///< a text, any or one of a list
    kRelayed,  ///< the first number the station received in its previous QSO ("000" in its first)
};

/// True for the kinds that hold a number and are compared as numbers (a serial, a relayed number).
constexpr bool isNumber(FieldKind kind) noexcept {
    return kind == FieldKind::kSerial || kind == FieldKind::kRelayed;
}

/// One field of the exchange.
struct ExchangeField {
    std::string name;  ///< "rst", "serial", "county"
    FieldKind kind = FieldKind::kText;
    std::vector<std::string> values;  ///< a text field's valid values (upper case); empty: any

    /// True when `value` is valid here: any value when no list is given, else one of the list (case ignored).
    bool accepts(std::string_view value) const;
    bool operator==(const ExchangeField&) const = default;
};

/// How a station may number its QSOs in a serial field.
enum class Numbering : std::uint8_t { kOneSequence, kPerBand, kPerTransmitter };

/// The exchange, field by field in the order of a QSO line, each way.
struct Exchange {
    std::vector<ExchangeField> sent;
    std::vector<ExchangeField> received;
    bool transmitterId = false;        ///< a transmitter id may follow the exchange on a QSO line
    std::vector<Numbering> numbering;  ///< the numbering models allowed; empty without a serial field

    /// The received field called `name`, or none.
    const ExchangeField* receivedField(std::string_view name) const noexcept;
    /// The place of the first field of `kind` in `fields`, or -1.
    static int firstOf(const std::vector<ExchangeField>& fields, FieldKind kind) noexcept;
    bool allows(Numbering model) const noexcept;
    bool operator==(const Exchange&) const = default;
};

/// Where the station worked is, seen from the logging station.
enum class Relation : std::uint8_t { kAny, kSameCountry, kSameContinent, kOtherContinent };

/// Points for the QSOs that match: `between` (kSameContinent includes the same country), only for a
/// logging station on `ownContinent` when one is given, only on `bands` when any are given.
struct PointsRule {
    Relation between = Relation::kAny;
    std::string ownContinent;
    std::vector<std::string> bands;  ///< Band::name
    int points = 0;

    bool operator==(const PointsRule&) const = default;
};

/// What a multiplier counts.
enum class MultiplierKind : std::uint8_t {
    kFieldValue,  ///< each distinct value of a received exchange field
    kPrefix,      ///< each distinct prefix (of stations on `continent` when one is given)
};

/// Where a multiplier counts once.
enum class MultiplierScope : std::uint8_t { kPerBand, kPerContest };

/// One kind of multiplier.
struct Multiplier {
    MultiplierKind kind = MultiplierKind::kPrefix;
    std::string field;      ///< kFieldValue: the received field
    std::string continent;  ///< kPrefix: only stations on this continent; empty: any
    MultiplierScope scope = MultiplierScope::kPerContest;

    bool operator==(const Multiplier&) const = default;
};

/// How the score follows from the points and the multipliers.
enum class ScoreFormula : std::uint8_t { kPointsTimesMultipliers, kPointsOnly };

/// What a QSO is worth and how the score is made.
struct Scoring {
    std::vector<PointsRule> points;  ///< the first rule that matches gives a QSO's points
    /// The most a QSO with a miscopied received exchange keeps, after Checking::bustedExchange's cost.
    int miscopiedPoints = 0;
    std::vector<Multiplier> multipliers;
    ScoreFormula formula = ScoreFormula::kPointsTimesMultipliers;

    /// The points of a correct QSO on `band` with a station in `relation`, worked from `ownContinent`;
    /// 0 when no rule matches. kAny (the relation unknown) matches only the rules for any relation.
    int pointsFor(std::string_view band, Relation relation, std::string_view ownContinent) const;
    /// The score of `points` and `multipliers`.
    long long score(long long points, long long multipliers) const noexcept;
    bool operator==(const Scoring&) const = default;
};

/// How much of a QSO's points a fault takes.
enum class Cost : std::uint8_t { kNone, kHalf, kAll };

/// Whose QSO pays: the log that holds the faulty line, the partner's log, or both.
enum class Side : std::uint8_t { kOwn, kOther, kBoth };

/// What one kind of fault costs.
struct FaultPolicy {
    Cost cost = Cost::kAll;
    int penaltyQsos = 0;  ///< QSOs of the same points taken off beyond the QSO itself
    Side side = Side::kOwn;

    bool operator==(const FaultPolicy&) const = default;
};

/// Whether a QSO with a station that sent no log counts.
struct NoLogPolicy {
    bool counts = true;
    int minOtherLogs = 0;       ///< counts only when this many other logs hold the station
    std::optional<int> points;  ///< what such a QSO is worth; none: as any QSO
    bool multiplier = true;     ///< it can give a multiplier

    /// True when a QSO with a station that sent no log and is in `otherLogs` other logs counts.
    bool countsWith(int otherLogs) const noexcept { return counts && otherLogs >= minOtherLogs; }
    bool operator==(const NoLogPolicy&) const = default;
};

/// How the logs are checked against each other.
struct Checking {
    int timeToleranceMinutes = 0;  ///< two QSOs match when their times differ by at most this
    NoLogPolicy noLog;
    FaultPolicy notInLog;
    FaultPolicy bustedCall;
    FaultPolicy timeMismatch;
    FaultPolicy dupe;
    /// A received exchange copied wrong: the miscopier's QSO loses the cost's share and keeps at most
    /// Scoring::miscopiedPoints (cost kNone: just that, as most contests' rules have it); side kBoth:
    /// the partner's matching QSO loses the same share.
    FaultPolicy bustedExchange{Cost::kNone, 0, Side::kOwn};
    /// The same call on the same band and mode counts again this many minutes after the QSO it
    /// repeats; none: once per band and mode.
    std::optional<int> repeatAfterMinutes;
    /// Each period starts the dupes afresh.
    bool dupesPerPeriod = false;

    bool dupeScores() const noexcept { return dupe.cost == Cost::kNone; }
    bool operator==(const Checking&) const = default;
};

/// The values a Cabrillo header tag may carry in this contest.
struct CategoryValues {
    std::string tag;                  ///< "CATEGORY-BAND"
    std::vector<std::string> values;  ///< upper case

    bool operator==(const CategoryValues&) const = default;
};

/// One of the rules' own categories, in which the results are ranked: its name and, per Cabrillo tag,
/// the values of a log's header it takes (a tag it does not name: any value).
struct ResultCategory {
    std::string name;  ///< "B single operator up to 100 W"
    std::vector<CategoryValues> takes;
    std::string splitBy;  ///< a tag ("CATEGORY-BAND") whose each value is ranked apart; "" none
    /// The first words of a Cabrillo 2.0 CATEGORY: line that name this category ("B" of "B - Single op"),
    /// upper case: such a log, whose tags fit no category, is ranked here.
    std::vector<std::string> categoryLine;

    bool operator==(const ResultCategory&) const = default;
};

/// Where a log stands in the results, by its header.
struct Placement {
    enum class Kind : std::uint8_t { kRanked, kChecklog, kApart };
    Kind kind = Kind::kApart;
    std::string category;  ///< kRanked: the category's name
    std::string why;       ///< kApart: what places it in none ("CATEGORY-POWER: missing")
    std::size_t order = 0;  ///< kRanked: the index of the rules' category (0 without them)

    bool operator==(const Placement&) const = default;
};

/// One contest.
struct ContestDefinition {
    std::string title;               ///< "SA-TOLVEN CW/SSB (C)"
    std::vector<std::string> names;  ///< what a log's CONTEST: may say; the first is the one to write
    std::vector<Period> periods;     ///< in time order; empty: the run gives the period
    std::vector<Band> bands;
    std::vector<Mode> modes;
    Exchange exchange;
    Scoring scoring;
    Checking checking;
    std::vector<CategoryValues> categories;  ///< only the tags the contest restricts
    /// The rules' categories, in the order the results show them; empty: one per CATEGORY-OPERATOR.
    std::vector<ResultCategory> resultCategories;

    /// True when `contestLine` names this contest, letter case, blanks and dashes ignored.
    bool matchesName(std::string_view contestLine) const;
    /// True when `t` falls in one of the periods, or no period is given.
    bool inPeriod(std::chrono::sys_seconds t) const;
    const Band* band(std::string_view name) const noexcept;
    /// The band that holds `kHz`, or none.
    const Band* bandAt(std::uint32_t kHz) const noexcept;
    /// The band of a QSO line's band designator ("7"), or none.
    const Band* bandByCabrillo(std::string_view designator) const noexcept;
    const Mode* mode(std::string_view name) const noexcept;
    const Mode* modeByCabrilloCode(std::string_view code) const noexcept;
    /// True when `kHz` lies in a band and, where that band confines `mode` to sub-bands, in one of them.
    bool allowsFrequency(std::uint32_t kHz, std::string_view mode) const;
    /// True when `tag` may carry `value` (case ignored): any value of a tag the contest does not restrict.
    bool allowsCategory(std::string_view tag, std::string_view value) const;
    /// Where a log stands whose header gives `value(tag)` for a tag ("CATEGORY-POWER", or "CATEGORY" for
    /// a 2.0 line; "" when it has none): a checklog (an operator category ending in CHECKLOG), ranked in
    /// the first of the rules' categories that takes its values, else in one its CATEGORY: line names,
    /// or apart with why.
    Placement place(const std::function<std::string(std::string_view)>& value) const;
    bool operator==(const ContestDefinition&) const = default;
};

/// The Cabrillo 3.0 category tags a definition may name, as its keys name them (without "CATEGORY-").
inline constexpr std::string_view kCategoryKeys[] = {"operator", "assisted", "band",        "mode",   "power",
                                                     "station",  "time",     "transmitter", "overlay"};

/// A contest name as matchesName compares it: upper case, without blanks and dashes.
std::string normalizedContestName(std::string_view name);

/// SA-TOLVEN's record: core's rules and the cross-check's present policies.
ContestDefinition builtinSaTolven();

/// The values the plug-in's Cabrillo header offers for `tag` ("CATEGORY-OVERLAY"), from its compiled-in
/// contest; empty for a tag it does not offer.
std::vector<std::string> pluginCategoryValues(std::string_view tag);

}  // namespace contest
