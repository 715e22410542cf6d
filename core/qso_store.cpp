#include "core/qso_store.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace stats {
namespace {

// Removed numbers kept before the store renumbers itself; keeps positionOf() a short search.
constexpr std::size_t kMaxRemoved = 1024;

// A record's short texts, each written as its length in 7-bit groups and then its bytes.
constexpr int kRecordTexts = 5;

void putText(std::vector<char>& out, std::string_view text) {
    std::size_t n = text.size();
    do {
        const auto group = static_cast<unsigned char>(n & 0x7F);
        n >>= 7;
        out.push_back(static_cast<char>(n ? group | 0x80 : group));
    } while (n);
    out.insert(out.end(), text.begin(), text.end());
}

std::string_view takeText(const char*& p) noexcept {
    std::size_t n = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*p++);
        n |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) break;
    }
    const std::string_view text(p, n);
    p += n;
    return text;
}

std::size_t textsSize(const char* begin) noexcept {
    const char* p = begin;
    for (int i = 0; i < kRecordTexts; ++i) takeText(p);
    return static_cast<std::size_t>(p - begin);
}

}  // namespace

QsoStore::QsoStore(const QsoStore& other) {
    *this = other;
}

QsoStore& QsoStore::operator=(const QsoStore& other) {
    // Records point into their own store's maps, so a copy is rebuilt record by record.
    if (this == &other) return *this;
    QsoStore copy;
    copy.records_.reserve(other.size());
    for (std::size_t i = 0; i < other.size(); ++i) copy.append(other.at(i));
    *this = std::move(copy);
    return *this;
}

void QsoStore::checkIndex(std::size_t index) const {
    if (index >= records_.size()) throw std::out_of_range("QsoStore: index out of range");
}

CInfoView QsoStore::view(std::size_t index) const {
    checkIndex(index);
    const Record& r = records_[index];
    CInfoView v;
    const char* p = texts_.data() + r.texts;
    v.call = takeText(p);
    v.band = r.kind->band;
    v.mode = r.kind->mode;
    v.rstReceived = takeText(p);
    v.rstSent = takeText(p);
    v.numberReceived = takeText(p);
    v.numberSent = takeText(p);
    v.saPrefix = r.prefix->first;
    v.frequencyKHz = r.frequencyKHz;
    v.isDupe = r.isDupe;
    v.qsoTime = OleDateTime{r.time, r.timeStatus};
    return v;
}

CInfo QsoStore::at(std::size_t index) const {
    const CInfoView v = view(index);
    return CInfo{std::string(v.call),
                 std::string(v.band),
                 std::string(v.mode),
                 std::string(v.rstReceived),
                 std::string(v.rstSent),
                 std::string(v.numberReceived),
                 std::string(v.numberSent),
                 std::string(v.saPrefix),
                 v.frequencyKHz,
                 v.isDupe,
                 v.qsoTime};
}

std::size_t QsoStore::positionOf(std::uint32_t seq) const noexcept {
    if (removed_.empty()) return seq;
    return seq - static_cast<std::size_t>(std::lower_bound(removed_.begin(), removed_.end(), seq) -
                                          removed_.begin());
}

std::uint32_t QsoStore::seqAt(std::size_t position) const noexcept {
    // The position-th number that was not removed.
    auto seq = static_cast<std::uint32_t>(position);
    for (const std::uint32_t r : removed_) {
        if (r > seq) break;
        ++seq;
    }
    return seq;
}

void QsoStore::renumber() {
    for (Record& r : records_) r.call->second.first = kNone;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        Record& r = records_[i];
        CallEntry& entry = r.call->second;
        const auto seq = static_cast<std::uint32_t>(i);
        if (entry.first == kNone)
            entry.first = seq;
        else
            records_[entry.last].nextOfCall = seq;  // entry.last is already a new number
        entry.last = seq;
        r.nextOfCall = kNone;
    }
    removed_.clear();
    nextSeq_ = static_cast<std::uint32_t>(records_.size());
}

void QsoStore::compactTexts() {
    std::vector<char> texts;
    texts.reserve(texts_.size() - deadTextBytes_);
    for (Record& r : records_) {
        const char* begin = texts_.data() + r.texts;
        const std::size_t n = textsSize(begin);
        r.texts = static_cast<std::uint32_t>(texts.size());
        texts.insert(texts.end(), begin, begin + n);
    }
    texts_ = std::move(texts);
    deadTextBytes_ = 0;
}

const QsoStore::ContactCount* QsoStore::contactCount(std::string_view call, std::string_view band,
                                                     std::string_view mode) const {
    const auto callIt = byCall_.find(call);
    if (callIt == byCall_.end()) return nullptr;
    const auto kindIt = kinds_.find(KindView{band, mode});
    if (kindIt == kinds_.end()) return nullptr;
    return contactCount(callIt->second, &*kindIt);
}

std::size_t QsoStore::append(const CInfo& record) {
    // Sequence numbers are 32-bit; kNone stays free.
    if (nextSeq_ == kNone) renumber();
    if (records_.size() >= kNone) throw std::length_error("QsoStore: too many records");

    const std::size_t textsAt = texts_.size();
    if (textsAt > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("QsoStore: texts too long");
    for (const std::string* text :
         {&record.call, &record.rstReceived, &record.rstSent, &record.numberReceived, &record.numberSent})
        putText(texts_, *text);

    auto callIt = byCall_.find(record.call);
    if (callIt == byCall_.end()) callIt = byCall_.try_emplace(record.call).first;
    auto prefixIt = prefixCount_.find(record.saPrefix);
    if (prefixIt == prefixCount_.end()) prefixIt = prefixCount_.try_emplace(record.saPrefix, 0u).first;
    auto kindIt = kinds_.find(KindView{record.band, record.mode});
    if (kindIt == kinds_.end()) kindIt = kinds_.insert(Kind{record.band, record.mode}).first;

    records_.push_back(Record{&*callIt, &*kindIt, &*prefixIt, static_cast<std::uint32_t>(textsAt), kNone,
                              record.frequencyKHz, record.isDupe, record.qsoTime.status, record.qsoTime.dt});

    const std::uint32_t seq = nextSeq_++;
    CallEntry& entry = callIt->second;
    if (entry.first == kNone)
        entry.first = seq;
    else
        records_[positionOf(entry.last)].nextOfCall = seq;
    entry.last = seq;

    std::size_t earlier = 0;
    if (ContactCount* count = contactCount(entry, &*kindIt))
        earlier = count->count++;
    else if (!entry.firstKind.kind)
        entry.firstKind = ContactCount{&*kindIt, 1};
    else
        entry.otherKinds.push_back(ContactCount{&*kindIt, 1});
    ++prefixIt->second;
    return earlier;
}

void QsoStore::removeAt(std::size_t index) {
    checkIndex(index);
    const Record removed = records_[index];
    const std::uint32_t seq = seqAt(index);

    // Unlink from the call's chain.
    CallEntry& entry = removed.call->second;
    if (entry.first == seq) {
        entry.first = removed.nextOfCall;
        if (entry.last == seq) entry.last = kNone;
    } else {
        std::uint32_t prev = entry.first;
        for (;;) {
            Record& r = records_[positionOf(prev)];
            if (r.nextOfCall == seq) {
                r.nextOfCall = removed.nextOfCall;
                break;
            }
            prev = r.nextOfCall;
        }
        if (entry.last == seq) entry.last = prev;
    }

    ContactCount* count = contactCount(entry, removed.kind);
    if (--count->count == 0) {
        if (count != &entry.firstKind) {
            entry.otherKinds.erase(entry.otherKinds.begin() + (count - entry.otherKinds.data()));
        } else if (entry.otherKinds.empty()) {
            entry.firstKind = ContactCount{nullptr, 0};
        } else {
            entry.firstKind = entry.otherKinds.back();
            entry.otherKinds.pop_back();
        }
    }
    // Erased through an iterator: the key to erase by would be the erased node's own.
    if (entry.first == kNone) byCall_.erase(byCall_.find(removed.call->first));
    if (--removed.prefix->second == 0) prefixCount_.erase(prefixCount_.find(removed.prefix->first));

    deadTextBytes_ += textsSize(texts_.data() + removed.texts);
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(index));
    removed_.insert(std::upper_bound(removed_.begin(), removed_.end(), seq), seq);

    if (removed_.size() > kMaxRemoved) renumber();
    // Removal already moves every later record; reclaiming the texts of removed ones when they
    // make up half of the buffer keeps that cost in proportion.
    if (deadTextBytes_ * 2 > texts_.size()) compactTexts();
}

void QsoStore::clear() noexcept {
    records_.clear();
    texts_.clear();
    deadTextBytes_ = 0;
    byCall_.clear();
    prefixCount_.clear();
    kinds_.clear();
    removed_.clear();
    nextSeq_ = 0;
}

void QsoStore::setDupe(std::size_t index, std::int32_t isDupe) {
    checkIndex(index);
    records_[index].isDupe = isDupe;
}

std::optional<std::size_t> QsoStore::findContact(std::string_view call, std::string_view band,
                                                 std::string_view mode) const {
    if (!contactCount(call, band, mode)) return std::nullopt;
    const CallEntry& entry = byCall_.find(call)->second;
    for (std::uint32_t seq = entry.first; seq != kNone;) {
        const std::size_t pos = positionOf(seq);
        const Record& r = records_[pos];
        if (r.kind->band == band && r.kind->mode == mode) return pos;
        seq = r.nextOfCall;
    }
    return std::nullopt;
}

std::vector<std::size_t> QsoStore::contactPositions(std::string_view call, std::string_view band,
                                                    std::string_view mode) const {
    std::vector<std::size_t> out;
    const ContactCount* count = contactCount(call, band, mode);
    if (!count) return out;
    out.reserve(count->count);
    const CallEntry& entry = byCall_.find(call)->second;
    for (std::uint32_t seq = entry.first; seq != kNone;) {
        const std::size_t pos = positionOf(seq);
        const Record& r = records_[pos];
        if (r.kind == count->kind) out.push_back(pos);
        seq = r.nextOfCall;
    }
    return out;
}

std::size_t QsoStore::countContact(std::string_view call, std::string_view band,
                                   std::string_view mode) const {
    const ContactCount* count = contactCount(call, band, mode);
    return count ? count->count : 0;
}

bool QsoStore::hasPrefix(std::string_view prefix) const {
    // A count of zero is left only by an append that failed half way.
    const auto it = prefixCount_.find(prefix);
    return it != prefixCount_.end() && it->second > 0;
}

std::vector<std::size_t> QsoStore::callPositions(std::string_view call) const {
    std::vector<std::size_t> out;
    const auto it = byCall_.find(call);
    if (it == byCall_.end()) return out;
    for (std::uint32_t seq = it->second.first; seq != kNone;) {
        const std::size_t pos = positionOf(seq);
        out.push_back(pos);
        seq = records_[pos].nextOfCall;
    }
    return out;
}

}  // namespace stats
