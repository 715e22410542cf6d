#include "tools/robot/zip_writer.h"

#include <array>

namespace robot {

namespace {

void put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// 1980-01-01 00:00 in MS-DOS time and date: entries carry no time that depends on the run.
constexpr std::uint32_t kDosTime = 0;
constexpr std::uint32_t kDosDate = (0 << 9) | (1 << 5) | 1;

}  // namespace

std::uint32_t crc32(std::string_view bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char b : bytes) crc = table[(crc ^ static_cast<unsigned char>(b)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// The fields a local header and a central directory entry share, from the flags to the extra field's length.
void ZipWriter::putCommonFields(std::string& out, const Entry& e) {
    put16(out, 0x0800);  // names in UTF-8
    put16(out, 0);       // stored
    put16(out, kDosTime);
    put16(out, kDosDate);
    put32(out, e.crc);
    put32(out, e.size);
    put32(out, e.size);
    put16(out, static_cast<std::uint32_t>(e.name.size()));
    put16(out, 0);  // extra
}

void ZipWriter::add(std::string_view name, std::string_view bytes) {
    Entry e{std::string(name), crc32(bytes), static_cast<std::uint32_t>(bytes.size()),
            static_cast<std::uint32_t>(data_.size())};
    put32(data_, 0x04034b50);
    put16(data_, 10);  // version needed: 1.0, stored
    putCommonFields(data_, e);
    data_ += e.name;
    data_ += bytes;
    entries_.push_back(std::move(e));
}

std::string ZipWriter::finish() {
    std::string out = std::move(data_);
    const auto directoryStart = static_cast<std::uint32_t>(out.size());
    for (const Entry& e : entries_) {
        put32(out, 0x02014b50);
        put16(out, 20);  // made by: MS-DOS, 2.0
        put16(out, 10);
        putCommonFields(out, e);
        put16(out, 0);  // comment
        put16(out, 0);  // disk
        put16(out, 0);  // internal attributes
        put32(out, 0);  // external attributes
        put32(out, e.offset);
        out += e.name;
    }
    const auto directorySize = static_cast<std::uint32_t>(out.size()) - directoryStart;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(entries_.size()));
    put16(out, static_cast<std::uint32_t>(entries_.size()));
    put32(out, directorySize);
    put32(out, directoryStart);
    put16(out, 0);
    entries_.clear();
    return out;
}

}  // namespace robot
