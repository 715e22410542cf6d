#pragma once
// A small contest for the report tests: its store, its band list, fake services and golden files.

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cabrillo/cabrillo_log.h"
#include "core/ole_date.h"
#include "core/qso_store.h"
#include "core/services.h"

namespace stats::testing {

inline OleDateTime at(int day, int hour, int minute) {
    using namespace std::chrono;
    return oleDateFrom(sys_days{year{2026} / March / day} + hours{hour} + minutes{minute});
}

inline CInfo qso(std::string call, std::string band, std::string mode, std::uint32_t kHz, OleDateTime time,
                 std::string rstSent, std::string numberSent, std::string rstReceived,
                 std::string numberReceived, std::string saPrefix = {}, std::int32_t isDupe = 0) {
    CInfo r;
    r.call = std::move(call);
    r.band = std::move(band);
    r.mode = std::move(mode);
    r.frequencyKHz = kHz;
    r.qsoTime = time;
    r.rstSent = std::move(rstSent);
    r.numberSent = std::move(numberSent);
    r.rstReceived = std::move(rstReceived);
    r.numberReceived = std::move(numberReceived);
    r.saPrefix = std::move(saPrefix);
    r.isDupe = isDupe;
    return r;
}

/// Eight contacts: a dupe, an empty call, a prefix on both bands, a call wider than its column.
inline std::vector<CInfo> sampleContacts() {
    return {
        qso("PY1AA", "40m", "CW", 7025, at(1, 12, 5), "599", "001", "599", "005", "PY1"),
        qso("LU1BB", "40m", "SSB", 7150, at(1, 12, 10), "59", "002", "59", "017", "LU"),
        qso("PY2CC", "20m", "CW", 14025, at(1, 13, 0), "599", "003", "599", "110", "PY2"),
        qso("PY1DD", "20m", "CW", 14030, at(1, 13, 1), "599", "004", "599", "23", "PY1"),
        qso("PY1AA", "40m", "CW", 7025, at(1, 14, 2), "599", "005", "599", "006", "PY1", 1),
        qso("", "20m", "SSB", 14200, at(1, 14, 3), "59", "006", "59", "1"),
        qso("DL1ABC", "20m", "CW", 14010, at(2, 0, 7), "599", "007", "599", "0042"),
        qso("9A/OM3ABCDEFGHIJK", "40m", "CW", 7001, at(2, 23, 59), "599", "1234567", "5999", "12"),
    };
}

inline void fillStore(QsoStore& store, const std::vector<CInfo>& contacts) {
    for (const auto& c : contacts) store.append(c);
}

/// Settings in memory; remembers every read and write in order.
class MemorySettings final : public Settings {
  public:
    std::map<std::string, std::string, std::less<>> values;
    std::vector<std::pair<std::string, std::string>> writes;
    mutable std::vector<std::string> reads;

    std::string read(std::string_view key, std::string_view fallback = {}) const override {
        reads.emplace_back(key);
        const auto it = values.find(key);
        return it == values.end() ? std::string(fallback) : it->second;
    }
    bool write(std::string_view key, std::string_view value) override {
        writes.emplace_back(key, value);
        values[std::string(key)] = value;
        return true;
    }
};

/// Records every message box.
class RecordingMessages final : public MessageBoxService {
  public:
    struct Shown {
        std::string caption;
        std::string text;
        MessageIcon icon;
    };
    std::vector<Shown> shown;
    void show(const char* caption, const std::string& text, MessageIcon icon) override {
        shown.push_back({caption ? caption : "", text, icon});
    }
};

/// A host executable of a fixed version (or none).
class FixedHostFiles final : public HostFiles {
  public:
    explicit FixedHostFiles(std::optional<HostVersion> v = std::nullopt) : version(v) {}
    std::optional<HostVersion> hostVersion() const override { return version; }
    std::optional<HostVersion> version;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::filesystem::path golden(const char* name) {
    return std::filesystem::path(STATS_GOLDEN_DIR) / name;
}

/// A fresh empty folder under the system's temporary folder, removed at the end of the test.
class TempDir {
  public:
    TempDir() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("stats-reports-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace stats::testing
