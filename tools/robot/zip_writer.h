#pragma once
// A zip archive with stored (uncompressed) entries, made in memory.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace robot {

/// Collects entries, then gives the archive's bytes.
class ZipWriter {
  public:
    /// Adds a file `name` (forward slashes, no leading one) holding `bytes`.
    void add(std::string_view name, std::string_view bytes);
    /// The whole archive: the entries, the central directory and its end record.
    std::string finish();

  private:
    struct Entry {
        std::string name;
        std::uint32_t crc = 0, size = 0, offset = 0;
    };
    static void putCommonFields(std::string& out, const Entry& e);
    std::string data_;
    std::vector<Entry> entries_;
};

/// The CRC-32 (ISO-HDLC, as zip uses it) of `bytes`.
std::uint32_t crc32(std::string_view bytes);

}  // namespace robot
