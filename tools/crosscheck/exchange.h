#pragma once
// A contest's exchange as the cross-check reads and compares it: where each field stands on a QSO
// line and in a QSO's exchange text, which received field is compared with which sent one, and the
// contest's bands and modes as the matching indexes them.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/contest/contest_choice.h"
#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/crosscheck.h"

namespace crosscheck {

/// The built-in contest's record (contest::builtinContest), for the callers that still default to it.
const contest::ContestDefinition& saTolven();

/// Field `index` of an exchange text (fields one blank apart), or "" when it has fewer.
std::string_view exchangeField(std::string_view exchange, std::size_t index);

/// A received field that differs from what the other station sent.
struct FieldMismatch {
    std::string field;   ///< the field's name: "serial", "county"
    std::string copied;  ///< as this log received it
    std::string sent;    ///< as the other log sent it
};

/// The exchange of one contest: the fields' places and the comparisons the matching makes.
class ExchangeLayout {
  public:
    explicit ExchangeLayout(const contest::ContestDefinition& contest);

    /// True when every compared field this QSO received is what the other QSO sent.
    bool receivedAgrees(const Qso& own, const Qso& other) const;
    /// The first compared field this QSO received that differs from what the other QSO sent.
    std::optional<FieldMismatch> mismatch(const Qso& own, const Qso& other) const;
    /// True when the received field called `name` agrees with what the other QSO sent (true when it is not
    /// compared).
    bool fieldAgrees(std::string_view name, const Qso& own, const Qso& other) const;
    /// True when the exchange has more than one compared field, so that a verdict names the field.
    bool namesFields() const noexcept { return compared_.size() > 1; }
    /// The fields of a QSO line after the own call and after the call: "sent rst, serial and county".
    std::string lineFieldsText() const;
    /// How many fields a QSO line has without the transmitter id.
    std::size_t lineFieldCount() const noexcept { return 6 + sent_.size() + received_.size(); }
    const std::vector<contest::ExchangeField>& sent() const noexcept { return sent_; }
    const std::vector<contest::ExchangeField>& received() const noexcept { return received_; }
    /// The places of the numbering field (the first serial) in the sent and received fields; -1 none.
    int serialSent() const noexcept { return serialSent_; }
    int serialReceived() const noexcept { return serialReceived_; }

  private:
    // A received field compared with the sent field of the same name (signal reports are not).
    struct Compared {
        std::size_t received, sent;
        bool serial;     // compared as numbers
        bool numbering;  // the numbering field, held apart in Qso::sent and Qso::received
    };
    bool agrees(const Compared& c, const Qso& own, const Qso& other) const;

    std::vector<contest::ExchangeField> sent_, received_;
    std::vector<Compared> compared_;
    int serialSent_ = -1, serialReceived_ = -1;
};

/// The bands and modes of a contest as the matching indexes them, and the frequency rules.
class BandPlan {
  public:
    explicit BandPlan(const contest::ContestDefinition& contest);

    /// The slot of a band and mode of the contest (band * modes + mode), 0 for others.
    std::uint64_t slot(const ShortText& band, const ShortText& mode) const;
    std::size_t slotCount() const noexcept { return slots_; }
    /// Bits that hold a slot.
    unsigned slotBits() const noexcept { return bits_; }
    /// True when two slots are of one band, and of one mode.
    bool sameBand(std::uint64_t a, std::uint64_t b) const noexcept { return a / modeCount() == b / modeCount(); }
    bool sameMode(std::uint64_t a, std::uint64_t b) const noexcept { return a % modeCount() == b % modeCount(); }
    /// True when a QSO's frequency places it in its mode's part of its band: within the mode's
    /// sub-bands where the band has them, else on the mode's side of the band's phone split.
    bool placesMode(const Qso& q) const;
    /// True when the frequency is given in kHz, not as a band designator, and lies outside the
    /// sub-bands its band confines the QSO's mode to.
    bool outsideSubBands(const Qso& q) const;

  private:
    const contest::ContestDefinition& contest_;
    std::size_t slots_;
    unsigned bits_;
    std::vector<ShortText> bands_, modes_;  // the names, compared as QSOs hold them
    std::uint64_t modeCount() const noexcept { return std::max<std::uint64_t>(1, modes_.size()); }
};

/// The frequency places the QSO on its band: kHz, not a band designator (a multiple of 1000, or
/// the band's designator in kHz: 3500 on 80 m).
bool placesBand(const Qso& q, const contest::ContestDefinition& contest);

/// Why the rules reject a QSO before any matching, or none: a band or mode the contest lacks, a
/// serial number missing.
std::optional<Verdict> rejection(const Qso& q, const contest::ContestDefinition& contest);

}  // namespace crosscheck
