#include "platform/portable/pe_version.h"

#include <cstddef>

namespace stats {
namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVsVersionInfoId = 1;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoSize = 52;

// Every read goes through here: an offset or length outside the image gives nothing.
class Bytes {
  public:
    explicit Bytes(std::span<const std::uint8_t> data) : data_(data) {}
    std::size_t size() const { return data_.size(); }
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= data_.size() && length <= data_.size() - offset;
    }
    std::optional<std::uint16_t> u16(std::uint64_t offset) const {
        if (!has(offset, 2)) return std::nullopt;
        return static_cast<std::uint16_t>(data_[offset] | data_[offset + 1] << 8);
    }
    std::optional<std::uint32_t> u32(std::uint64_t offset) const {
        if (!has(offset, 4)) return std::nullopt;
        return static_cast<std::uint32_t>(data_[offset]) |
               static_cast<std::uint32_t>(data_[offset + 1]) << 8 |
               static_cast<std::uint32_t>(data_[offset + 2]) << 16 |
               static_cast<std::uint32_t>(data_[offset + 3]) << 24;
    }

  private:
    std::span<const std::uint8_t> data_;
};

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

struct Image {
    Bytes bytes;
    std::uint64_t sectionTable = 0;
    std::uint16_t sectionCount = 0;

    std::optional<Section> section(std::uint16_t i) const {
        const std::uint64_t at = sectionTable + 40ull * i;
        const auto vsize = bytes.u32(at + 8), va = bytes.u32(at + 12), rsize = bytes.u32(at + 16),
                   roff = bytes.u32(at + 20);
        if (!vsize || !va || !rsize || !roff) return std::nullopt;
        return Section{*va, *vsize, *rsize, *roff};
    }

    // The file offset of `length` bytes at a relative virtual address, if they lie in one
    // section's raw data.
    std::optional<std::uint64_t> fileOffset(std::uint32_t rva, std::uint32_t length) const {
        for (std::uint16_t i = 0; i < sectionCount; ++i) {
            const auto s = section(i);
            if (!s) return std::nullopt;
            const std::uint64_t extent = s->virtualSize ? s->virtualSize : s->rawSize;
            if (rva < s->virtualAddress || rva - s->virtualAddress >= extent) continue;
            const std::uint64_t inSection = rva - s->virtualAddress;
            if (inSection + length > s->rawSize) return std::nullopt;
            const std::uint64_t offset = s->rawOffset + inSection;
            if (!bytes.has(offset, length)) return std::nullopt;
            return offset;
        }
        return std::nullopt;
    }
};

// One entry of a resource directory at `dir` (an offset in the file): the entry with the
// wanted id, or with `wanted` unset the preferred id or else the first entry.
struct DirEntry {
    bool isDirectory;
    std::uint32_t offset;  // relative to the start of the resource section
};

std::optional<DirEntry> findEntry(const Bytes& b, std::uint64_t dir, std::optional<std::uint32_t> wanted,
                                  std::optional<std::uint32_t> preferred) {
    const auto named = b.u16(dir + 12), ids = b.u16(dir + 14);
    if (!named || !ids) return std::nullopt;
    const std::uint32_t count = std::uint32_t{*named} + *ids;
    if (!b.has(dir + 16, 8ull * count)) return std::nullopt;
    std::optional<DirEntry> first, match;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t name = *b.u32(dir + 16 + 8ull * i);
        const std::uint32_t data = *b.u32(dir + 20 + 8ull * i);
        const DirEntry entry{(data & 0x80000000u) != 0, data & 0x7FFFFFFFu};
        const bool isId = (name & 0x80000000u) == 0;
        if (!first) first = entry;
        if (wanted && isId && name == *wanted) return entry;
        if (preferred && isId && name == *preferred && !match) match = entry;
    }
    if (wanted) return std::nullopt;
    return match ? match : first;
}

std::optional<Image> parseHeaders(std::span<const std::uint8_t> data, std::uint32_t& resourceRva,
                                  std::uint32_t& resourceSize) {
    Image img{Bytes(data)};
    const Bytes& b = img.bytes;
    if (b.u16(0) != std::optional<std::uint16_t>(0x5A4D)) return std::nullopt;  // "MZ"
    const auto peOffset = b.u32(0x3C);
    if (!peOffset || b.u32(*peOffset) != std::optional<std::uint32_t>(0x00004550))
        return std::nullopt;  // "PE\0\0"
    const std::uint64_t coff = std::uint64_t{*peOffset} + 4;
    const auto sections = b.u16(coff + 2), optionalSize = b.u16(coff + 16);
    if (!sections || !optionalSize) return std::nullopt;
    const std::uint64_t opt = coff + 20;
    const auto magic = b.u16(opt);
    if (!magic) return std::nullopt;
    std::uint64_t countAt, dirsAt;
    if (*magic == 0x10B) {  // PE32
        countAt = opt + 92;
        dirsAt = opt + 96;
    } else if (*magic == 0x20B) {  // PE32+
        countAt = opt + 108;
        dirsAt = opt + 112;
    } else {
        return std::nullopt;
    }
    const auto dirCount = b.u32(countAt);
    if (!dirCount || *dirCount < 3 || dirsAt + 24 > opt + *optionalSize) return std::nullopt;
    const auto rva = b.u32(dirsAt + 16), size = b.u32(dirsAt + 20);
    if (!rva || !size || *rva == 0) return std::nullopt;
    resourceRva = *rva;
    resourceSize = *size;
    img.sectionTable = opt + *optionalSize;
    img.sectionCount = *sections;
    if (!b.has(img.sectionTable, 40ull * img.sectionCount)) return std::nullopt;
    return img;
}

}  // namespace

std::optional<HostVersion> readPeFileVersion(std::span<const std::uint8_t> data) {
    std::uint32_t resourceRva = 0, resourceSize = 0;
    const auto img = parseHeaders(data, resourceRva, resourceSize);
    if (!img) return std::nullopt;
    const Bytes& b = img->bytes;
    // The resource tree is addressed from the start of its section; 16 bytes is the smallest directory.
    const auto root = img->fileOffset(resourceRva, 16);
    if (!root) return std::nullopt;

    // Three fixed levels: type RT_VERSION, name (VS_VERSION_INFO preferred), then the first language.
    std::uint64_t dir = *root;
    const std::optional<std::uint32_t> wanted[] = {kRtVersion, std::nullopt, std::nullopt};
    const std::optional<std::uint32_t> preferred[] = {std::nullopt, kVsVersionInfoId, std::nullopt};
    std::optional<DirEntry> entry;
    for (int level = 0; level < 3; ++level) {
        entry = findEntry(b, dir, wanted[level], preferred[level]);
        if (!entry || entry->isDirectory != (level < 2)) return std::nullopt;
        if (entry->offset >= resourceSize) return std::nullopt;
        dir = *root + entry->offset;
    }
    // A data entry: the RVA and size of the resource itself.
    const auto dataRva = b.u32(dir), dataSize = b.u32(dir + 4);
    if (!dataRva || !dataSize) return std::nullopt;
    const auto block = img->fileOffset(*dataRva, *dataSize);
    if (!block) return std::nullopt;

    // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding to 4 bytes, then
    // the fixed block. The key is checked so that a stray resource is not misread as one.
    const auto length = b.u16(*block), valueLength = b.u16(*block + 2);
    if (!length || !valueLength || *length > *dataSize || *valueLength < kFixedInfoSize) return std::nullopt;
    static constexpr char kKey[] = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < sizeof kKey; ++i)
        if (b.u16(*block + 6 + 2 * i) != std::optional<std::uint16_t>(static_cast<std::uint8_t>(kKey[i])))
            return std::nullopt;
    const std::uint64_t fixed = *block + ((6 + 2 * sizeof kKey + 3) & ~std::uint64_t{3});
    if (fixed + kFixedInfoSize > *block + *length || !b.has(fixed, kFixedInfoSize)) return std::nullopt;
    if (b.u32(fixed) != std::optional<std::uint32_t>(kFixedSignature)) return std::nullopt;
    const std::uint32_t ms = *b.u32(fixed + 8), ls = *b.u32(fixed + 12);
    return HostVersion{static_cast<std::uint16_t>(ms >> 16), static_cast<std::uint16_t>(ms & 0xFFFF),
                       static_cast<std::uint16_t>(ls >> 16)};
}

}  // namespace stats
