// The plug-in as it is shipped: its version resource, and an unpacked release copy loaded from a
// host folder's Plugins subfolder (STATS_INSTALL_DIR, set by scripts/package.sh --check).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "core/ole_date.h"
#include "stats_version.h"
#include "wine_test_support.h"

namespace {

/// The version resource of a file as GetFileVersionInfoA gives it to Windows Explorer.
class VersionInfo {
public:
    explicit VersionInfo(const std::filesystem::path& file) {
        const std::string name = file.string();
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(name.c_str(), &ignored);
        if (size == 0) return;
        data_.resize(size);
        if (!GetFileVersionInfoA(name.c_str(), 0, size, data_.data())) data_.clear();
    }
    bool present() const { return !data_.empty(); }
    std::string text(const char* key) const {
        const std::string path = std::string("\\StringFileInfo\\040904b0\\") + key;
        void* value = nullptr;
        UINT length = 0;
        if (!present() || !VerQueryValueA(data_.data(), path.c_str(), &value, &length) || length == 0) return {};
        return static_cast<const char*>(value);
    }
    const VS_FIXEDFILEINFO* fixed() const {
        void* value = nullptr;
        UINT length = 0;
        if (!present() || !VerQueryValueA(data_.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

private:
    std::vector<char> data_;
};

void expectShippedVersion(const std::filesystem::path& dll) {
    const VersionInfo info(dll);
    ASSERT_TRUE(info.present()) << dll;
    EXPECT_EQ(info.text("FileDescription"), "SA-TOLVEN contest statistics plug-in");
    EXPECT_EQ(info.text("OriginalFilename"), "Stats.dll");
    EXPECT_EQ(info.text("FileVersion"), STATS_VERSION_TEXT);
    EXPECT_EQ(info.text("ProductVersion"), STATS_VERSION_TEXT);
    const VS_FIXEDFILEINFO* fixed = info.fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(STATS_VERSION_MINOR, STATS_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, STATS_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST(Release, VersionResourceNamesThePlugin) {
    expectShippedVersion(wine_test::statsDllPath());
}

// The host's folder with the plug-in in Plugins\, made the current directory as the host's own.
TEST(Release, UnpackedCopyLoadsFromThePluginsFolder) {
    const char* installDir = std::getenv("STATS_INSTALL_DIR");
    if (!installDir || !*installDir) GTEST_SKIP() << "STATS_INSTALL_DIR not set";
    const std::filesystem::path hostDir = installDir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(hostDir);
    const std::filesystem::path dll = hostDir / "Plugins" / "Stats.dll";
    expectShippedVersion(dll);
    {
        wine_test::StatsLibrary plugin(dll);
        auto getSetName = plugin.get<decltype(&GetSetName)>("GetSetName");
        auto getNumberOfSets = plugin.get<decltype(&GetNumberOfSets)>("GetNumberOfSets");
        ASSERT_NE(getSetName, nullptr);
        ASSERT_NE(getNumberOfSets, nullptr);
        EXPECT_EQ(getNumberOfSets(), 1);
        EXPECT_STREQ(getSetName(0), "SA-TOLVEN CW/SSB (C)");

        // The files the installation text promises: err.txt in the host's current directory and
        // the settings file in its Plugins folder.
        auto addData = plugin.get<decltype(&AddData0)>("AddData0");
        auto getResult = plugin.get<decltype(&GetResult0)>("GetResult0");
        ASSERT_NE(addData, nullptr);
        ASSERT_NE(getResult, nullptr);
        const stats::OleDateTime t{46082.0, stats::OleDateTime::kValid};
        const char* e = "";
        EXPECT_EQ(addData("LU1AA", "CE3AA", &t, &t, &t, &t, 0, 3525000, "CW", "599", "599", "001", "001", e, e, e, e,
                          e, e, e, e, "CE3", e, 0, 0, 0, 0.0, 0.0, e, "SA", e, "80m", e),
                  0);
        int status = 0;
        EXPECT_NE(getResult(&status), nullptr);
    }
    EXPECT_FALSE(wine_test::readFile(hostDir / "err.txt").empty());
    EXPECT_NE(wine_test::readFile(hostDir / "Plugins" / "SA-TOLVEN.ini").find("Claimed="), std::string::npos);
    std::filesystem::current_path(previous);
}

}  // namespace
