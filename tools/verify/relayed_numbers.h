#pragma once
// A log's relayed numbers checked against the log itself: in a contest whose exchange relays the
// first number received in the previous QSO, each QSO's relayed number sent must be the number the
// log received in its previous QSO, in time order.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace contest {
struct ContestDefinition;
}

namespace verify {

struct CheckFinding;

/// Collects the QSO lines of one log, then warns where a relayed number is not the one received before.
class RelayedNumbers {
  public:
    /// Checks by `contest`'s exchange; none, or one that relays no number, checks nothing.
    explicit RelayedNumbers(const contest::ContestDefinition* contest);

    /// A QSO line that parses at line `n`: its date and time fields and all its fields, as the
    /// contest lays them out.
    void add(std::uint64_t n, std::string_view date, std::string_view time,
             const std::vector<std::string_view>& fields);
    /// A QSO line at line `n` that does not parse, with the fields it has: it breaks the chain, so
    /// the QSO after it relays a number the log cannot tell.
    void skip(std::uint64_t n, const std::vector<std::string_view>& fields);
    /// One warning per QSO whose relayed number is not what the log received in its previous QSO,
    /// appended to `findings`.
    void addFindings(std::vector<CheckFinding>& findings) const;

  private:
    struct Line {
        std::uint64_t n;
        std::string stamp;     // "YYYY-MM-DD HHMM": sorts in time order
        unsigned long serial;  // the own serial sent, which orders the QSOs of one minute
        std::string relayed, received;
        bool parsed = true;  // false: a line skipped, which no QSO is checked against
    };
    int relayedAt_ = -1;   // the field's place on a QSO line, -1 none
    int serialAt_ = -1;    // the own serial's place
    int receivedAt_ = -1;  // the first received number's place
    std::vector<Line> lines_;
};

}  // namespace verify
