// The plug-in as the host sees it: Stats.so loaded with dlopen, functions found by name.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
