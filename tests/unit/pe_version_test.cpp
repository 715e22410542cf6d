#include "platform/portable/pe_version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/portable/headless_reports.h"
#include "report_fixture.h"

namespace stats {
namespace {

using namespace stats::testing;
using Image = std::vector<std::uint8_t>;

void put16(Image& b, std::size_t at, std::uint16_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = v >> 8;
}
void put32(Image& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// A minimal PE image: headers, one ".rsrc" section at RVA 0x1000 (file offset 0x200) holding
// the three-level tree type 16 / name `nameId` / language 0x409 and a VS_VERSIONINFO block.
Image buildPe(bool pe64, std::uint32_t fileMS, std::uint32_t fileLS, std::uint32_t nameId = 1) {
    Image b(0x400, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, 0x40);
    std::memcpy(&b[0x40], "PE\0\0", 4);
    const std::size_t coff = 0x44, opt = coff + 20;
    const std::uint16_t optSize = pe64 ? 240 : 224;
    put16(b, coff, pe64 ? 0x8664 : 0x14C);
    put16(b, coff + 2, 1);
    put16(b, coff + 16, optSize);
    put16(b, opt, pe64 ? 0x20B : 0x10B);
    const std::size_t dirs = opt + (pe64 ? 112 : 96);
    put32(b, opt + (pe64 ? 108 : 92), 16);
    const std::uint32_t rsrcSize = 0x58 + 92;
    put32(b, dirs + 16, 0x1000);
    put32(b, dirs + 20, rsrcSize);
    const std::size_t sec = opt + optSize;
    std::memcpy(&b[sec], ".rsrc", 5);
    put32(b, sec + 8, rsrcSize);
    put32(b, sec + 12, 0x1000);
    put32(b, sec + 16, 0x200);
    put32(b, sec + 20, 0x200);

    const std::size_t r = 0x200;
    put16(b, r + 14, 1);  // type directory: one id entry
    put32(b, r + 16, 16);
    put32(b, r + 20, 0x80000000u | 0x18);
    put16(b, r + 0x18 + 14, 1);  // name directory
    put32(b, r + 0x18 + 16, nameId);
    put32(b, r + 0x18 + 20, 0x80000000u | 0x30);
    put16(b, r + 0x30 + 14, 1);  // language directory
    put32(b, r + 0x30 + 16, 0x409);
    put32(b, r + 0x30 + 20, 0x48);
    put32(b, r + 0x48, 0x1000 + 0x58);  // data entry: RVA, size
    put32(b, r + 0x48 + 4, 92);

    const std::size_t v = r + 0x58;
    put16(b, v, 92);
    put16(b, v + 2, 52);
    const char key[] = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < sizeof key; ++i) put16(b, v + 6 + 2 * i, static_cast<std::uint8_t>(key[i]));
    put32(b, v + 40, 0xFEEF04BD);
    put32(b, v + 44, 0x00010000);
    put32(b, v + 48, fileMS);
    put32(b, v + 52, fileLS);
    return b;
}

std::optional<HostVersion> versionOf(const Image& image) {
    return readPeFileVersion(image);
}

void expectVersion(const std::optional<HostVersion>& v, int major, int minor, int build) {
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->major, major);
    EXPECT_EQ(v->minor, minor);
    EXPECT_EQ(v->build, build);
}

TEST(PeVersion, HandBuiltImages) {
    expectVersion(versionOf(buildPe(false, 0x00020013, 0x00070001)), 2, 19, 7);
    expectVersion(versionOf(buildPe(true, 0x00030001, 0x0004000F)), 3, 1, 4);
    expectVersion(versionOf(buildPe(false, 0xFFFFFFFF, 0xFFFF0000)), 65535, 65535, 65535);
    // Another resource name than VS_VERSION_INFO still is the version block.
    expectVersion(versionOf(buildPe(false, 0x00020013, 0, 7)), 2, 19, 0);
}

TEST(PeVersion, ImagesBuiltByTheCrossLinker) {
    expectVersion(versionOf([] {
                      const std::string s = readFile(golden("version_2_19_7_1_i686.exe"));
                      return Image(s.begin(), s.end());
                  }()),
                  2, 19, 7);
    const std::string s = readFile(golden("version_3_1_4_15_x86_64.exe"));
    expectVersion(versionOf(Image(s.begin(), s.end())), 3, 1, 4);
}

TEST(PeVersion, TruncatedImagesNeverReadOutOfBounds) {
    const std::string fixture = readFile(golden("version_2_19_7_1_i686.exe"));
    for (const Image& whole : {buildPe(false, 0x00020013, 0), buildPe(true, 0x00030001, 0x00040000),
                               Image(fixture.begin(), fixture.end())}) {
        ASSERT_TRUE(versionOf(whole).has_value());
        // Each prefix is copied into a buffer of its own size, so the sanitizers see any overread;
        // a cut image gives the whole image's version or none.
        const auto full = versionOf(whole);
        for (std::size_t n = 0; n < whole.size(); ++n) {
            const auto v = versionOf(Image(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)));
            if (v) {
                EXPECT_EQ(v->major * 65536 + v->minor, full->major * 65536 + full->minor) << n;
            }
        }
    }
}

TEST(PeVersion, DamagedImagesGiveNoVersion) {
    EXPECT_FALSE(versionOf({}).has_value());
    EXPECT_FALSE(versionOf(Image{'M', 'Z'}).has_value());
    Image text(4096, 'A');
    EXPECT_FALSE(versionOf(text).has_value());

    auto damaged = [](std::size_t at, std::uint32_t value) {
        Image b = buildPe(false, 0x00020013, 0);
        put32(b, at, value);
        return versionOf(b);
    };
    EXPECT_FALSE(damaged(0x3C, 0xFFFFFFF0).has_value());                      // PE header offset past the end
    EXPECT_FALSE(damaged(0x58 + 96 + 16, 0x9000).has_value());                // resource RVA in no section
    EXPECT_FALSE(damaged(0x200 + 12, 0xFFFF0000).has_value());                // 65535 entries announced
    EXPECT_FALSE(damaged(0x200 + 20, 0x80000000u | 0x7FFFFFF0).has_value());  // subdirectory far away
    EXPECT_FALSE(damaged(0x200 + 0x48, 0x1000 + 0x3F0).has_value());          // data beyond the section
    EXPECT_FALSE(damaged(0x200 + 0x58 + 40, 0x12345678).has_value());         // no fixed-info signature
    EXPECT_FALSE(damaged(0x200 + 0x58 + 6, 0x00410041).has_value());          // another key
    EXPECT_FALSE(damaged(0x200 + 16, 3).has_value());                         // no RT_VERSION type

    // A directory that points at itself must not loop.
    Image loop = buildPe(false, 0x00020013, 0);
    put32(loop, 0x200 + 0x18 + 20, 0x80000000u | 0x18);
    EXPECT_FALSE(versionOf(loop).has_value());

    // Random damage anywhere: never a crash or an overread.
    std::mt19937 random(7);
    const Image base = buildPe(true, 0x00030001, 0x00040000);
    for (int i = 0; i < 3000; ++i) {
        Image b = base;
        for (int k = 0; k < 4; ++k) b[random() % b.size()] = static_cast<std::uint8_t>(random());
        (void)versionOf(b);
    }
}

void writeImage(const std::filesystem::path& path, const Image& image) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

TEST(PortableHostFiles, FirstExeNamedZarvGivesTheVersion) {
    TempDir dir;
    PortableHostFiles files(dir.path());
    EXPECT_FALSE(files.hostVersion().has_value());  // no executable at all

    writeImage(dir.path() / "Other.exe", buildPe(false, 0x00050006, 0x00070000));
    writeImage(dir.path() / "zarv.exe",
               buildPe(false, 0x00050006, 0x00070000));  // the match is case-sensitive
    EXPECT_FALSE(files.hostVersion().has_value()) << "no name contains Zarv: no version, not the last file";

    writeImage(dir.path() / "Zarv.txt", buildPe(false, 0x00040000, 0));
    writeImage(dir.path() / "MyZarvHost.EXE", buildPe(false, 0x00020013, 0x00070001));
    expectVersion(files.hostVersion(), 2, 19, 7);
    writeImage(dir.path() / "AZarv.exe", buildPe(true, 0x00030001, 0x00040000));
    expectVersion(files.hostVersion(), 3, 1, 4);  // the first in name order

    // A host file without a version resource gives none.
    writeImage(dir.path() / "AAZarv.exe", Image(100, 0));
    EXPECT_FALSE(files.hostVersion().has_value());
    EXPECT_FALSE(PortableHostFiles(dir.path() / "missing").hostVersion().has_value());
}

}  // namespace
}  // namespace stats
