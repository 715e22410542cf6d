#include "tools/contest/contest_definition.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "tools/contest/contest_choice.h"
#include "tools/contest/definition_file.h"

namespace {

using namespace contest;
using namespace std::chrono;

const std::filesystem::path kContests = std::filesystem::path(STATS_SOURCE_DIR) / "contests";

// A small definition that reads; each broken case below changes one piece of it.
constexpr std::string_view kBase = R"(title = "T"
names = ["T-TEST"]
[[periods]]
start = 2025-01-01T00:00:00Z
end = 2025-01-01T02:00:00Z
[[modes]]
name = "CW"
cabrillo = "CW"
report_digits = 3
[[bands]]
name = "40m"
cabrillo = "7"
category = "40M"
low_khz = 7000
high_khz = 7200
sub_bands = [{ mode = "CW", low_khz = 7000, high_khz = 7040 }]
[exchange]
[[exchange.fields]]
name = "serial"
kind = "serial"
[[exchange.fields]]
name = "zone"
kind = "text"
[scoring]
points = 1
formula = "points-times-multipliers"
[[scoring.multipliers]]
kind = "field"
field = "zone"
per = "band"
[checking]
time_tolerance_minutes = 3
[checking.no_log]
counts = true
[checking.not_in_log]
cost = "all"
[checking.busted_call]
cost = "all"
[checking.time_mismatch]
cost = "none"
[checking.dupe]
cost = "all"
)";

std::string errorOf(std::string_view text) {
    try {
        parseDefinition(text, "def.toml");
    } catch (const DefinitionError& e) {
        return e.what();
    }
    return "(read)";
}

TEST(DefinitionFile, RefusesABrokenDefinitionAtItsLine) {
    ASSERT_EQ(errorOf(kBase), "(read)");
    const struct {
        std::string_view from, to, error;
    } cases[] = {
        {"title = \"T\"\n", "title = \"T\"\ntilte = \"U\"\n", "def.toml:2: unknown key tilte"},
        {"counts = true\n", "counts = true\nminimum = 10\n",
         "def.toml:35: unknown key checking.no_log.minimum"},
        {"low_khz = 7000\n", "low_khx = 7000\n", "def.toml:10: bands[0] has no low_khz"},
        {"[checking.dupe]\ncost = \"all\"\n", "", "def.toml:31: checking has no dupe"},
        {"name = \"zone\"", "name = \"\"", "def.toml:22: exchange.fields[1] has no name"},
        {"name = \"zone\"\n", "", "def.toml:21: exchange.fields[1] has no name"},
        {"report_digits = 3", "report_digits = \"3\"",
         "def.toml:9: modes[0].report_digits must be an integer, not a string"},
        {"report_digits = 3", "report_digits = 4",
         "def.toml:9: modes[0].report_digits must be from 1 to 3, not 4"},
        {"points = 1", "points = ", "def.toml:25: "},
        {"end = 2025-01-01T02:00:00Z\n",
         "end = 2025-01-01T02:00:00Z\n[[periods]]\n"
         "start = 2025-01-01T01:00:00Z\nend = 2025-01-01T03:00:00Z\n",
         "def.toml:6: periods[1] overlaps periods[0]"},
        {"start = 2025-01-01T00:00:00Z", "start = 2025-01-01T00:00:00",
         "def.toml:4: periods[0].start needs its UTC offset"},
        {"start = 2025-01-01T00:00:00Z", "start = 2025-01-01T03:00:00+01:00",
         "def.toml:3: periods[0] ends before it starts"},
        {"[exchange]\n",
         "[[bands]]\nname = \"40b\"\ncabrillo = \"7.1\"\ncategory = \"40M\"\n"
         "low_khz = 7100\nhigh_khz = 7300\n[exchange]\n",
         "def.toml:17: band 40b (7100-7300 kHz) overlaps band 40m (7000-7200 kHz)"},
        {"high_khz = 7040 }", "high_khz = 7240 }",
         "def.toml:16: bands[0].sub_bands[0] (7000-7240 kHz) lies outside band 40m"},
        {"mode = \"CW\", low", "mode = \"SSB\", low", "def.toml:16: bands[0].sub_bands[0] names mode 'SSB'"},
        {"field = \"zone\"", "field = \"zones\"",
         "def.toml:27: scoring.multipliers[0] counts field 'zones', which"},
        {"cost = \"none\"", "cost = \"some\"",
         "def.toml:40: checking.time_mismatch.cost: unknown word 'some' (none, half, all)"},
        {"per = \"band\"", "per = \"mode\"",
         "def.toml:30: scoring.multipliers[0].per: unknown word 'mode' (band, contest)"},
        {"kind = \"text\"", "kind = \"serial\"\nvalues = [\"A\"]",
         "def.toml:21: exchange.fields[1]: only a text field has"},
        {"kind = \"serial\"\n", "kind = \"rst\"\n", "(read)"},
        {"[exchange]\n", "[exchange]\nnumbering = [\"one\"]\n", "(read)"},
        {"kind = \"serial\"\n", "kind = \"rst\"\n[exchange.x]\n", "def.toml:21: unknown key exchange.x"},
        {"[exchange]\n[[exchange.fields]]\nname = \"serial\"\nkind = \"serial\"\n",
         "[exchange]\nnumbering = [\"per-band\"]\n[[exchange.fields]]\nname = \"serial\"\nkind = \"rst\"\n",
         "def.toml:18: exchange.numbering is given, but the exchange has no serial field"},
        {"names = [\"T-TEST\"]", "names = [\" - \"]", "def.toml:2: the name ' - ' is only blanks and dashes"},
        {"[[scoring.multipliers]]\nkind = \"field\"\nfield = \"zone\"\nper = \"band\"\n", "",
         "def.toml:24: scoring multiplies the points by multipliers"},
        {"points = 1", "points = [{ bands = [\"80m\"], points = 2 }]",
         "def.toml:25: scoring.points[0] names band '80m'"},
        {"[checking]\n",
         "[[results.categories]]\nname = \"A\"\npower = [\"HIGH\"]\nsplit_by = \"bands\"\n[checking]\n",
         "def.toml:31: results.categories[0].split_by: unknown tag 'bands'"},
        {"[checking]\n", "[[results.categories]]\nname = \" \"\n[checking]\n",
         "def.toml:31: results.categories[0].name is empty"},
        {"[checking]\n",
         "[categories]\nband = [\"40M\"]\n[[results.categories]]\nname = \"A\"\nband = "
         "[\"80M\"]\n[checking]\n",
         "def.toml:33: results.categories[0] takes CATEGORY-BAND: 80M, which [categories] does not allow"},
        {"[checking]\n",
         "[[results.categories]]\nname = \"A\"\n[[results.categories]]\nname = \"A\"\n[checking]\n",
         "def.toml:33: results.categories[1] repeats the name 'A'"},
        {"kind = \"text\"", "kind = \"relayed\"", "(read)"},
        {"kind = \"serial\"\n", "kind = \"relayed\"\n",
         "def.toml:18: the exchange has a relayed field, but no serial field"},
        {"[checking.dupe]\ncost = \"all\"\n", "[checking.dupe]\ncost = \"all\"\nrepeat_after_minutes = 0\n",
         "def.toml:43: checking.dupe.repeat_after_minutes must be from 1 to 10080, not 0"},
        {"[checking.dupe]\ncost = \"all\"\n", "[checking.dupe]\ncost = \"none\"\nrepeat_after_minutes = 30\n",
         "def.toml:43: checking.dupe.repeat_after_minutes is given, but a dupe costs nothing"},
        {"[checking.dupe]\ncost = \"all\"\n", "[checking.dupe]\ncost = \"all\"\nper_period = 1\n",
         "def.toml:43: checking.dupe.per_period must be a boolean, not an integer"},
        {"[checking.dupe]\ncost = \"all\"\n", "[checking.dupe]\ncost = \"all\"\nrepeat_after = 30\n",
         "def.toml:43: unknown key checking.dupe.repeat_after"},
    };
    for (const auto& c : cases) {
        std::string text(kBase);
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        text.replace(at, c.from.size(), c.to);
        EXPECT_EQ(errorOf(text).substr(0, c.error.size()), c.error) << "from: " << c.from << "to: " << c.to;
    }
    std::string noBands(kBase);
    noBands.erase(noBands.find("[[bands]]"), noBands.find("[exchange]") - noBands.find("[[bands]]"));
    EXPECT_EQ(errorOf(noBands.insert(noBands.find("[[periods]]"), "bands = []\n")),
              "def.toml:3: the list bands is empty");
}

// Repeats, dupes per period and what a miscopied exchange costs, as read; their contradictions refused.
TEST(DefinitionFile, ReadsRepeatsAndWhoAnExchangeErrorCosts) {
    constexpr int kAll = 1'000'000;  // no cap on what a miscopied QSO keeps: the cost alone decides
    constexpr FaultPolicy kOwn{Cost::kNone, 0, Side::kOwn};
    const struct {
        std::string_view scoring, dupe, busted;  // lines added to [scoring], [checking.dupe], the file's end
        bool periods;
        std::string_view error;  // "" when it reads
        std::optional<int> repeat;
        bool perPeriod;
        FaultPolicy policy;
        int kept;
    } cases[] = {
        {"", "", "", true, "", {}, false, kOwn, 0},
        {"miscopied_points = 1\n", "repeat_after_minutes = 30\nper_period = true\n", "", true, "", 30, true, kOwn, 1},
        {"", "", "[checking.busted_exchange]\ncost = \"all\"\nside = \"both\"\n", true, "", {}, false,
         {Cost::kAll, 0, Side::kBoth}, kAll},
        {"", "", "[checking.busted_exchange]\ncost = \"half\"\npenalty_qsos = 1\n", false, "", {}, false,
         {Cost::kHalf, 1, Side::kOwn}, kAll},
        {"miscopied_points = 1\n", "", "[checking.busted_exchange]\ncost = \"none\"\n", true, "", {}, false, kOwn, 1},
        {"miscopied_points = 1\n", "", "[checking.busted_exchange]\ncost = \"all\"\n", true,
         "def.toml:44: checking.busted_exchange.cost and scoring.miscopied_points (line 26) both say"},
        {"", "per_period = true\n", "", false, "def.toml:40: checking.dupe.per_period starts the dupes afresh"},
    };
    for (const auto& c : cases) {
        std::string text(kBase);
        text.insert(text.find("formula ="), c.scoring);
        text.insert(text.find("cost = \"all\"\n", text.find("[checking.dupe]")) + 13, c.dupe);
        text += c.busted;
        if (!c.periods) text.erase(text.find("[[periods]]"), text.find("[[modes]]") - text.find("[[periods]]"));
        if (!c.error.empty()) {
            EXPECT_EQ(errorOf(text).substr(0, c.error.size()), c.error);
            continue;
        }
        const Checking checking = parseDefinition(text, "def.toml").checking;
        EXPECT_EQ(std::tuple(checking.repeatAfterMinutes, checking.dupesPerPeriod, checking.bustedExchange),
                  std::tuple(c.repeat, c.perPeriod, c.policy));
        EXPECT_EQ(parseDefinition(text, "def.toml").scoring.miscopiedPoints, c.kept);
    }
}

TEST(DefinitionFile, ReadsEveryContest) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kContests)) {
        if (entry.path().extension() != ".toml") continue;
        ++files;
        EXPECT_NO_THROW(readDefinition(entry.path())) << entry.path();
    }
    EXPECT_EQ(files, 6);
    EXPECT_THROW(readDefinition(kContests / "missing.toml"), DefinitionError);
}

TEST(DefinitionFile, SaTolvenFileIsTheBuiltInRecord) {
    const ContestDefinition file = readDefinition(kContests / "sa-tolven.toml");
    const ContestDefinition builtin = builtinSaTolven();
    EXPECT_EQ(file.names, builtin.names);
    EXPECT_EQ(file.bands, builtin.bands);
    EXPECT_EQ(file.modes, builtin.modes);
    EXPECT_EQ(file.exchange, builtin.exchange);
    EXPECT_EQ(file.scoring, builtin.scoring);
    EXPECT_EQ(file.checking, builtin.checking);
    EXPECT_EQ(file.categories, builtin.categories);
    EXPECT_EQ(file, builtin);
    // The copy built into the tools is the file, scored through the plug-in; any change is a definition's.
    EXPECT_EQ(builtinContest(), builtin);
    EXPECT_EQ(resolveContest(""), builtin);
    EXPECT_EQ(scoringKindOf(builtin), ScoringKind::kPlugin);
    ContestDefinition dated = builtin;
    dated.periods = {{sys_days{2026y / 3 / 7}, sys_days{2026y / 3 / 9}}};
    EXPECT_EQ(scoringKindOf(dated), ScoringKind::kDefinition);
    EXPECT_EQ(scoringKindOf(readDefinition(kContests / "nrau-baltic-ssb.toml")), ScoringKind::kDefinition);
}

// One rule for the period: --start/--end, when either is given, win over the definition's periods.
TEST(RunPeriod, DaysGivenWinOverTheDefinitionsPeriods) {
    const ContestDefinition nrau =
        readDefinition(kContests / "nrau-baltic-ssb.toml");  // 2022-01-09 0630-0830
    const std::optional<sys_days> none, jan9 = sys_days{2022y / 1 / 9}, jan10 = sys_days{2022y / 1 / 10};
    const sys_seconds t0700 = *jan9 + 7h, t0900 = *jan9 + 9h, t10th = *jan10 + 1h;
    const struct {
        const ContestDefinition* contest;
        std::optional<sys_days> start, end;
        bool at0700, at0900, on10th;
        const char* text;
    } cases[] = {
        {&nrau, none, none, true, false, false, "2022-01-09 0630 to 2022-01-09 0830 UTC"},
        {&nrau, jan9, jan9, true, true, false, "2022-01-09 to 2022-01-09"},
        {&nrau, jan9, none, true, true, true, "2022-01-09 to open"},
        {&builtinContest(), none, none, true, true, true, ""},
    };
    for (const auto& c : cases) {
        const RunPeriod period(c.contest, c.start, c.end);
        EXPECT_EQ(period.holds(t0700), c.at0700) << c.text;
        EXPECT_EQ(period.holds(t0900), c.at0900) << c.text;
        EXPECT_EQ(period.holds(t10th), c.on10th) << c.text;
        EXPECT_EQ(period.touches(*jan10), c.on10th) << c.text;
        EXPECT_EQ(period.text(), c.text);
        EXPECT_EQ(period.checked(), *c.text != '\0');
    }
}

// A log by its header: ranked in the rules' first category that takes it, a checklog, or apart with
// why; without the rules' categories, by its operator category.
TEST(ContestDefinition, PlacesALogByItsHeader) {
    using enum Placement::Kind;
    const ContestDefinition nrau = readDefinition(kContests / "nrau-baltic-ssb.toml");
    const ContestDefinition wpx = readDefinition(kContests / "cq-wpx-cw.toml");
    const ContestDefinition tolven = builtinSaTolven(), plain = parseDefinition(kBase, "def.toml");
    const struct {
        const ContestDefinition& contest;
        const char* header;  // "TAG=VALUE;..." with tags without "CATEGORY-" (a 2.0 line: "CATEGORY")
        Placement placed;
    } cases[] = {
        {nrau, "OPERATOR=SINGLE-OP;POWER=HIGH", {kRanked, "A single operator high power", ""}},
        {nrau, "OPERATOR= single-op;POWER=QRP", {kRanked, "B single operator up to 100 W", ""}},
        {nrau, "OPERATOR=MULTI-OP", {kRanked, "C multi-operator", ""}},
        {nrau, "OPERATOR=SINGLE-OP", {kApart, "", "CATEGORY-POWER: missing"}},
        {nrau, "", {kApart, "", "CATEGORY-OPERATOR: missing"}},
        {nrau, "OPERATOR=SCHOOL;POWER=LOW", {kApart, "", "no category takes CATEGORY-OPERATOR: SCHOOL"}},
        {nrau, "OPERATOR=CHECKLOG;POWER=HIGH", {kChecklog, "", ""}},
        {nrau, "CATEGORY=B - Single Operator LP", {kRanked, "B single operator up to 100 W", ""}},
        {nrau, "OPERATOR=SINGLE-OP;POWER=LOW;CATEGORY=CHECKLOG", {kChecklog, "", ""}},
        {nrau,
         "CATEGORY=Single Operator LP",
         {kApart, "", "CATEGORY-OPERATOR: missing (CATEGORY: SINGLE OPERATOR LP)"}},
        {wpx,
         "OPERATOR=SINGLE-OP;ASSISTED=NON-ASSISTED;BAND=40m;POWER=LOW",
         {kRanked, "Single operator low power, single band 40M", ""}},
        {wpx,
         "OPERATOR=SINGLE-OP;ASSISTED=ASSISTED;BAND=ALL;POWER=HIGH",
         {kRanked, "Single operator assisted high power, all bands", ""}},
        {wpx, "OPERATOR=MULTI-OP;TRANSMITTER=ONE;POWER=QRP", {kRanked, "Multi-single low power", ""}},
        {wpx, "OPERATOR=MULTI-OP;TRANSMITTER=ONE", {kApart, "", "CATEGORY-POWER: missing"}},
        {wpx, "OPERATOR=SINGLE-OP;BAND=ALL;POWER=HIGH", {kApart, "", "CATEGORY-ASSISTED: missing"}},
        {tolven, "OPERATOR=MULTI-OP HQCHECKLOG", {kChecklog, "", ""}},
        {tolven, "OPERATOR=SINGLE-OP;POWER=QRP", {kRanked, "SINGLE-OP QRP", ""}},
        {plain, "OPERATOR=multi-op", {kRanked, "MULTI-OP", ""}},
        {plain, "POWER=LOW", {kApart, "", "CATEGORY-OPERATOR: missing"}},
    };
    for (const auto& c : cases) {
        const Placement placed = c.contest.place([&](std::string_view tag) {
            const std::string header = std::string(";") + c.header + ";";
            const std::string key = ";" + std::string(tag.substr(tag.starts_with("CATEGORY-") ? 9 : 0)) + "=";
            const std::size_t at = header.find(key);
            if (at == std::string::npos) return std::string();
            return header.substr(at + key.size(), header.find(';', at + 1) - at - key.size());
        });
        EXPECT_EQ(placed.kind, c.placed.kind) << c.header;
        EXPECT_EQ(placed.category, c.placed.category) << c.header;
        EXPECT_EQ(placed.why, c.placed.why) << c.header;
    }
}

TEST(ContestDefinition, NrauNamesPeriodAndSubBands) {
    const ContestDefinition ssb = readDefinition(kContests / "nrau-baltic-ssb.toml");
    const ContestDefinition cw = readDefinition(kContests / "nrau-baltic-cw.toml");
    const struct {
        std::string_view line;
        bool ssb, cw;
    } names[] = {{"NRAU-BALTIC-SSB", true, false},
                 {"nrau baltic ssb", true, false},
                 {"  NRAU-Baltic\t", true, true},
                 {"NRAU", true, true},
                 {"NRAU-CW", false, true},
                 {"NRAU-BALTIC-CW", false, true},
                 {"NRAU-SSB", true, false},
                 {"ESFD", false, false},
                 {"", false, false},
                 {"NRAU-BALTIC-SSB-CW", false, false}};
    for (const auto& n : names) {
        EXPECT_EQ(ssb.matchesName(n.line), n.ssb) << n.line;
        EXPECT_EQ(cw.matchesName(n.line), n.cw) << n.line;
    }

    const sys_seconds day = sys_days{2022y / January / 9};
    EXPECT_FALSE(ssb.inPeriod(day + 6h + 29min + 59s));
    EXPECT_TRUE(ssb.inPeriod(day + 6h + 30min));
    EXPECT_TRUE(ssb.inPeriod(day + 8h + 29min + 59s));
    EXPECT_FALSE(ssb.inPeriod(day + 8h + 30min));
    EXPECT_TRUE(cw.inPeriod(day + 9h));
    EXPECT_FALSE(cw.inPeriod(day + 11h));

    const struct {
        std::uint32_t kHz;
        bool ssb, cw;
    } freqs[] = {{3500, false, false}, {3510, false, true},  {3560, false, true},  {3561, false, false},
                 {3599, false, false}, {3600, true, false},  {3650, true, false},  {3651, false, false},
                 {3700, true, false},  {3775, true, false},  {3776, false, false}, {7000, false, false},
                 {7010, false, true},  {7050, true, true},   {7060, true, true},   {7100, true, false},
                 {7101, false, false}, {7129, false, false}, {7130, true, false},  {7200, true, false},
                 {7201, false, false}, {14200, false, false}};
    for (const auto& f : freqs) {
        EXPECT_EQ(ssb.allowsFrequency(f.kHz, "SSB"), f.ssb) << f.kHz;
        EXPECT_EQ(cw.allowsFrequency(f.kHz, "CW"), f.cw) << f.kHz;
    }

    const ExchangeField* county = ssb.exchange.receivedField("county");
    ASSERT_NE(county, nullptr);
    EXPECT_TRUE(county->accepts("uu"));
    EXPECT_FALSE(county->accepts("RO"));  // listed as deleted
    EXPECT_EQ(ssb.checking.noLog.countsWith(9), false);
    EXPECT_EQ(ssb.checking.noLog.countsWith(10), true);
    EXPECT_EQ(ssb.exchange, cw.exchange);
}

TEST(ContestDefinition, WpxPointsByWhereTheStationIs) {
    const ContestDefinition ssb = readDefinition(kContests / "cq-wpx-ssb.toml");
    const struct {
        std::string_view band;
        Relation relation;
        std::string_view own;
        int points;
    } cases[] = {{"40m", Relation::kOtherContinent, "EU", 6}, {"20m", Relation::kOtherContinent, "NA", 3},
                 {"20m", Relation::kSameContinent, "EU", 1},  {"160m", Relation::kSameContinent, "EU", 2},
                 {"80m", Relation::kSameContinent, "NA", 4},  {"10m", Relation::kSameContinent, "NA", 2},
                 {"40m", Relation::kSameCountry, "NA", 1},    {"40m", Relation::kAny, "EU", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(ssb.scoring.pointsFor(c.band, c.relation, c.own), c.points) << c.band;
    EXPECT_EQ(ssb.scoring, readDefinition(kContests / "cq-wpx-cw.toml").scoring);
    EXPECT_TRUE(ssb.inPeriod(sys_days{2025y / March / 30} + 23h + 59min));
    EXPECT_FALSE(ssb.inPeriod(sys_days{2025y / March / 31}));
    EXPECT_TRUE(ssb.allowsCategory("category-transmitter", "two"));
    EXPECT_FALSE(ssb.allowsCategory("CATEGORY-TRANSMITTER", "LIMITED"));
    EXPECT_TRUE(ssb.allowsCategory("CATEGORY-OVERLAY", "ANYTHING"));
}

}  // namespace
