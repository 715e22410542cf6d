#pragma once
// A log scored by its contest's definition, for a contest other than SA-TOLVEN (whose score is the
// plug-in's): each QSO's points from its verdict and the definition's policies, the multipliers it
// gives, and the claimed and checked totals.

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/crosscheck_output.h"
#include "tools/crosscheck/exchange.h"

namespace logs {
class CountryFile;
}

namespace crosscheck {

/// Calls with a count each.
using CallCounts = TextMap<std::uint32_t>;

/// Per call worked: how many logs hold a QSO with it that the rules accept (no dupe, nor a QSO out
/// of the contest's bands, modes or period).
CallCounts logsHolding(const std::vector<StationLog>& logs, const CheckResult& check);

/// True when QSO `i` of log `k` is VERIFIED but pays for its partner's miscopy: the partner's
/// matching QSO is a BUSTED EXCHANGE, and `contest` makes an exchange error cost both stations.
bool paysForPartnersMiscopy(const contest::ContestDefinition& contest, const CheckResult& check, std::size_t k,
                            std::size_t i);

/// True when QSO `i` of log `k` is VERIFIED but pays for its partner's busted copy of this station's
/// call: the partner's QSO tied to it is a BUSTED CALL, and `contest` makes a busted call cost both.
bool paysForPartnersBustedCall(const contest::ContestDefinition& contest, const CheckResult& check,
                               std::size_t k, std::size_t i);

/// One log's score by the definition.
struct DefinitionScore {
    std::vector<int> points;  ///< per QSO, as checked
    Score claimed, checked;   ///< QSOs with points, multipliers, score
    long long claimedPoints = 0, checkedPoints = 0;
    long long penaltyQsos = 0;  ///< QSOs' worth of points the penalties took beyond the QSOs themselves
    std::array<long long, kVerdictCount> lostPoints{};  ///< claimed points less checked ones, by verdict
};

/// Scores the logs of one cross-check by `contest`. The references must outlive the scorer, and the
/// logs stay as they are while it lives; score() may run on several threads at once.
class DefinitionScorer {
  public:
    DefinitionScorer(const contest::ContestDefinition& contest, const std::vector<StationLog>& logs,
                     const CheckResult& check, const logs::CountryFile* countries, bool removeUniques);

    DefinitionScore score(std::size_t k) const;

    /// The points a correct QSO of log `k` with `call` on `band` is worth.
    int fullPoints(std::size_t k, const std::string& call, const std::string& band) const;
    /// logsHolding of the scored logs.
    const CallCounts& heldBy() const noexcept { return heldBy_; }

    /// The multipliers QSO `i` of log `k` gives as the log claims it, one for each kind of the contest
    /// that it gives ("CE3", "80m TL"); empty when it gives none.
    std::vector<std::string> claimedMultipliers(std::size_t k, std::size_t i) const;

  private:
    // What the scoring asks of a call, looked up once: its country's continent and main prefix, and
    // its WPX prefix.
    struct CallFacts {
        std::string continent, primaryPrefix, prefix;
    };
    using WorkedFacts = std::vector<const CallFacts*>;  // per QSO of a log: the call worked's

    CallFacts factsOf(std::string_view call) const;
    const CallFacts& facts(std::string_view call) const;
    void learnCalls();
    int pointsOf(const CallFacts& own, const CallFacts& other, std::string_view band) const;
    int checkedPoints(std::size_t k, std::size_t i, int full) const;
    int noLogPoints(const Qso& q, int full) const;
    int costed(const contest::FaultPolicy& policy, int full) const;
    int miscopied(int full) const;
    const contest::FaultPolicy* policyOf(Verdict v) const;
    std::string multiplierKey(const Qso& q, const contest::Multiplier& m, bool listed, const CallFacts& f) const;
    // The key QSO `q` claims for `m` (`field`: the received field a field's multiplier rests on) into
    // `key`, its value from `valueAt` on; false when it claims none.
    bool keyOf(const Qso& q, const contest::Multiplier& m, int field, const CallFacts& f, std::string& key,
               std::size_t& valueAt) const;
    bool checkedGives(std::size_t k, std::size_t i, const contest::Multiplier& m, int field,
                      std::string_view value) const;
    // The distinct multipliers of log `k`'s claimed and of its checked QSOs.
    std::pair<long long, long long> multipliers(std::size_t k, const std::vector<char>& claimed,
                                                const std::vector<char>& checked, const WorkedFacts& f) const;
    void chargePartners();

    const contest::ContestDefinition& contest_;
    const std::vector<StationLog>& logs_;
    const CheckResult& check_;
    const logs::CountryFile* countries_;
    const bool removeUniques_;
    const ExchangeLayout exchange_;
    CallCounts heldBy_;
    std::vector<std::vector<char>> charged_;  // per log and QSO: a fault of the other log costs it
    std::unordered_map<std::string_view, std::uint32_t> factIndex_;  // every call of the logs (views into them)
    std::vector<CallFacts> facts_;                                    // by factIndex_
    std::vector<std::vector<std::uint32_t>> worked_;                  // per log and QSO: the call's facts_
    std::vector<std::uint32_t> own_;                                  // per log: its own call's facts_
};

}  // namespace crosscheck
