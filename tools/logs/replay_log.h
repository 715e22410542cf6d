#pragma once
// The contacts of a log, held compactly until they are fed to the plug-in oldest first.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ole_date.h"
#include "tools/logs/qso_mapping.h"

namespace logs {

/// Contacts with their texts in one arena, NUL-terminated, so a large log costs little memory
/// and the texts can go to the plug-in as they are.
class ReplayLog {
  public:
    enum Text {
        kOwnCall,
        kCall,
        kMode,
        kRstSent,
        kRstReceived,
        kNumberSent,
        kNumberReceived,
        kPrefix,
        kContinent,
        kBand,
        kTransmitter,
        kTextCount
    };

    /// One contact: the values that are no texts, and where its texts start in the arena.
    struct Contact {
        std::chrono::sys_seconds when;
        stats::OleDateTime time;
        std::uint32_t frequencyHz = 0;
        std::uint64_t record = 0;  ///< record number in the file
        std::uint64_t texts = 0;   ///< offset of the first text in the arena
    };

    void add(const ReplayQso& qso, std::uint64_t recordNumber);
    /// Orders the contacts by time; contacts of the same second keep their order in the file.
    void sortOldestFirst();

    std::size_t size() const noexcept { return contacts_.size(); }
    bool empty() const noexcept { return contacts_.empty(); }
    const Contact& operator[](std::size_t i) const { return contacts_[i]; }
    /// The texts of contact `i`, each NUL-terminated; valid until the next add().
    std::array<const char*, kTextCount> texts(std::size_t i) const;

  private:
    std::vector<Contact> contacts_;
    std::vector<char> arena_;
};

}  // namespace logs
