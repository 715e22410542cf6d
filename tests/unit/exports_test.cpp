// The plug-in as the host sees it: Stats.so loaded with dlopen, functions found by name.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "plugin/exports.h"
#include "fake_services.h"

namespace {

class Exports : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lib_ = dlopen(STATS_LIBRARY, RTLD_NOW | RTLD_LOCAL); }
    template <typename F>
    static F fn(const char* name) {
        return reinterpret_cast<F>(dlsym(lib_, name));
    }
    static void* lib_;
};
void* Exports::lib_ = nullptr;

TEST_F(Exports, AllTenNamesResolve) {
    ASSERT_NE(lib_, nullptr) << dlerror();
    for (const char* name : {"AddData0", "RemoveData0", "ResetStats0", "CheckCall0", "GetResult0", "GetSetName",
                             "GetNumberOfSets", "GetExchgCount0", "IsValidExchg0", "SetupSet0"})
        EXPECT_NE(dlsym(lib_, name), nullptr) << name;
}

TEST_F(Exports, RuleSetQueries) {
    auto getSetName = fn<const char* (*)(int)>("GetSetName");
    EXPECT_STREQ(getSetName(0), "SA-TOLVEN CW/SSB (C)");
    EXPECT_STREQ(getSetName(1), "");
    EXPECT_STREQ(getSetName(-1), "");
    EXPECT_EQ(fn<int (*)()>("GetNumberOfSets")(), 1);
    EXPECT_EQ(fn<int (*)(const char*, const char*, const char*)>("GetExchgCount0")(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(fn<int (*)(const char*, const char*, const char*)>("GetExchgCount0")("a", "b", "c"), 1);
}

TEST_F(Exports, ExchangeValidity) {
    auto valid = fn<int (*)(const char*, const char*, const char*, const char*, int, int, int)>("IsValidExchg0");
    struct Case {
        const char* text;
        int expected;
    } cases[] = {{"599", 0}, {"59", 1}, {"1234", 0}, {"12a", 0}, {"", 0}, {"007", 1}, {" 12", 0},
                 {"598", 1}, {"600", 1}, {"0", 1},   {"-1", 0},  {"+12", 0}, {"\xb9", 0}, {nullptr, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(valid(c.text, nullptr, nullptr, nullptr, 0, 0, 0), c.expected) << (c.text ? c.text : "(null)");
}

TEST_F(Exports, SetupSetSaysThereIsNothingToSetUp) {
    testing::internal::CaptureStderr();
    fn<void (*)()>("SetupSet0")();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No additional setup for this contest\n");
}


// Null texts from the host read as empty ones; null buffers are never written.
class ExportsInTempDir : public Exports {
protected:
    void SetUp() override {
        before_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override { std::filesystem::current_path(before_); }
    stats::fakes::TempDir dir_;
    std::filesystem::path before_;
};

TEST_F(ExportsInTempDir, NullPointersNeverCrash) {
    auto reset = fn<decltype(&ResetStats0)>("ResetStats0");
    auto add = fn<decltype(&AddData0)>("AddData0");
    auto remove = fn<decltype(&RemoveData0)>("RemoveData0");
    auto check = fn<decltype(&CheckCallFunc0)>("CheckCall0");
    const char* n = nullptr;
    EXPECT_EQ(reset(n, 0, n, nullptr, nullptr, n, n, n, n, n, n, n, n, n, n, 0, 0, 0, 0, 0, n, n, n), 1);
    EXPECT_EQ(add(n, n, nullptr, nullptr, nullptr, nullptr, 0, 7000000, n, n, n, n, n, n, n, n, n, n, n, n, n, n, n,
                  0, 0, 0, 0, 0, n, n, n, n, n),
              0);
    EXPECT_EQ(remove(n, n, nullptr, nullptr, nullptr, nullptr, 0, 0, n, n, n, n, n, n, n, n, n, n, n, n, n, n, n, 0,
                     0, 0, 0, 0, n, n, n, n, n),
              0);
    EXPECT_EQ(check(n, 0, 0, n, n, n, n, n, n, n, n, n, n, n, 0, 0, 0, 0, 0, n, n, n, n, n, n, n, nullptr, nullptr),
              1);
    EXPECT_EQ(check("CE3A", 0, 0, "CW", n, n, n, n, n, n, n, n, n, n, 0, 0, 0, 0, 0, n, "SA", n, n, n, "40m", n,
                    nullptr, nullptr),
              2);
    // The rejected contact's line, every text empty and the null date empty too.
    std::ifstream log("err.txt", std::ios::binary);
    std::ostringstream text;
    text << log.rdbuf();
    EXPECT_EQ(text.str(), "SA TOLVEN TEST UBN file \r\nQSO:  7000" + std::string(16, ' ') +
                              "   NO CONTEST BAND !!!\r\n");
}

}  // namespace
