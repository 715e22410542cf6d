// The settings-file reader on any file contents, and read-after-write round trips: a written
// value reads back as written, and every other key keeps the value it had.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/portable/ini_settings.h"
#include "fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kKeys = {"Start", "Claimed", "baud_x", "HQ", "SoapBox", "Operators", "Name"};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A value that a private-profile file can hold and give back unchanged: one line, no blanks at
// its ends, not wrapped in quotes.
bool roundTrips(const std::string& v) {
    if (v.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) return false;
    if (!v.empty() && (isBlank(v.front()) || isBlank(v.back()))) return false;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) return false;
    return true;
}

bool sameKeyIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path base = [] {
        auto p = fs::temp_directory_path() / ("stats-ini-fuzz-" + std::to_string(::getpid()));
        // The scratch folder goes when the fuzzer ends (a finding leaves it for a look).
        std::atexit([] { std::error_code ec; fs::remove_all(fs::temp_directory_path() / ("stats-ini-fuzz-" + std::to_string(::getpid())), ec); });
        fs::create_directories(p / "Plugins");
        return p;
    }();
    FuzzedDataProvider in(data, size);
    const bool ownKey = in.ConsumeBool();
    std::string key = ownKey ? in.ConsumeRandomLengthString(12) : kKeys[in.ConsumeIntegralInRange<std::size_t>(0, kKeys.size() - 1)];
    std::string value = in.ConsumeRandomLengthString(300);
    const std::string text = in.ConsumeRemainingBytesAsString();

    // Reading any text never fails, and what it finds is trimmed and on one line.
    std::vector<std::optional<std::string>> before;
    for (const auto& k : kKeys) {
        before.push_back(stats::ini::findValue(text, "Settings", k));
        if (before.back()) FUZZ_CHECK(before.back()->find('\n') == std::string::npos);
    }

    // A key the plug-in could write: one line, no '=', not a section or a comment.
    const bool keyOk = !key.empty() && key.find_first_of(std::string("=\r\n\0", 4)) == std::string::npos &&
                       !isBlank(key.front()) && !isBlank(key.back()) && key.front() != '[' && key.front() != ';';
    if (!keyOk) key = "Claimed";

    const std::string updated = stats::ini::setValue(text, "Settings", key, value);
    if (roundTrips(value)) {
        const auto back = stats::ini::findValue(updated, "Settings", key);
        FUZZ_CHECK(back && *back == value);
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            if (sameKeyIgnoringCase(kKeys[i], key)) continue;
            FUZZ_CHECK(stats::ini::findValue(updated, "Settings", kKeys[i]) == before[i]);
        }
    }

    // The same through the file: written atomically, read back, numbers converted as atoi does.
    {
        std::ofstream(base / "Plugins" / "SA-TOLVEN.ini", std::ios::binary | std::ios::trunc) << text;
    }
    stats::IniFileSettings settings(base);
    for (const auto& k : kKeys) (void)settings.readInt(k);
    FUZZ_CHECK(settings.write(key, value));
    if (roundTrips(value)) FUZZ_CHECK(settings.read(key) == value);
    std::error_code ec;
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(base / "Plugins", ec)) files += e.is_regular_file();
    FUZZ_CHECK(files == 1);  // no temporary file left behind
    return 0;
}
