#pragma once
// The in-memory log of the current contest run.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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

/// Contacts of the current contest run, in the order the host supplied them.
/// Indexed by call (and call, band, mode) and by multiplier prefix, so that every lookup
/// gives the result of a scan from index 0 without scanning the log.
class QsoStore {
public:
    std::size_t size() const noexcept { return records_.size(); }
    bool empty() const noexcept { return records_.empty(); }

    /// Checked access: an index outside 0..size-1 throws std::out_of_range.
    const CInfo& at(std::size_t index) const;

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
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    template <typename V>
    using TextMap = std::unordered_map<std::string, V, StringHash, std::equal_to<>>;

    // Records carry a sequence number that grows with every append. Removal keeps the order, so
    // the numbers stay ascending along the store and a position is found by binary search.
    struct Slot {
        CInfo info;
        std::uint64_t seq;
    };
    struct ContactCount {
        std::string band;
        std::string mode;
        std::size_t count;
    };
    struct CallEntry {
        std::vector<std::uint64_t> seqs;      // ascending: store order
        std::vector<ContactCount> contacts;  // one per band and mode worked with this call
    };

    std::size_t positionOf(std::uint64_t seq) const;
    template <typename Entry>
    static auto* contactCount(Entry& entry, std::string_view band, std::string_view mode) {
        for (auto& c : entry.contacts)
            if (c.band == band && c.mode == mode) return &c;
        return static_cast<decltype(&entry.contacts.front())>(nullptr);
    }

    std::vector<Slot> records_;
    TextMap<CallEntry> byCall_;
    TextMap<std::size_t> prefixCount_;
    std::uint64_t nextSeq_ = 0;
};

}  // namespace stats
