#include "core/error_log.h"

#include <charconv>
#include <fstream>

namespace stats {
namespace {

constexpr std::string_view kFieldGap = "  ";

// Binary mode so that the line ends are CR LF everywhere, not only where text mode adds the CR.
bool writeFile(const std::filesystem::path& path, std::ios::openmode mode, std::string_view text) {
    std::ofstream file(path, std::ios::binary | mode);
    if (!file) return false;
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return !file.fail();
}

}  // namespace

std::string_view rejectionReason(Rejection rejection) noexcept {
    switch (rejection) {
        case Rejection::kNoContestBand:
            return "   NO CONTEST BAND !!!";
        case Rejection::kNoTestMode:
            return "   NO TEST MODE !!!";
        case Rejection::kNoNumber:
            return "   NO RX NUMBER !!!";
        case Rejection::kNone:
            break;
    }
    return {};
}

void appendErrorLine(std::string& out, const QsoParams& qso, std::string_view dateText,
                     std::string_view reason) {
    char khz[16];
    const auto end = std::to_chars(khz, khz + sizeof khz, qso.frequencyHz / 1000).ptr;
    out += "QSO:  ";
    out.append(khz, end);
    for (const std::string_view field : {qso.mode, dateText, qso.ownCall, qso.rstSent, qso.numberSent,
                                         qso.call, qso.rstReceived, qso.numberReceived}) {
        out += kFieldGap;
        out += field;
    }
    out += reason;
    out += kErrorLogLineEnd;
}

bool ErrorLog::startFresh() const {
    std::string header(kErrorLogHeader);
    header += kErrorLogLineEnd;
    return writeFile(path_, std::ios::trunc, header);
}

bool ErrorLog::append(std::string_view lines) const {
    if (lines.empty()) return true;
    return writeFile(path_, std::ios::app, lines);
}

}  // namespace stats
