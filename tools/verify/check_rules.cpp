#include <algorithm>
#include <optional>
#include <string_view>

#include "tools/verify/cabrillo_check.h"

namespace verify {

namespace {

// Each rule's stable key (stored with a finding), its title, and what the operator changes to mend it.
struct RuleText {
    Rule rule;
    std::string_view key, title, advice;
};
constexpr RuleText kRuleTexts[] = {
    {Rule::kNotText, "not-text", "not a plain text file",
     "Save the log as plain ASCII text, as the logging program exports it (not UTF-16, not a word "
     "processor's file)."},
    {Rule::kNonAscii, "non-ascii", "bytes outside printable ASCII",
     "Replace these characters with plain ASCII letters, digits and blanks."},
    {Rule::kEmptyLine, "empty-line", "empty lines", "Delete the empty lines."},
    {Rule::kStartOfLog, "start-of-log", "START-OF-LOG: not the first line, or of another version",
     "Make START-OF-LOG: 3.0 the first line of the log, and the only one."},
    {Rule::kEndOfLog, "end-of-log", "END-OF-LOG: missing, again, or not the last line",
     "End the log with one END-OF-LOG: line and nothing after it."},
    {Rule::kNoTag, "no-tag", "a line without a tag",
     "Start the line with its tag (QSO:, SOAPBOX:, ...), or delete it."},
    {Rule::kTagBlank, "tag-blank", "a tag not followed by a blank", "Put a blank after the tag's colon."},
    {Rule::kUnknownTag, "unknown-tag", "unknown tag",
     "Use the Cabrillo 3.0 tag the finding names (EMAIL:, not E-MAIL:), start a private tag with X-, or "
     "delete the line."},
    {Rule::kCallsign, "callsign", "CALLSIGN: missing, empty or not a call",
     "Give your call on a line CALLSIGN: YOURCALL."},
    {Rule::kContest, "contest", "CONTEST: missing or another contest",
     "Write the CONTEST: line the finding names."},
    {Rule::kClaimedScoreNumber, "claimed-score-number", "CLAIMED-SCORE: not a whole number",
     "Write the claimed score as a whole number without dots or blanks, or delete the line."},
    {Rule::kCategory, "category", "a category outside the Cabrillo 3.0 list",
     "Choose one of the values the finding lists."},
    {Rule::kQsoSyntax, "qso-syntax", "a QSO line that does not parse",
     "Give the QSO line every field the finding lists, in that order, one blank apart; or strike it out "
     "(X-QSO: in place of QSO:)."},
    {Rule::kQsoField, "qso-field", "a malformed field of a QSO line", "Correct the field the finding names."},
    {Rule::kBand, "band", "outside the contest bands",
     "Check the frequency: a QSO outside the contest bands scores nothing."},
    {Rule::kMode, "mode", "a mode not scored in this contest",
     "Check the mode: a QSO in a mode the contest does not score counts nothing."},
    {Rule::kRstFit, "rst-fit", "an RST that does not fit the mode",
     "Check the mode and the reports: three digits on CW, two on phone."},
    {Rule::kSerial, "serial", "a serial number empty or not a number",
     "Give the serial number as it was sent or received, in digits."},
    {Rule::kOwnCall, "own-call",
     "own call differs from CALLSIGN:", "Give the same own call in CALLSIGN: and in the QSO lines."},
    {Rule::kTimeOrder, "time-order", "QSO out of time order",
     "Check the date and time of these QSOs: the log's lines go in time order."},
    {Rule::kPeriod, "period", "QSO outside the contest period",
     "Check the date and time: a QSO outside the contest period scores nothing."},
    {Rule::kDupe, "dupe", "dupe", "Nothing: a dupe stays in the log and scores nothing."},
    {Rule::kClaimedScore, "claimed-score", "CLAIMED-SCORE: differs from the plug-in's score",
     "Check the claimed score against the score your logging program gives, or delete the line."},
    {Rule::kExchangeValue, "exchange-value", "an exchange field outside its valid values",
     "Check the exchange as it was copied."},
    {Rule::kTab, "tab", "a tab between the fields", "Separate the fields with blanks, not tabs."},
    {Rule::kVersion2Tag, "version-2-tag", "a Cabrillo 2.0 tag in a 3.0 log",
     "Write the Cabrillo 3.0 tags the finding names in place of the 2.0 one."},
    {Rule::kNoQso, "no-qso", "no QSO line that reads",
     "Send the log with its QSO lines, as the logging program exports it."},
    {Rule::kOtherContest, "other-contest", "QSOs of another contest",
     "Check that this is the log of this contest: none of its QSOs lies in the contest's bands and modes on "
     "the days of its period."},
    {Rule::kRelayed, "relayed", "a relayed number not the one received before",
     "Check the relayed number: it is the number received in the QSO before, in time order."},
};

const RuleText* ruleText(Rule rule) {
    for (const RuleText& t : kRuleTexts)
        if (t.rule == rule) return &t;
    return nullptr;
}

}  // namespace

std::string_view ruleTitle(Rule rule) {
    const RuleText* t = ruleText(rule);
    return t ? t->title : "other";
}

std::string_view ruleKey(Rule rule) {
    const RuleText* t = ruleText(rule);
    return t ? t->key : "other";
}

std::string_view ruleAdvice(Rule rule) {
    const RuleText* t = ruleText(rule);
    return t ? t->advice : std::string_view();
}

std::optional<Rule> ruleOfKey(std::string_view key) {
    for (const RuleText& t : kRuleTexts)
        if (t.key == key) return t.rule;
    return std::nullopt;
}

bool blocksScoring(Rule rule) {
    // What leaves nothing to score fairly: no station, no QSO, a file that is no text, or QSOs that are
    // all another contest's. Every other fault is the operator's to mend and the committee's to judge.
    return rule == Rule::kCallsign || rule == Rule::kNoQso || rule == Rule::kOtherContest ||
           rule == Rule::kNotText;
}

bool CheckFinding::blocksScoring() const {
    return severity == Severity::kError && verify::blocksScoring(rule);
}

bool acceptableForScoring(const std::vector<CheckFinding>& findings) {
    return std::none_of(findings.begin(), findings.end(),
                        [](const CheckFinding& f) { return f.blocksScoring(); });
}

}  // namespace verify
