#include "tools/logs/log_input.h"

#include <algorithm>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <utility>

#include "core/text.h"
#include "tools/logs/adif.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/qso_mapping.h"
#include "tools/logs/utf16_text.h"

namespace logs {

std::string LoadedLog::place(std::uint64_t record) const {
    return (format == LogFormat::kCabrillo ? "line " : "record ") + std::to_string(record);
}

namespace {

bool readAdif(std::istream& in, const std::string& name, const CountryFile* countries, LoadedLog& out,
              const NoteSink& note, const ReadProgress& progress) {
    AdifReader reader(in);
    AdifRecord record;
    ReplayQso qso;
    std::string problem;
    while (reader.next(record)) {
        if (!record.terminated && record.problem.empty())
            note(name + ": record " + std::to_string(record.number) + " has no <EOR> at the end of the file");
        if (!mapRecord(record, countries, qso, problem)) {
            ++out.skipped;
            note(name + ": record " + std::to_string(record.number) + " skipped: " + problem);
            continue;
        }
        if (qso.continentUnknown) ++out.continentUnknown;
        out.contacts.add(qso, record.number);
        if (progress && (record.number & 0x3FF) == 0) progress(reader.bytesRead());
    }
    return !in.bad();
}

// QSO: lines are fed, X-QSO: lines counted, the other tagged lines kept as the header.
bool readCabrillo(std::istream& in, const std::string& name, const CountryFile* countries, LoadedLog& out,
                  const NoteSink& note, const ReadProgress& progress) {
    out.format = LogFormat::kCabrillo;
    CabrilloLineReader reader(in);
    CabrilloLine line;
    CabrilloQso fields;
    ReplayQso qso;
    std::string problem;
    while (reader.next(line)) {
        if (progress && (line.number & 0x3FF) == 0) progress(reader.bytesRead());
        if (line.tag == "X-QSO") {
            ++out.struckOut;
        } else if (line.tag == "QSO") {
            if (line.cut()) problem = "the line is " + std::to_string(line.length) + " bytes long";
            if (line.cut() || !splitQsoLine(line.value, fields, problem) ||
                !mapCabrilloQso(fields, countries, qso, problem)) {
                ++out.skipped;
                note(name + ": line " + std::to_string(line.number) + " skipped: " + problem);
                continue;
            }
            if (qso.continentUnknown) ++out.continentUnknown;
            out.contacts.add(qso, line.number);
        } else if (line.colon) {
            if (line.tag == "CALLSIGN" && out.ownCall.empty())
                out.ownCall = stats::asciiUpper(line.value);
            out.header.emplace_back(line.tag, line.value);
        }
    }
    addVersion2Categories(out.header);
    return !in.bad();
}

// Serves the bytes already read to recognise the format, then the rest of the stream.
class PrefixedStreamBuf : public std::streambuf {
  public:
    PrefixedStreamBuf(std::string prefix, std::streambuf* rest) : prefix_(std::move(prefix)), rest_(rest) {
        setg(prefix_.data(), prefix_.data(), prefix_.data() + prefix_.size());
    }

  protected:
    int_type underflow() override {
        const std::streamsize n = rest_->sgetn(buffer_, sizeof buffer_);
        if (n <= 0) return traits_type::eof();
        setg(buffer_, buffer_, buffer_ + n);
        return traits_type::to_int_type(*gptr());
    }
    std::streamsize xsgetn(char* s, std::streamsize n) override {
        const std::streamsize held = std::min<std::streamsize>(n, egptr() - gptr());
        std::copy_n(gptr(), held, s);
        gbump(static_cast<int>(held));
        return held == n ? n : held + rest_->sgetn(s + held, n - held);
    }

  private:
    std::string prefix_;
    std::streambuf* rest_;
    char buffer_[4096];
};

bool containsEoh(std::string_view text) {
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        const std::string_view tag = text.substr(at + 1, 4);
        if (tag.size() == 4 && (tag[0] | 0x20) == 'e' && (tag[1] | 0x20) == 'o' && (tag[2] | 0x20) == 'h' &&
            tag[3] == '>')
            return true;
    }
    return false;
}

}  // namespace

bool readLog(std::istream& in, const std::string& name, const CountryFile* countries, LoadedLog& out,
             const NoteSink& note, const ReadProgress& progress) {
    out = LoadedLog{};
    // The format is in the first bytes, whatever the file is named; the reader then gets them again.
    std::string start(4096, '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return false;
    // UTF-16 text is read as its UTF-8 copy, which starts with no byte order mark of its own.
    if (startsWithUtf16Mark(start)) {
        std::istringstream text(decodeUtf16(start, in));
        return readLog(text, name, countries, out, note, progress) && !in.bad();
    }
    PrefixedStreamBuf buffer(start, in.rdbuf());
    std::istream whole(&buffer);

    const bool ok = (looksLikeCabrillo(start) ? readCabrillo(whole, name, countries, out, note, progress)
                                              : readAdif(whole, name, countries, out, note, progress)) &&
                    !in.bad();
    // Records that were all malformed and no ADIF header: not an ADIF file (a binary one, say).
    if (out.format == LogFormat::kAdif && out.contacts.empty() && !containsEoh(start)) out.recognised = false;
    out.contacts.sortOldestFirst();
    for (std::size_t i = 0; out.ownCall.empty() && i < out.contacts.size(); ++i)
        out.ownCall = out.contacts.texts(i)[ReplayLog::kOwnCall];
    return ok;
}

}  // namespace logs
