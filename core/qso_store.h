#pragma once
// The in-memory log of the current contest run.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/ole_date.h"

namespace stats {

/// One logged contact, with every text exactly as the host passed it.
struct CInfo {
    std::string call;
    std::string band;
    std::string mode;
    std::string rstReceived;
    std::string rstSent;
    std::string numberReceived;
    std::string numberSent;
    std::string saPrefix;  ///< the multiplier; empty when the contact carries none
    std::uint32_t frequencyKHz = 0;
    std::int32_t isDupe = 0;
    OleDateTime qsoTime;

    friend bool operator==(const CInfo&, const CInfo&) = default;
};

/// The fields of one stored contact, read in place: valid until the store next changes.
struct CInfoView {
    std::string_view call;
    std::string_view band;
    std::string_view mode;
    std::string_view rstReceived;
    std::string_view rstSent;
    std::string_view numberReceived;
    std::string_view numberSent;
    std::string_view saPrefix;
    std::uint32_t frequencyKHz = 0;
    std::int32_t isDupe = 0;
    OleDateTime qsoTime;
};

/// Contacts of the current contest run, in the order the host supplied them.
/// Indexed by call (and call, band, mode) and by multiplier prefix, so that every lookup
/// gives the result of a scan from index 0 without scanning the log.
/// Records are held compactly (a 32-bit host keeps a log of a million contacts in well under
/// 200 MB); at() hands out a CInfo copy.
class QsoStore {
  public:
    QsoStore() = default;
    QsoStore(const QsoStore& other);
    QsoStore& operator=(const QsoStore& other);
    QsoStore(QsoStore&&) noexcept = default;
    QsoStore& operator=(QsoStore&&) noexcept = default;
    ~QsoStore() = default;

    std::size_t size() const noexcept { return records_.size(); }
    bool empty() const noexcept { return records_.empty(); }

    /// Checked access: an index outside 0..size-1 throws std::out_of_range.
    CInfo at(std::size_t index) const;

    /// Checked access without copying the texts, for passes over the whole log.
    CInfoView view(std::size_t index) const;

    /// Appends a copy at the end; returns how many earlier records have the same call, band and mode.
    std::size_t append(const CInfo& record);

    /// Removes one record; later records move down by one and keep their order.
    void removeAt(std::size_t index);

    void clear() noexcept;

    void setDupe(std::size_t index, std::int32_t isDupe);

    /// Position of the first record with exactly this call, band and mode.
    std::optional<std::size_t> findContact(std::string_view call, std::string_view band,
                                           std::string_view mode) const;

    /// Positions of all records with exactly this call, band and mode, in store order.
    std::vector<std::size_t> contactPositions(std::string_view call, std::string_view band,
                                              std::string_view mode) const;

    /// Number of records with exactly this call, band and mode.
    std::size_t countContact(std::string_view call, std::string_view band, std::string_view mode) const;

    /// True when some record (dupes included) carries exactly this `saPrefix` (the empty one too).
    bool hasPrefix(std::string_view prefix) const;

    /// Positions of all records with exactly this call, in store order.
    std::vector<std::size_t> callPositions(std::string_view call) const;

  private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    template <typename V>
    using TextMap = std::unordered_map<std::string, V, StringHash, std::equal_to<>>;

    // A band and mode pair; the few distinct ones are shared by all records.
    struct Kind {
        std::string band;
        std::string mode;
    };
    struct KindLess {
        using is_transparent = void;
        template <typename A, typename B>
        bool operator()(const A& a, const B& b) const noexcept {
            return std::pair<std::string_view, std::string_view>(a.band, a.mode) <
                   std::pair<std::string_view, std::string_view>(b.band, b.mode);
        }
    };
    struct KindView {
        std::string_view band;
        std::string_view mode;
    };
    struct ContactCount {
        const Kind* kind;
        std::uint32_t count;
    };
    // The records of one call form a chain in store order, linked by sequence numbers.
    struct CallEntry {
        std::uint32_t first = kNone;
        std::uint32_t last = kNone;
        // One per band and mode worked with this call; most calls have one, kept in place.
        ContactCount firstKind{nullptr, 0};
        std::vector<ContactCount> otherKinds;
    };
    using CallMap = TextMap<CallEntry>;
    using CallNode = CallMap::value_type;
    using PrefixMap = TextMap<std::uint32_t>;
    using PrefixNode = PrefixMap::value_type;

    // Map nodes never move, so records point at their call, kind and prefix. The call again and
    // the four other texts sit in texts_ at `texts`, each behind its length, so that a pass over
    // the log reads two arrays in order and never the call index.
    struct Record {
        CallNode* call;
        const Kind* kind;
        PrefixNode* prefix;
        std::uint32_t texts;
        std::uint32_t nextOfCall;  // sequence number of the next record of this call, or kNone
        std::uint32_t frequencyKHz;
        std::int32_t isDupe;
        std::int32_t timeStatus;
        double time;
    };

    // Every append takes the next sequence number. With no removals a record's sequence number
    // is its position; removed_ lists the numbers removed since, so a position is its number
    // less the removed numbers below it.
    std::size_t positionOf(std::uint32_t seq) const noexcept;
    std::uint32_t seqAt(std::size_t position) const noexcept;
    void renumber();
    void compactTexts();
    void checkIndex(std::size_t index) const;
    template <typename Entry>
    static auto* contactCount(Entry& entry, const Kind* kind) noexcept {
        if (entry.firstKind.kind == kind) return &entry.firstKind;
        for (auto& c : entry.otherKinds)
            if (c.kind == kind) return &c;
        return static_cast<decltype(&entry.firstKind)>(nullptr);
    }
    const ContactCount* contactCount(std::string_view call, std::string_view band,
                                     std::string_view mode) const;

    std::vector<Record> records_;
    std::vector<char> texts_;
    std::size_t deadTextBytes_ = 0;
    CallMap byCall_;
    PrefixMap prefixCount_;
    std::set<Kind, KindLess> kinds_;
    std::vector<std::uint32_t> removed_;  // ascending
    std::uint32_t nextSeq_ = 0;
};

}  // namespace stats
