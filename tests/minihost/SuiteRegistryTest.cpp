#include <gtest/gtest.h>

#include <cstring>

#include "minihost/SuiteRegistry.h"

namespace maculo::minihost {
namespace {

class SuiteRegistryTest : public ::testing::Test {
protected:
    SPErr Acquire(const char* name, int32_t version, const void** suite) {
        return registry.Table()->AcquireSuite(name, version, suite);
    }
    SPErr Release(const char* name, int32_t version) { return registry.Table()->ReleaseSuite(name, version); }

    Journal journal;
    SuiteRegistry registry{journal};
    const int tableA1 = 1, tableA2 = 2;
};

TEST_F(SuiteRegistryTest, CountsAcquisitionsAndReleasesPerNameAndVersion) {
    registry.Offer("A", 1, &tableA1);
    registry.Offer("A", 2, &tableA2);
    const void* suite = nullptr;
    ASSERT_EQ(Acquire("A", 1, &suite), 0);
    EXPECT_EQ(suite, &tableA1);
    ASSERT_EQ(Acquire("A", 1, &suite), 0);
    ASSERT_EQ(Acquire("A", 2, &suite), 0);
    EXPECT_EQ(suite, &tableA2);
    EXPECT_EQ(Release("A", 1), 0);

    EXPECT_EQ(registry.Acquired("A", 1), 2);
    EXPECT_EQ(registry.Released("A", 1), 1);
    EXPECT_EQ(registry.Acquired("A", 2), 1);
    EXPECT_EQ(registry.Released("A", 2), 0);
    EXPECT_EQ(registry.Outstanding(), 2);
    EXPECT_EQ(journal.Calls(), (std::vector<std::string>{"AcquireSuite(A, 1)", "AcquireSuite(A, 1)",
                                                         "AcquireSuite(A, 2)", "ReleaseSuite(A, 1)"}));
}

TEST_F(SuiteRegistryTest, RefusesTheWaysAHostWithoutTheSuiteDoes) {
    registry.Offer("A", 1, &tableA1);
    registry.Offer("B", 1, &tableA2);
    registry.Refuse("A", 1);
    registry.Refuse("B", 1, Refusal::kNullSuite);
    const void* suite = &tableA1;

    EXPECT_EQ(Acquire("A", 1, &suite), kSuiteUnavailable);
    EXPECT_EQ(suite, nullptr);
    suite = &tableA1;
    EXPECT_EQ(Acquire("B", 1, &suite), 0);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(Acquire("A", 2, &suite), kSuiteUnavailable) << "an unknown version";
    EXPECT_EQ(Acquire("nothing", 1, &suite), kSuiteUnavailable);
    EXPECT_EQ(Acquire(nullptr, 1, &suite), kSuiteUnavailable);
    EXPECT_EQ(registry.Outstanding(), 0) << "refusals are not acquisitions";

    registry.Offer("A", 1, &tableA1);
    EXPECT_EQ(Acquire("A", 1, &suite), 0) << "offering again lifts the refusal";
}

TEST_F(SuiteRegistryTest, ReleasingWhatWasNotAcquiredIsNotedAsMisuse) {
    registry.Offer("A", 1, &tableA1);
    EXPECT_NE(Release("A", 1), 0);
    const void* suite = nullptr;
    ASSERT_EQ(Acquire("A", 1, &suite), 0);
    EXPECT_EQ(Release("A", 1), 0);
    EXPECT_NE(Release("A", 1), 0) << "released twice";
    EXPECT_EQ(registry.Released("A", 1), 1);
    EXPECT_EQ(journal.Misuses().size(), 2u);
}

TEST_F(SuiteRegistryTest, BlocksSurviveReallocation) {
    const SPBasicSuite& basic = *registry.Table();
    void* block = nullptr;
    ASSERT_EQ(basic.AllocateBlock(4, &block), 0);
    std::memcpy(block, "abc", 4);
    void* grown = nullptr;
    ASSERT_EQ(basic.ReallocateBlock(block, 1 << 16, &grown), 0);
    EXPECT_STREQ(static_cast<char*>(grown), "abc");
    EXPECT_EQ(basic.FreeBlock(grown), 0);
    EXPECT_TRUE(basic.IsEqual("x", "x"));
    EXPECT_FALSE(basic.IsEqual("x", nullptr));
}

}  // namespace
}  // namespace maculo::minihost
