#include "tools/contest/contest_definition.h"

#include <algorithm>
#include <cstdint>

#include "core/contest_rules.h"
#include "core/text.h"

namespace contest {
namespace {

template <typename T, typename Match>
const T* findIn(const std::vector<T>& entries, Match matches) noexcept {
    const auto it = std::find_if(entries.begin(), entries.end(), matches);
    return it == entries.end() ? nullptr : &*it;
}

bool listHolds(const std::vector<std::string>& values, std::string_view value) {
    return std::any_of(values.begin(), values.end(),
                       [value](const std::string& v) { return stats::equalsIgnoringCase(v, value); });
}

}  // namespace

bool Band::allows(std::uint32_t kHz, std::string_view mode) const {
    if (!range.holds(kHz)) return false;
    bool confined = false;
    for (const SubBand& s : subBands) {
        if (s.mode != mode) continue;
        if (s.range.holds(kHz)) return true;
        confined = true;
    }
    return !confined;
}

bool ExchangeField::accepts(std::string_view value) const {
    return values.empty() || listHolds(values, value);
}

const ExchangeField* Exchange::receivedField(std::string_view name) const noexcept {
    return findIn(received, [name](const ExchangeField& f) { return f.name == name; });
}

int Exchange::firstOf(const std::vector<ExchangeField>& fields, FieldKind kind) noexcept {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].kind == kind) return static_cast<int>(i);
    return -1;
}

bool Exchange::allows(Numbering model) const noexcept {
    return std::find(numbering.begin(), numbering.end(), model) != numbering.end();
}

int Scoring::pointsFor(std::string_view band, Relation relation, std::string_view ownContinent) const {
    for (const PointsRule& r : points) {
        // A station of the same country is also on the same continent.
        const bool related = r.between == Relation::kAny || r.between == relation ||
                             (r.between == Relation::kSameContinent && relation == Relation::kSameCountry);
        if (!related) continue;
        if (!r.ownContinent.empty() && !stats::equalsIgnoringCase(r.ownContinent, ownContinent)) continue;
        if (!r.bands.empty() && std::find(r.bands.begin(), r.bands.end(), band) == r.bands.end()) continue;
        return r.points;
    }
    return 0;
}

long long Scoring::score(long long points, long long multipliers) const noexcept {
    return formula == ScoreFormula::kPointsOnly ? points : points * multipliers;
}

std::string normalizedContestName(std::string_view name) {
    std::string out;
    for (const char c : name)
        if (c != ' ' && c != '\t' && c != '-') out += stats::asciiUpper(c);
    return out;
}

bool ContestDefinition::matchesName(std::string_view contestLine) const {
    const std::string wanted = normalizedContestName(contestLine);
    return !wanted.empty() && std::any_of(names.begin(), names.end(), [&wanted](const std::string& n) {
        return normalizedContestName(n) == wanted;
    });
}

bool ContestDefinition::inPeriod(std::chrono::sys_seconds t) const {
    return periods.empty() ||
           std::any_of(periods.begin(), periods.end(), [t](const Period& p) { return p.holds(t); });
}

const Band* ContestDefinition::band(std::string_view name) const noexcept {
    return findIn(bands, [name](const Band& b) { return b.name == name; });
}

const Band* ContestDefinition::bandAt(std::uint32_t kHz) const noexcept {
    return findIn(bands, [kHz](const Band& b) { return b.range.holds(kHz); });
}

const Band* ContestDefinition::bandByCabrillo(std::string_view designator) const noexcept {
    return findIn(bands, [designator](const Band& b) { return b.cabrilloBand == designator; });
}

const Mode* ContestDefinition::mode(std::string_view name) const noexcept {
    return findIn(modes, [name](const Mode& m) { return m.name == name; });
}

const Mode* ContestDefinition::modeByCabrilloCode(std::string_view code) const noexcept {
    return findIn(modes, [code](const Mode& m) { return m.cabrilloCode == code; });
}

bool ContestDefinition::allowsFrequency(std::uint32_t kHz, std::string_view modeName) const {
    const Band* b = bandAt(kHz);
    return b && b->allows(kHz, modeName);
}

bool ContestDefinition::allowsCategory(std::string_view tag, std::string_view value) const {
    const CategoryValues* c =
        findIn(categories, [tag](const CategoryValues& v) { return stats::equalsIgnoringCase(v.tag, tag); });
    return !c || listHolds(c->values, value);
}

namespace {

// A checklog is never ranked: CHECKLOG, or the host's MULTI-OP HQCHECKLOG, as any word of the
// operator category or of a 2.0 CATEGORY: line.
bool isChecklog(std::string_view operatorCategory) {
    const std::string upper = stats::asciiUpper(operatorCategory);
    std::size_t end = 0;
    while ((end = upper.find("CHECKLOG", end)) != std::string::npos) {
        end += 8;
        if (end == upper.size() || upper[end] == ' ') return true;
    }
    return false;
}

bool takes(const ResultCategory& category, const std::function<std::string(std::string_view)>& value) {
    return std::all_of(category.takes.begin(), category.takes.end(), [&](const CategoryValues& t) {
        return listHolds(t.values, stats::trimmed(value(t.tag)));
    });
}

// Why no category takes a log, told by the categories it misses on the fewest tags: the tags of
// those it lacks, else the values they do not take.
std::string whyApart(const std::vector<ResultCategory>& categories,
                     const std::function<std::string(std::string_view)>& value) {
    std::size_t fewest = SIZE_MAX;
    std::vector<std::string> failing;
    for (const ResultCategory& c : categories) {
        std::vector<std::string> tags;
        for (const CategoryValues& t : c.takes)
            if (!listHolds(t.values, stats::trimmed(value(t.tag)))) tags.push_back(t.tag);
        if (tags.size() < fewest) failing.clear();
        if (tags.size() > fewest) continue;
        fewest = tags.size();
        for (const std::string& tag : tags)
            if (std::find(failing.begin(), failing.end(), tag) == failing.end()) failing.push_back(tag);
    }
    std::string missing, given;
    for (const std::string& tag : failing) {
        const std::string v(stats::trimmed(value(tag)));
        (v.empty() ? missing : given) += (", " + tag + ": ") + (v.empty() ? "missing" : v);
    }
    return missing.empty() ? "no category takes " + given.substr(2) : missing.substr(2);
}

// SA-TOLVEN's results categories from the operator and power categories the header offers: a
// single operator by power, each other operator category whole; a checklog is never ranked.
std::vector<ResultCategory> saTolvenResultCategories(const stats::ContestRules& rules) {
    std::vector<ResultCategory> out;
    const auto valuesOf = [&](std::string_view tag) { return rules.category(tag)->values; };
    for (const std::string_view op : valuesOf("CATEGORY-OPERATOR")) {
        if (isChecklog(op)) continue;
        const CategoryValues byOperator{"CATEGORY-OPERATOR", {std::string(op)}};
        if (op != "SINGLE-OP") {
            out.push_back({std::string(op), {byOperator}, "", {}});
            continue;
        }
        for (const std::string_view power : valuesOf("CATEGORY-POWER"))
            out.push_back({std::string(op) + " " + std::string(power),
                           {byOperator, CategoryValues{"CATEGORY-POWER", {std::string(power)}}},
                           "",
                           {}});
    }
    return out;
}

FieldKind fieldKind(stats::FieldKind kind) {
    switch (kind) {  // no default: a new kind in core must be mapped here
        case stats::FieldKind::kRst:
            return FieldKind::kRst;
        case stats::FieldKind::kSerial:
            return FieldKind::kSerial;
        case stats::FieldKind::kText:
            return FieldKind::kText;
    }
    return FieldKind::kText;
}

}  // namespace

Placement ContestDefinition::place(const std::function<std::string(std::string_view)>& value) const {
    const std::string op(stats::trimmed(value("CATEGORY-OPERATOR")));
    const std::string line = stats::asciiUpper(stats::trimmed(value("CATEGORY")));
    if (isChecklog(op) || isChecklog(line)) return {Placement::Kind::kChecklog, "", ""};
    if (resultCategories.empty())
        return op.empty() ? Placement{Placement::Kind::kApart, "", "CATEGORY-OPERATOR: missing"}
                          : Placement{Placement::Kind::kRanked, stats::asciiUpper(op), ""};
    for (std::size_t i = 0; i < resultCategories.size(); ++i) {
        const ResultCategory& c = resultCategories[i];
        if (!takes(c, value)) continue;
        const std::string split =
            c.splitBy.empty() ? "" : stats::asciiUpper(stats::trimmed(value(c.splitBy)));
        return {Placement::Kind::kRanked, split.empty() ? c.name : c.name + " " + split, "", i};
    }
    // A 2.0 CATEGORY: line may name the rules' category itself, in its first word.
    const std::string first = line.substr(0, line.find_first_of(" \t-"));
    for (std::size_t i = 0; i < resultCategories.size() && !first.empty(); ++i)
        if (listHolds(resultCategories[i].categoryLine, first))
            return {Placement::Kind::kRanked, resultCategories[i].name, "", i};
    return {Placement::Kind::kApart, "",
            whyApart(resultCategories, value) + (line.empty() ? "" : " (CATEGORY: " + line + ")")};
}

std::vector<std::string> pluginCategoryValues(std::string_view tag) {
    std::vector<std::string> out;
    if (const stats::ContestCategory* c = stats::kContest.category(tag))
        for (const std::string_view v : c->values) out.emplace_back(v);
    return out;
}

ContestDefinition builtinSaTolven() {
    const stats::ContestRules& rules = stats::kContest;
    ContestDefinition d;
    d.title = rules.ruleSetName;
    d.names = {std::string(rules.cabrilloName)};

    for (const stats::ContestBand& b : rules.bands)
        d.bands.push_back(Band{std::string(b.name), std::string(b.designator), std::string(b.category),
                               KHzRange{b.lowKHz, b.highKHz}, b.phoneFromKHz, {}});
    for (const stats::ContestMode& m : rules.modes)
        d.modes.push_back(Mode{std::string(m.name), std::string(m.cabrilloCode), m.reportDigits, m.cw});
    // The categories a definition restricts: the bands and the modes.
    for (const std::string_view tag : {"CATEGORY-BAND", "CATEGORY-MODE"}) {
        CategoryValues& values = d.categories.emplace_back(CategoryValues{std::string(tag), {}});
        for (const std::string_view v : rules.category(tag)->values) values.values.emplace_back(v);
    }
    d.resultCategories = saTolvenResultCategories(rules);

    // The exchange both ways; the cross-check reads a transmitter id after it and tells the
    // three numberings apart.
    std::vector<ExchangeField> fields;
    for (const stats::ContestField& f : rules.exchange)
        fields.push_back({std::string(f.name), fieldKind(f.kind), {}});
    d.exchange = Exchange{
        fields, fields, true, {Numbering::kOneSequence, Numbering::kPerBand, Numbering::kPerTransmitter}};

    // A busted exchange loses the QSO; the multiplier is each distinct prefix on the continent,
    // counted once in the contest (the summary counts it on the first band that carries it).
    d.scoring.points = {PointsRule{Relation::kAny, "", {}, rules.pointsPerQso}};
    d.scoring.miscopiedPoints = 0;
    switch (rules.multiplier) {  // no default: a new kind in core must be mapped here
        case stats::MultiplierKind::kPrefixOnContinent:
            d.scoring.multipliers = {Multiplier{MultiplierKind::kPrefix, "",
                                                std::string(rules.multiplierContinent),
                                                MultiplierScope::kPerContest}};
            break;
    }
    d.scoring.formula = ScoreFormula::kPointsTimesMultipliers;

    // The cross-check's defaults: a 3-minute window; NIL, busted call and dupe lose the QSO with no
    // penalty beyond it; a time mismatch and a QSO with a station that sent no log keep it (a
    // unique too, unless the committee removes them).
    d.checking.timeToleranceMinutes = 3;
    d.checking.noLog = NoLogPolicy{true, 0, std::nullopt, true};
    d.checking.notInLog = FaultPolicy{Cost::kAll, 0, Side::kOwn};
    d.checking.bustedCall = FaultPolicy{Cost::kAll, 0, Side::kOwn};
    d.checking.timeMismatch = FaultPolicy{Cost::kNone, 0, Side::kOwn};
    d.checking.dupe = FaultPolicy{Cost::kAll, 0, Side::kOwn};
    return d;
}

}  // namespace contest
