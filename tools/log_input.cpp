#include "tools/log_input.h"

#include "tools/adif.h"
#include "tools/qso_mapping.h"

namespace replay {

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

}  // namespace

bool readLog(std::istream& in, const std::string& name, const CountryFile* countries, LoadedLog& out,
             const NoteSink& note, const ReadProgress& progress) {
    out = LoadedLog{};
    const bool ok = readAdif(in, name, countries, out, note, progress);
    out.contacts.sortOldestFirst();
    for (std::size_t i = 0; out.ownCall.empty() && i < out.contacts.size(); ++i)
        out.ownCall = out.contacts.texts(i)[ReplayLog::kOwnCall];
    return ok;
}

}  // namespace replay
