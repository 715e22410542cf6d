// The portable PE version reader against the platform's own version API, on the fake hosts and on
// every executable and library of the Windows system folder.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/portable/pe_version.h"
#include "wine_test_support.h"

namespace {

std::optional<stats::HostVersion> apiVersion(const std::filesystem::path& path) {
    const std::string name = path.string();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(name.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> block(size);
    void* value = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(name.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    return stats::HostVersion{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                              HIWORD(info->dwFileVersionLS)};
}

std::optional<stats::HostVersion> readerVersion(const std::filesystem::path& path) {
    const std::string bytes = wine_test::readFile(path);
    return stats::readPeFileVersion(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

// A 16-bit (NE) image: the version API reads those too, the reader is for PE images only.
bool isSixteenBit(const std::filesystem::path& path) {
    const std::string bytes = wine_test::readFile(path);
    if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0) return false;
    const auto at = static_cast<std::size_t>(static_cast<unsigned char>(bytes[0x3C]) |
                                             static_cast<unsigned char>(bytes[0x3D]) << 8);
    return at + 2 <= bytes.size() && bytes.compare(at, 2, "NE") == 0;
}

std::string text(const std::optional<stats::HostVersion>& v) {
    return v ? std::to_string(v->major) + "." + std::to_string(v->minor) + "." + std::to_string(v->build)
             : "none";
}

TEST(PeVersionOnWine, AgreesWithTheVersionApi) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::vector<std::filesystem::path> files = {
        std::filesystem::path(exe).parent_path() / "fake_host" / "ZarvFake219.exe",
        std::filesystem::path(exe).parent_path() / "fake_host" / "ZarvFake314.exe", exe};
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(system, ec)) {
        const std::string ext = entry.path().extension().string();
        if ((ext == ".exe" || ext == ".dll") && entry.file_size(ec) < (2u << 20))
            files.push_back(entry.path());
    }
    // A few hundred files are plenty, and keep the suite quick.
    if (files.size() > 300) files.resize(300);
    ASSERT_GT(files.size(), 50u);
    int withVersion = 0;
    for (const auto& file : files) {
        if (isSixteenBit(file)) continue;
        const auto expected = apiVersion(file);
        withVersion += expected.has_value();
        EXPECT_EQ(text(readerVersion(file)), text(expected)) << file.string();
    }
    EXPECT_EQ(text(readerVersion(files[0])), "2.19.7");
    EXPECT_EQ(text(readerVersion(files[1])), "3.1.4");
    EXPECT_GT(withVersion, 50);
}

}  // namespace
