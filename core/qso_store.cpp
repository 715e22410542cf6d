#include "core/qso_store.h"

#include <algorithm>
#include <stdexcept>

namespace stats {

const CInfo& QsoStore::at(std::size_t index) const {
    if (index >= records_.size()) throw std::out_of_range("QsoStore: index out of range");
    return records_[index].info;
}

std::size_t QsoStore::positionOf(std::uint64_t seq) const {
    const auto it = std::lower_bound(records_.begin(), records_.end(), seq,
                                     [](const Slot& s, std::uint64_t v) { return s.seq < v; });
    return static_cast<std::size_t>(it - records_.begin());
}

std::size_t QsoStore::append(const CInfo& record) {
    const std::uint64_t seq = nextSeq_++;
    records_.push_back(Slot{record, seq});

    CallEntry& entry = byCall_[record.call];
    entry.seqs.push_back(seq);
    std::size_t earlier = 0;
    ContactCount* count = contactCount(entry, record.band, record.mode);
    if (count) {
        earlier = count->count++;
    } else {
        entry.contacts.push_back(ContactCount{record.band, record.mode, 1});
    }
    ++prefixCount_[record.saPrefix];
    return earlier;
}

void QsoStore::removeAt(std::size_t index) {
    if (index >= records_.size()) throw std::out_of_range("QsoStore: index out of range");
    const Slot& slot = records_[index];

    const auto entryIt = byCall_.find(slot.info.call);
    CallEntry& entry = entryIt->second;
    entry.seqs.erase(std::lower_bound(entry.seqs.begin(), entry.seqs.end(), slot.seq));
    const auto countIt = std::find_if(entry.contacts.begin(), entry.contacts.end(), [&](const ContactCount& c) {
        return c.band == slot.info.band && c.mode == slot.info.mode;
    });
    if (--countIt->count == 0) entry.contacts.erase(countIt);
    if (entry.seqs.empty()) byCall_.erase(entryIt);

    const auto prefixIt = prefixCount_.find(slot.info.saPrefix);
    if (--prefixIt->second == 0) prefixCount_.erase(prefixIt);

    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(index));
}

void QsoStore::clear() noexcept {
    records_.clear();
    byCall_.clear();
    prefixCount_.clear();
}

void QsoStore::setDupe(std::size_t index, std::int32_t isDupe) {
    if (index >= records_.size()) throw std::out_of_range("QsoStore: index out of range");
    records_[index].info.isDupe = isDupe;
}

std::optional<std::size_t> QsoStore::findContact(std::string_view call, std::string_view band,
                                                 std::string_view mode) const {
    const auto it = byCall_.find(call);
    if (it == byCall_.end() || !contactCount(it->second, band, mode)) return std::nullopt;
    for (const std::uint64_t seq : it->second.seqs) {
        const std::size_t pos = positionOf(seq);
        const CInfo& info = records_[pos].info;
        if (info.band == band && info.mode == mode) return pos;
    }
    return std::nullopt;
}

std::vector<std::size_t> QsoStore::contactPositions(std::string_view call, std::string_view band,
                                                    std::string_view mode) const {
    std::vector<std::size_t> out;
    const auto it = byCall_.find(call);
    if (it == byCall_.end() || !contactCount(it->second, band, mode)) return out;
    for (const std::uint64_t seq : it->second.seqs) {
        const std::size_t pos = positionOf(seq);
        const CInfo& info = records_[pos].info;
        if (info.band == band && info.mode == mode) out.push_back(pos);
    }
    return out;
}

std::size_t QsoStore::countContact(std::string_view call, std::string_view band, std::string_view mode) const {
    const auto it = byCall_.find(call);
    if (it == byCall_.end()) return 0;
    const ContactCount* count = contactCount(it->second, band, mode);
    return count ? count->count : 0;
}

bool QsoStore::hasPrefix(std::string_view prefix) const { return prefixCount_.find(prefix) != prefixCount_.end(); }

std::vector<std::size_t> QsoStore::callPositions(std::string_view call) const {
    std::vector<std::size_t> out;
    const auto it = byCall_.find(call);
    if (it == byCall_.end()) return out;
    out.reserve(it->second.seqs.size());
    for (const std::uint64_t seq : it->second.seqs) out.push_back(positionOf(seq));
    return out;
}

}  // namespace stats
