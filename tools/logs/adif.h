#pragma once
// A streaming reader for ADIF 3 ".adi" files: tagged fields, an optional header, records ending in <EOR>.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace logs {

/// One field of a record: the name in upper case, the value's bytes as they stand in the file.
struct AdifField {
    std::string name;
    std::string value;
};

/// One record in file order. `problem` is non-empty when the record is malformed and must be skipped.
struct AdifRecord {
    std::size_t number = 0;  ///< 1 for the first record after the header
    std::vector<AdifField> fields;
    std::string problem;
    bool terminated = true;  ///< false for a last record that the file ended without <EOR>

    /// The value of field `upperName`, or nullopt when the record has no such field.
    std::optional<std::string_view> find(std::string_view upperName) const;
    /// The value of field `upperName`, or "" when it is missing.
    std::string_view get(std::string_view upperName) const;
};

/// Reads records one at a time from a stream, holding only the current record and a small buffer.
class AdifReader {
  public:
    /// Values declared longer than this are taken for a corrupt length, not read.
    static constexpr std::size_t kMaxValueLength = 1 << 20;

    explicit AdifReader(std::istream& in);

    /// Fills `record` with the next record; false at the end of the file.
    bool next(AdifRecord& record);
    /// Bytes consumed so far, for progress reports.
    std::uint64_t bytesRead() const noexcept { return consumed_; }

  private:
    int peek();
    int get();
    enum class TagRead { kTag, kEndOfFile, kStrayText };
    TagRead readTag(std::string& tag);
    /// Reads `length` bytes of a field's value; false when the file ends first.
    bool readValue(std::string& value, std::uint64_t length);
    void refill();

    std::istream& in_;
    std::vector<char> buffer_;
    std::string tag_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t consumed_ = 0;
    std::size_t recordCount_ = 0;
};

}  // namespace logs
