#include "core/qso_line.h"

namespace stats {
namespace {

void column(std::string& out, std::string_view text, std::size_t width) {
    out += ' ';
    out += text;
    if (text.size() < width) out.append(width - text.size(), ' ');
}

}  // namespace

std::string qsoLine(const QsoLineTexts& q, std::span<const FieldKind> fields) {
    // The frequency right-aligned in 5 columns, as printf's "%5lld".
    const std::string frequency = std::to_string(q.frequencyKHz);
    std::string out = "QSO: ";
    if (frequency.size() < 5) out.append(5 - frequency.size(), ' ');
    out += frequency;
    column(out, q.mode, 2);
    column(out, q.time, 0);
    const bool padded = !fields.empty();
    const auto side = [&](std::string_view call, std::span<const std::string_view> texts, bool last) {
        column(out, call, padded ? kCallColumns : 0);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const bool pad = padded && i < fields.size() && !(last && i + 1 == texts.size());
            column(out, texts[i], pad ? fieldColumns(fields[i]) : 0);
        }
    };
    side(q.ownCall, q.sent, false);
    side(q.call, q.received, true);
    if (!q.transmitter.empty()) column(out, q.transmitter, 0);
    return out;
}

}  // namespace stats
