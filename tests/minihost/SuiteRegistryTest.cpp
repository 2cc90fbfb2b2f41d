// The plug-in tests trust Outstanding() == 0 and an empty misuse list; these
// make sure neither can be reached by a miscount.
#include <gtest/gtest.h>

#include <tuple>

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

TEST_F(SuiteRegistryTest, CountsPerNameAndVersionAndNeverNetsAStrayReleaseAgainstALeak) {
    registry.Offer("A", 1, &tableA1);
    registry.Offer("A", 2, &tableA2);
    const void* suite = nullptr;
    ASSERT_EQ(Acquire("A", 1, &suite), 0);
    EXPECT_EQ(suite, &tableA1);
    ASSERT_EQ(Acquire("A", 1, &suite), 0);
    ASSERT_EQ(Acquire("A", 2, &suite), 0);
    EXPECT_EQ(suite, &tableA2);
    EXPECT_EQ(Release("A", 1), 0);
    EXPECT_EQ(std::make_tuple(registry.Acquired("A", 1), registry.Released("A", 1), registry.Acquired("A", 2)),
              std::make_tuple(2, 1, 1));
    EXPECT_EQ(registry.Outstanding(), 2);

    EXPECT_EQ(Release("A", 1), 0);
    EXPECT_EQ(Release("A", 2), 0);
    EXPECT_TRUE(journal.Misuses().empty());
    EXPECT_NE(Release("A", 1), 0) << "released more often than acquired";
    EXPECT_EQ(registry.Released("A", 1), 2);
    EXPECT_EQ(registry.Outstanding(), 0);
    EXPECT_EQ(journal.Misuses().size(), 1u);
}

TEST_F(SuiteRegistryTest, RefusalsGiveNoSuiteAndCountAsNoAcquisition) {
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
    EXPECT_EQ(registry.Outstanding() + registry.Acquired("A", 1), 0);
}

}  // namespace
}  // namespace maculo::minihost
