#include "tools/contest/definition_file.h"

#include <toml++/toml.h>

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

#include "core/text.h"

static_assert(TOML_EXCEPTIONS, "the reader turns toml::parse_error into a DefinitionError");

namespace contest {
namespace {

using namespace std::chrono;

std::string lineText(const std::string& source, std::uint32_t line, const std::string& message) {
    return line == 0 ? source + ": " + message : source + ":" + std::to_string(line) + ": " + message;
}

std::uint32_t lineOf(const toml::node& node) {
    return std::max<std::uint32_t>(1, node.source().begin.line);
}

std::string_view typeName(toml::node_type type) {
    switch (type) {
        case toml::node_type::table:
            return "a table";
        case toml::node_type::array:
            return "an array";
        case toml::node_type::string:
            return "a string";
        case toml::node_type::integer:
            return "an integer";
        case toml::node_type::floating_point:
            return "a floating-point number";
        case toml::node_type::boolean:
            return "a boolean";
        case toml::node_type::date:
            return "a date";
        case toml::node_type::time:
            return "a time";
        case toml::node_type::date_time:
            return "a date-time";
        case toml::node_type::none:
            break;
    }
    return "nothing";
}

template <typename E>
using Words = std::initializer_list<std::pair<std::string_view, E>>;

template <typename E>
std::string wordList(Words<E> words) {
    std::string out;
    for (const auto& [word, value] : words) out += (out.empty() ? "" : ", ") + std::string(word);
    return out;
}

/// One table of the definition; remembers the keys read, so that finish() refuses the others.
class Table {
  public:
    Table(const std::string& source, const toml::table& table, std::string path)
        : source_(source), table_(table), path_(std::move(path)) {}

    [[noreturn]] void fail(std::uint32_t line, const std::string& message) const {
        throw DefinitionError(source_, line, message);
    }
    std::uint32_t line() const { return lineOf(table_); }
    std::string at(std::string_view key) const {
        return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
    }
    const std::string& path() const { return path_; }

    const toml::node* find(std::string_view key) {
        read_.emplace_back(key);
        return table_.get(key);
    }
    const toml::node& need(std::string_view key) {
        const toml::node* n = find(key);
        if (!n) fail(line(), (path_.empty() ? "the definition" : path_) + " has no " + std::string(key));
        return *n;
    }

    void expect(const toml::node& n, toml::node_type type, const std::string& what) const {
        if (n.type() != type)
            fail(lineOf(n), what + " must be " + std::string(typeName(type)) + ", not " +
                                std::string(typeName(n.type())));
    }

    std::string text(std::string_view key) { return textOf(need(key), at(key)); }
    std::optional<std::string> optionalText(std::string_view key) {
        const toml::node* n = find(key);
        return n ? std::optional(textOf(*n, at(key))) : std::nullopt;
    }
    std::string textOf(const toml::node& n, const std::string& what) const {
        expect(n, toml::node_type::string, what);
        return n.as_string()->get();
    }

    int integer(std::string_view key, long long low, long long high) {
        return integerOf(need(key), at(key), low, high);
    }
    std::optional<int> optionalInteger(std::string_view key, long long low, long long high) {
        const toml::node* n = find(key);
        return n ? std::optional(integerOf(*n, at(key), low, high)) : std::nullopt;
    }
    int integerOf(const toml::node& n, const std::string& what, long long low, long long high) const {
        expect(n, toml::node_type::integer, what);
        const long long v = n.as_integer()->get();
        if (v < low || v > high)
            fail(lineOf(n), what + " must be from " + std::to_string(low) + " to " + std::to_string(high) +
                                ", not " + std::to_string(v));
        return static_cast<int>(v);
    }
    std::uint32_t kHz(std::string_view key) {
        return static_cast<std::uint32_t>(integer(key, 1, 300'000'000));
    }

    bool boolean(std::string_view key, bool absent) {
        const toml::node* n = find(key);
        if (!n) return absent;
        expect(*n, toml::node_type::boolean, at(key));
        return n->as_boolean()->get();
    }

    /// The word at `key` as its value; `absent` when the key is missing, or a refusal when it is required.
    template <typename E>
    E word(std::string_view key, Words<E> words, std::optional<E> absent = std::nullopt) {
        const toml::node* n = absent ? find(key) : &need(key);
        if (!n) return *absent;
        return wordOf(*n, at(key), words);
    }
    template <typename E>
    E wordOf(const toml::node& n, const std::string& what, Words<E> words) const {
        const std::string w = textOf(n, what);
        for (const auto& [word, value] : words)
            if (word == w) return value;
        fail(lineOf(n), what + ": unknown word '" + w + "' (" + wordList(words) + ")");
    }

    const toml::array* array(std::string_view key, bool required) {
        const toml::node* n = required ? &need(key) : find(key);
        if (!n) return nullptr;
        expect(*n, toml::node_type::array, at(key));
        return n->as_array();
    }
    /// The strings of the array at `key`, in upper case when `upper`; an empty array or string refused.
    std::vector<std::string> texts(std::string_view key, bool required, bool upper) {
        std::vector<std::string> out;
        const toml::array* a = array(key, required);
        if (!a) return out;
        if (a->empty()) fail(lineOf(*a), "the list " + at(key) + " is empty");
        for (std::size_t i = 0; i < a->size(); ++i) {
            const std::string what = at(key) + "[" + std::to_string(i) + "]";
            std::string v = textOf((*a)[i], what);
            if (stats::trimmed(v).empty()) fail(lineOf((*a)[i]), what + " is empty");
            out.push_back(upper ? stats::asciiUpper(v) : v);
        }
        return out;
    }

    Table table(std::string_view key) {
        const toml::node& n = need(key);
        expect(n, toml::node_type::table, at(key));
        return Table(source_, *n.as_table(), at(key));
    }
    std::optional<Table> optionalTable(std::string_view key) {
        return find(key) ? std::optional(table(key)) : std::nullopt;
    }
    /// The tables of the array at `key` (an array of tables or of inline tables); a required one
    /// must hold at least one.
    std::vector<Table> tables(std::string_view key, bool required) {
        std::vector<Table> out;
        const toml::array* a = array(key, required);
        if (!a) return out;
        if (required && a->empty()) fail(lineOf(*a), "the list " + at(key) + " is empty");
        for (std::size_t i = 0; i < a->size(); ++i) {
            const std::string what = at(key) + "[" + std::to_string(i) + "]";
            expect((*a)[i], toml::node_type::table, what);
            out.emplace_back(source_, *(*a)[i].as_table(), what);
        }
        return out;
    }

    /// Refuses the first key that was not read: a misspelt key must not drop a rule unseen.
    void finish() const {
        for (const auto& [key, node] : table_)
            if (std::find(read_.begin(), read_.end(), key.str()) == read_.end())
                fail(std::max<std::uint32_t>(1, key.source().begin.line), "unknown key " + at(key.str()));
    }

  private:
    const std::string& source_;
    const toml::table& table_;
    std::string path_;
    std::vector<std::string> read_;
};

sys_seconds utcTime(Table& t, std::string_view key) {
    const toml::node& n = t.need(key);
    t.expect(n, toml::node_type::date_time, t.at(key));
    const toml::date_time& dt = n.as_date_time()->get();
    if (!dt.offset) t.fail(lineOf(n), t.at(key) + " needs its UTC offset (write it as 2022-01-09T06:30:00Z)");
    const sys_days date{year{dt.date.year} / month{dt.date.month} / day{dt.date.day}};
    return date + hours{dt.time.hour} + minutes{dt.time.minute} + seconds{dt.time.second} -
           minutes{dt.offset->minutes};
}

std::vector<Period> readPeriods(Table& root) {
    std::vector<Table> tables = root.tables("periods", false);
    std::vector<Period> periods;
    for (Table& t : tables) {
        const Period p{utcTime(t, "start"), utcTime(t, "end")};
        if (p.end <= p.start) t.fail(t.line(), t.path() + " ends before it starts");
        t.finish();
        periods.push_back(p);
    }
    std::vector<std::size_t> order(periods.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return periods[a].start < periods[b].start; });
    for (std::size_t i = 1; i < order.size(); ++i) {
        const std::size_t a = order[i - 1], b = order[i];
        if (periods[b].start < periods[a].end) {
            const std::size_t later = std::max(a, b), earlier = std::min(a, b);
            tables[later].fail(tables[later].line(),
                               tables[later].path() + " overlaps " + tables[earlier].path());
        }
    }
    std::vector<Period> sorted;
    for (const std::size_t i : order) sorted.push_back(periods[i]);
    return sorted;
}

std::vector<Mode> readModes(Table& root) {
    std::vector<Mode> modes;
    std::vector<Table> tables = root.tables("modes", true);
    for (Table& t : tables) {
        Mode m{t.text("name"), t.text("cabrillo"), static_cast<std::size_t>(t.integer("report_digits", 1, 3)),
               t.boolean("cw", false)};
        for (const Mode& o : modes)
            if (o.name == m.name || o.cabrilloCode == m.cabrilloCode)
                t.fail(t.line(), t.path() + " repeats the name or Cabrillo code of mode " + o.name);
        t.finish();
        modes.push_back(std::move(m));
    }
    return modes;
}

std::string rangeText(const KHzRange& r) {
    return std::to_string(r.low) + "-" + std::to_string(r.high) + " kHz";
}

KHzRange readRange(Table& t) {
    const KHzRange r{t.kHz("low_khz"), t.kHz("high_khz")};
    if (r.high < r.low) t.fail(t.line(), t.path() + ": high_khz is below low_khz");
    return r;
}

std::vector<Band> readBands(Table& root, const std::vector<Mode>& modes) {
    std::vector<Band> bands;
    std::vector<Table> tables = root.tables("bands", true);
    for (Table& t : tables) {
        Band b;
        b.name = t.text("name");
        b.cabrilloBand = t.text("cabrillo");
        b.cabrilloCategory = t.text("category");
        b.range = readRange(t);
        if (t.find("phone_from_khz")) {
            b.phoneFromKHz = t.kHz("phone_from_khz");
            if (!b.range.holds(b.phoneFromKHz))
                t.fail(t.line(),
                       t.path() + ": phone_from_khz lies outside the band (" + rangeText(b.range) + ")");
        }
        for (Table& s : t.tables("sub_bands", false)) {
            SubBand sub{s.text("mode"), readRange(s)};
            if (std::none_of(modes.begin(), modes.end(), [&](const Mode& m) { return m.name == sub.mode; }))
                s.fail(s.line(),
                       s.path() + " names mode '" + sub.mode + "', which the contest does not have");
            if (!b.range.contains(sub.range))
                s.fail(s.line(), s.path() + " (" + rangeText(sub.range) + ") lies outside band " + b.name +
                                     " (" + rangeText(b.range) + ")");
            s.finish();
            b.subBands.push_back(std::move(sub));
        }
        for (const Band& o : bands) {
            if (o.name == b.name || o.cabrilloBand == b.cabrilloBand)
                t.fail(t.line(), t.path() + " repeats the name or Cabrillo band of band " + o.name);
            if (o.range.overlaps(b.range))
                t.fail(t.line(), "band " + b.name + " (" + rangeText(b.range) + ") overlaps band " + o.name +
                                     " (" + rangeText(o.range) + ")");
        }
        t.finish();
        bands.push_back(std::move(b));
    }
    return bands;
}

enum class Direction { kBoth, kSent, kReceived };

Exchange readExchange(Table& root) {
    Table t = root.table("exchange");
    Exchange x;
    std::vector<Table> fields = t.tables("fields", true);
    bool serial = false;
    std::optional<std::uint32_t> relayedAt;
    for (Table& f : fields) {
        const toml::node* name = f.find("name");
        ExchangeField field;
        field.name = name ? f.textOf(*name, f.at("name")) : "";
        if (stats::trimmed(field.name).empty())
            f.fail(name ? lineOf(*name) : f.line(), f.path() + " has no name");
        field.kind = f.word<FieldKind>("kind", {{"rst", FieldKind::kRst},
                                                {"serial", FieldKind::kSerial},
                                                {"text", FieldKind::kText},
                                                {"relayed", FieldKind::kRelayed}});
        if (field.kind == FieldKind::kRelayed && !relayedAt) relayedAt = f.line();
        if (f.find("values") && field.kind != FieldKind::kText)
            f.fail(f.line(), f.path() + ": only a text field has a list of values");
        field.values = f.texts("values", false, true);
        const Direction d = f.word<Direction>(
            "direction",
            {{"both", Direction::kBoth}, {"sent", Direction::kSent}, {"received", Direction::kReceived}},
            Direction::kBoth);
        f.finish();
        serial = serial || field.kind == FieldKind::kSerial;
        for (const auto& [side, list] :
             {std::pair{Direction::kSent, &x.sent}, std::pair{Direction::kReceived, &x.received}}) {
            if (d != Direction::kBoth && d != side) continue;
            for (const ExchangeField& o : *list)
                if (o.name == field.name) f.fail(f.line(), f.path() + " repeats field '" + field.name + "'");
            list->push_back(field);
        }
    }
    // A relayed number is the serial received in the previous QSO: without a serial there is none.
    if (relayedAt && !serial)
        t.fail(*relayedAt, "the exchange has a relayed field, but no serial field whose number it relays");
    x.transmitterId = t.boolean("transmitter_id", false);
    if (const toml::array* a = t.array("numbering", false)) {
        if (!serial) t.fail(lineOf(*a), "exchange.numbering is given, but the exchange has no serial field");
        for (std::size_t i = 0; i < a->size(); ++i)
            x.numbering.push_back(t.wordOf<Numbering>((*a)[i],
                                                      "exchange.numbering[" + std::to_string(i) + "]",
                                                      {{"one", Numbering::kOneSequence},
                                                       {"per-band", Numbering::kPerBand},
                                                       {"per-transmitter", Numbering::kPerTransmitter}}));
    } else if (serial) {
        x.numbering = {Numbering::kOneSequence};
    }
    t.finish();
    return x;
}

constexpr int kMaxPoints = 1'000'000;

std::vector<PointsRule> readPoints(Table& scoring, const std::vector<Band>& bands) {
    const toml::node& n = scoring.need("points");
    if (n.is_integer())
        return {PointsRule{Relation::kAny, "", {}, scoring.integerOf(n, "scoring.points", 0, kMaxPoints)}};
    if (!n.is_array())
        scoring.fail(lineOf(n), "scoring.points must be an integer or an array of tables, not " +
                                    std::string(typeName(n.type())));
    std::vector<PointsRule> rules;
    for (Table& r : scoring.tables("points", true)) {
        PointsRule rule;
        rule.between = r.word<Relation>("between",
                                        {{"any", Relation::kAny},
                                         {"same-country", Relation::kSameCountry},
                                         {"same-continent", Relation::kSameContinent},
                                         {"other-continent", Relation::kOtherContinent}},
                                        Relation::kAny);
        rule.ownContinent = stats::asciiUpper(r.optionalText("own_continent").value_or(""));
        rule.bands = r.texts("bands", false, false);
        for (const std::string& b : rule.bands)
            if (std::none_of(bands.begin(), bands.end(), [&](const Band& x) { return x.name == b; }))
                r.fail(r.line(), r.path() + " names band '" + b + "', which the contest does not have");
        rule.points = r.integer("points", 0, kMaxPoints);
        r.finish();
        rules.push_back(std::move(rule));
    }
    return rules;
}

// `miscopiedAt`: the line of scoring.miscopied_points, when given.
Scoring readScoring(Table& root, const std::vector<Band>& bands, const Exchange& exchange,
                    std::optional<std::uint32_t>& miscopiedAt) {
    Table t = root.table("scoring");
    Scoring s;
    s.points = readPoints(t, bands);
    if (const toml::node* n = t.find("miscopied_points")) miscopiedAt = lineOf(*n);
    s.miscopiedPoints = t.optionalInteger("miscopied_points", 0, kMaxPoints).value_or(0);
    s.formula =
        t.word<ScoreFormula>("formula", {{"points-times-multipliers", ScoreFormula::kPointsTimesMultipliers},
                                         {"points", ScoreFormula::kPointsOnly}});
    for (Table& m : t.tables("multipliers", false)) {
        Multiplier x;
        x.kind = m.word<MultiplierKind>(
            "kind", {{"field", MultiplierKind::kFieldValue}, {"prefix", MultiplierKind::kPrefix}});
        x.scope = m.word<MultiplierScope>(
            "per", {{"band", MultiplierScope::kPerBand}, {"contest", MultiplierScope::kPerContest}});
        if (x.kind == MultiplierKind::kFieldValue) {
            x.field = m.text("field");
            if (!exchange.receivedField(x.field))
                m.fail(m.line(), m.path() + " counts field '" + x.field +
                                     "', which the received exchange does not have");
        } else {
            x.continent = stats::asciiUpper(m.optionalText("continent").value_or(""));
        }
        m.finish();
        s.multipliers.push_back(std::move(x));
    }
    if (s.formula == ScoreFormula::kPointsTimesMultipliers && s.multipliers.empty())
        t.fail(t.line(), "scoring multiplies the points by multipliers, but scoring.multipliers is missing");
    t.finish();
    return s;
}

FaultPolicy faultOf(Table& t) {
    FaultPolicy p;
    p.cost = t.word<Cost>("cost", {{"none", Cost::kNone}, {"half", Cost::kHalf}, {"all", Cost::kAll}});
    p.penaltyQsos = t.optionalInteger("penalty_qsos", 0, 100).value_or(0);
    p.side = t.word<Side>("side", {{"own", Side::kOwn}, {"other", Side::kOther}, {"both", Side::kBoth}},
                          Side::kOwn);
    return p;
}

FaultPolicy readFault(Table& checking, std::string_view key) {
    Table t = checking.table(key);
    const FaultPolicy p = faultOf(t);
    t.finish();
    return p;
}

// [checking.dupe]: what a dupe costs, and when the same station counts again (after some minutes,
// in each period afresh).
void readDupe(Table& checking, Checking& c, const std::vector<Period>& periods) {
    Table t = checking.table("dupe");
    c.dupe = faultOf(t);
    c.repeatAfterMinutes = t.optionalInteger("repeat_after_minutes", 1, 7 * 24 * 60);
    if (const toml::node* n = t.find("per_period")) {
        c.dupesPerPeriod = t.boolean("per_period", false);
        if (c.dupesPerPeriod && periods.empty())
            t.fail(lineOf(*n),
                   "checking.dupe.per_period starts the dupes afresh in each period, but the "
                   "definition has no [[periods]]");
    }
    if (c.repeatAfterMinutes && c.dupeScores())
        t.fail(lineOf(*t.find("repeat_after_minutes")),
               "checking.dupe.repeat_after_minutes is given, but a dupe costs nothing (cost = \"none\")");
    t.finish();
}

// [checking.busted_exchange]: what a miscopied exchange costs, the miscopier alone or both stations.
// Without it the miscopier keeps scoring.miscopied_points (0 when not given).
void readBustedExchange(Table& checking, Checking& c, Scoring& scoring,
                        std::optional<std::uint32_t> miscopiedAt) {
    std::optional<Table> t = checking.optionalTable("busted_exchange");
    if (!t) return;
    c.bustedExchange = faultOf(*t);
    const FaultPolicy& p = c.bustedExchange;
    if (p.side == Side::kOther)
        t->fail(t->line(),
                "checking.busted_exchange.side: a miscopied exchange costs the miscopier (own) or "
                "both stations (both), not only the other");
    if (p.side == Side::kBoth && p.cost == Cost::kNone)
        t->fail(t->line(), "checking.busted_exchange costs both stations, but its cost is \"none\"");
    if (miscopiedAt && p.cost != Cost::kNone)
        t->fail(t->line(), "checking.busted_exchange.cost and scoring.miscopied_points (line " +
                               std::to_string(*miscopiedAt) +
                               ") both say what a miscopied exchange keeps: give one of them");
    // The cost alone decides when no points are given to keep.
    if (!miscopiedAt) scoring.miscopiedPoints = kMaxPoints;
    t->finish();
}

Checking readChecking(Table& root, Scoring& scoring, const std::vector<Period>& periods,
                      std::optional<std::uint32_t> miscopiedAt) {
    Table t = root.table("checking");
    Checking c;
    c.timeToleranceMinutes = t.integer("time_tolerance_minutes", 0, 24 * 60);
    Table n = t.table("no_log");
    c.noLog.counts = n.boolean("counts", true);
    c.noLog.minOtherLogs = n.optionalInteger("min_other_logs", 0, 1'000'000).value_or(0);
    c.noLog.points = n.optionalInteger("points", 0, kMaxPoints);
    c.noLog.multiplier = n.boolean("multiplier", true);
    n.finish();
    c.notInLog = readFault(t, "not_in_log");
    c.bustedCall = readFault(t, "busted_call");
    c.timeMismatch = readFault(t, "time_mismatch");
    readDupe(t, c, periods);
    readBustedExchange(t, c, scoring, miscopiedAt);
    t.finish();
    return c;
}

// The values given per Cabrillo category tag, each key a tag without "CATEGORY-".
std::vector<CategoryValues> categoryValues(Table& t) {
    std::vector<CategoryValues> out;
    for (const std::string_view key : kCategoryKeys) {
        std::vector<std::string> values = t.texts(key, false, true);
        if (!values.empty())
            out.push_back(CategoryValues{"CATEGORY-" + stats::asciiUpper(key), std::move(values)});
    }
    return out;
}

std::vector<CategoryValues> readCategories(Table& root) {
    std::vector<CategoryValues> out;
    std::optional<Table> t = root.optionalTable("categories");
    if (!t) return out;
    out = categoryValues(*t);
    t->finish();
    return out;
}

// The rules' categories: each a name and the Cabrillo values it takes per tag, which must be
// values the contest allows; two categories of one name would rank two tables as one.
std::vector<ResultCategory> readResultCategories(Table& root, const ContestDefinition& d) {
    std::vector<ResultCategory> out;
    std::optional<Table> results = root.optionalTable("results");
    if (!results) return out;
    for (Table& t : results->tables("categories", true)) {
        ResultCategory c;
        c.name = std::string(stats::trimmed(t.text("name")));
        if (c.name.empty()) t.fail(t.line(), t.path() + ".name is empty");
        for (const ResultCategory& o : out)
            if (o.name == c.name) t.fail(t.line(), t.path() + " repeats the name '" + c.name + "'");
        c.takes = categoryValues(t);
        c.categoryLine = t.texts("category_line", false, true);
        if (const std::optional<std::string> split = t.optionalText("split_by")) {
            if (std::find(std::begin(kCategoryKeys), std::end(kCategoryKeys), *split) ==
                std::end(kCategoryKeys))
                t.fail(t.line(), t.path() + ".split_by: unknown tag '" + *split + "'");
            c.splitBy = "CATEGORY-" + stats::asciiUpper(*split);
        }
        for (const CategoryValues& v : c.takes)
            for (const std::string& value : v.values)
                if (!d.allowsCategory(v.tag, value))
                    t.fail(t.line(), t.path() + " takes " + v.tag + ": " + value +
                                         ", which [categories] does not allow");
        t.finish();
        out.push_back(std::move(c));
    }
    results->finish();
    return out;
}

ContestDefinition readRoot(Table& root) {
    ContestDefinition d;
    d.title = root.text("title");
    d.names = root.texts("names", true, false);
    for (const std::string& name : d.names)
        if (normalizedContestName(name).empty())
            root.fail(lineOf(*root.find("names")), "the name '" + name + "' is only blanks and dashes");
    d.periods = readPeriods(root);
    d.modes = readModes(root);
    d.bands = readBands(root, d.modes);
    d.exchange = readExchange(root);
    std::optional<std::uint32_t> miscopiedAt;
    d.scoring = readScoring(root, d.bands, d.exchange, miscopiedAt);
    d.checking = readChecking(root, d.scoring, d.periods, miscopiedAt);
    d.categories = readCategories(root);
    d.resultCategories = readResultCategories(root, d);
    root.finish();
    return d;
}

}  // namespace

DefinitionError::DefinitionError(const std::string& source, std::uint32_t line, const std::string& message)
    : std::runtime_error(lineText(source, line, message)), line_(line) {}

ContestDefinition parseDefinition(std::string_view text, std::string_view sourceName) {
    const std::string source(sourceName);
    toml::table doc;
    try {
        doc = toml::parse(text, sourceName);
    } catch (const toml::parse_error& e) {
        throw DefinitionError(source, std::max<std::uint32_t>(1, e.source().begin.line),
                              std::string(e.description()));
    }
    Table root(source, doc, "");
    return readRoot(root);
}

ContestDefinition readDefinition(const std::filesystem::path& path) {
    const std::u8string name8 = path.generic_u8string();
    const std::string name(name8.begin(), name8.end());
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DefinitionError(name, 0, "cannot be read");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw DefinitionError(name, 0, "cannot be read");
    return parseDefinition(text, name);
}

}  // namespace contest
