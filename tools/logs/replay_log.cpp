#include "tools/logs/replay_log.h"

#include <algorithm>
#include <cstring>

namespace logs {

void ReplayLog::add(const ReplayQso& qso, std::uint64_t recordNumber) {
    Contact c;
    c.when = qso.when;
    c.time = qso.time;
    c.frequencyHz = qso.frequencyHz;
    c.record = recordNumber;
    c.texts = arena_.size();
    const std::string* texts[kTextCount] = {
        &qso.ownCall,    &qso.call,           &qso.mode,   &qso.rstSent,   &qso.rstReceived,
        &qso.numberSent, &qso.numberReceived, &qso.prefix, &qso.continent, &qso.band,
        &qso.transmitter};
    for (const std::string* text : texts) {
        // The plug-in reads a text up to its first NUL, as a host's text would end there.
        const std::size_t length = std::min(text->size(), text->find('\0'));
        arena_.insert(arena_.end(), text->begin(), text->begin() + static_cast<std::ptrdiff_t>(length));
        arena_.push_back('\0');
    }
    contacts_.push_back(c);
}

void ReplayLog::sortOldestFirst() {
    const auto older = [](const Contact& a, const Contact& b) { return a.when < b.when; };
    if (!std::is_sorted(contacts_.begin(), contacts_.end(), older))
        std::stable_sort(contacts_.begin(), contacts_.end(), older);
}

std::array<const char*, ReplayLog::kTextCount> ReplayLog::texts(std::size_t i) const {
    std::array<const char*, kTextCount> out{};
    const char* p = arena_.data() + contacts_[i].texts;
    for (const char*& text : out) {
        text = p;
        p += std::strlen(p) + 1;
    }
    return out;
}

}  // namespace logs
