// The ADIF reader on any bytes: it ends, every record has a number one above the last, a record
// without a problem has well-formed field names, and a value's length is within the limit.

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tools/logs/adif.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    logs::AdifReader reader(in);
    logs::AdifRecord record;
    std::size_t expected = 1;
    std::uint64_t lastBytes = 0;
    while (reader.next(record)) {
        FUZZ_CHECK(record.number == expected++);
        FUZZ_CHECK(reader.bytesRead() >= lastBytes && reader.bytesRead() <= size);
        lastBytes = reader.bytesRead();
        if (!record.problem.empty()) continue;
        for (const auto& f : record.fields) {
            FUZZ_CHECK(!f.name.empty());
            for (char c : f.name) FUZZ_CHECK(!(c >= 'a' && c <= 'z'));
            FUZZ_CHECK(f.value.size() <= logs::AdifReader::kMaxValueLength);
            FUZZ_CHECK(record.find(f.name).has_value());
        }
        FUZZ_CHECK(expected <= size + 2);  // every record consumed input
    }
    FUZZ_CHECK(reader.bytesRead() <= size);
    return 0;
}
