#pragma once
// Where the stations of a generated contest work and what they exchange: the contest's bands and
// modes with their segments (and two bands it does not count), its text fields, its minutes.

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/crosscheck.h"

namespace crosscheck::generator {

/// A band and mode with the kHz range of its segment, and the band's designator in kHz.
struct BandMode {
    std::string_view band;
    std::string_view mode;
    std::uint32_t lowKHz, highKHz;
    std::uint32_t designatorKHz;
};

/// The bands a station may keep a sequence on: the contest's and the two it does not count.
constexpr std::size_t kMaxBands = 16;

/// Where the stations of a contest work: the contest's bands, then two it does not count (QSOs
/// there are OUT OF BAND, but their numbers belong to the stations' sequences all the same); on
/// each band each mode of the contest, within the mode's sub-band where the band has one, else CW
/// below the band's split and phone from it. The QSOs fall in the last 24 hours of the period
/// (a fast clock logs its last QSOs after it; the cross-check takes the clock's offset off).
class Plan {
  public:
    explicit Plan(const contest::ContestDefinition& contest);

    const contest::ContestDefinition& contest() const noexcept { return contest_; }
    const BandMode& operator[](std::size_t bm) const { return bandModes_[bm]; }
    std::size_t bandModes() const noexcept { return bandModes_.size(); }
    std::size_t modes() const noexcept { return modes_; }
    /// Band and mode index: band * modes + mode; the contest's come first.
    std::size_t contestBandModes() const noexcept { return contestBands_ * modes_; }
    std::size_t bandOf(std::uint8_t bm) const noexcept { return bm / modes_; }
    /// The same mode on the next band of the contest, and the next mode on the same band.
    std::uint8_t otherBand(std::uint8_t bm) const noexcept {
        return static_cast<std::uint8_t>((bm + modes_) % contestBandModes());
    }
    std::uint8_t otherMode(std::uint8_t bm) const noexcept {
        return static_cast<std::uint8_t>(bm - bm % modes_ + (bm % modes_ + 1) % modes_);
    }
    /// The exchange's text fields by name, the received ones first: a station sends one value of
    /// each all contest long.
    const std::vector<const contest::ExchangeField*>& textFields() const noexcept { return textFields_; }
    std::size_t receivedTexts() const noexcept { return receivedTexts_; }
    bool receivesSerial() const noexcept {
        return std::any_of(
            contest_.exchange.received.begin(), contest_.exchange.received.end(),
            [](const contest::ExchangeField& f) { return f.kind == contest::FieldKind::kSerial; });
    }
    /// The place of the text field `name` in textFields().
    std::size_t textIndex(std::string_view name) const {
        return static_cast<std::size_t>(std::find_if(textFields_.begin(), textFields_.end(),
                                                     [name](const auto* f) { return f->name == name; }) -
                                        textFields_.begin());
    }
    /// The numbering the contest allows nearest to `wanted`.
    Numbering allowed(Numbering wanted) const noexcept;
    /// The first QSO's minute, in seconds.
    std::int64_t start() const noexcept { return start_; }
    /// The minutes of play, over every period played.
    std::int64_t minutes() const noexcept { return minutes_; }
    /// The time of minute `minute` of play, in seconds since 1970.
    std::int64_t timeOf(std::int64_t minute) const noexcept;
    /// The period played that minute `minute` of play falls in, by its place among them.
    std::size_t periodOf(std::int64_t minute) const noexcept;
    /// The first minute of play of period `p`; minutes() after the last.
    std::int64_t firstMinuteOf(std::size_t p) const noexcept;
    std::size_t periodsPlayed() const noexcept { return played_.size(); }
    /// 1 for a minute in the first half of its period, else -1: the way a time shifted some
    /// minutes stays in the period.
    int towardMiddle(std::int64_t minute) const noexcept;
    std::int64_t periodStart() const noexcept { return periodStart_; }
    std::int64_t periodEnd() const noexcept { return periodEnd_; }

  private:
    void addBand(std::string_view name, std::string_view designator, contest::KHzRange range,
                 std::uint32_t phoneFromKHz, const contest::Band* band);
    void playPeriods();

    // A stretch of play: its first second and its length in minutes.
    struct Stretch {
        std::int64_t start, minutes;
    };

    const contest::ContestDefinition& contest_;
    std::vector<BandMode> bandModes_;
    std::vector<const contest::ExchangeField*> textFields_;
    std::size_t receivedTexts_ = 0;
    std::size_t bands_ = 0, contestBands_ = 0, modes_ = 0;
    std::int64_t start_ = 0, minutes_ = 0, periodStart_ = 0, periodEnd_ = 0;
    std::vector<Stretch> played_;  // in time order
};

}  // namespace crosscheck::generator
