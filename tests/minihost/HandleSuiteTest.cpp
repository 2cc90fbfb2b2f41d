#include <gtest/gtest.h>

#include "minihost/HandleSuite.h"

namespace maculo::minihost {
namespace {

class HandleSuiteTest : public ::testing::Test {
protected:
    Journal journal;
    HandleSuite handles{journal};
    const PF_HandleSuite1& suite = *handles.Table();
};

TEST_F(HandleSuiteTest, TracksEachHandleAndItsLocksFromNewToDispose) {
    PF_Handle a = suite.host_new_handle(16);
    PF_Handle b = suite.host_new_handle(0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(handles.LiveCount(), 2u);
    void* record = suite.host_lock_handle(a);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record, handles.Peek(a));
    EXPECT_EQ(suite.host_lock_handle(a), record) << "nested locks give the same address";
    EXPECT_EQ(handles.LockedCount(), 1u);
    suite.host_unlock_handle(a);
    EXPECT_EQ(handles.LockedCount(), 1u) << "one of two locks still held";
    suite.host_unlock_handle(a);
    EXPECT_EQ(handles.LockedCount(), 0u);
    suite.host_dispose_handle(a);
    EXPECT_FALSE(handles.IsLive(a));
    handles.Dispose(b);
    EXPECT_EQ(handles.LiveCount(), 0u);
    EXPECT_TRUE(journal.Misuses().empty());
}

TEST_F(HandleSuiteTest, OutOfMemoryLeavesNothingToGiveBack) {
    handles.SetNewHandleFails(true);
    EXPECT_EQ(suite.host_new_handle(8), nullptr);
    EXPECT_EQ(handles.LiveCount(), 0u);
    handles.SetNewHandleFails(false);
    PF_Handle h = suite.host_new_handle(8);
    handles.SetLockFails(true);
    EXPECT_EQ(suite.host_lock_handle(h), nullptr);
    EXPECT_EQ(handles.LockedCount(), 0u) << "a failed lock needs no unlock";
}

TEST_F(HandleSuiteTest, MisusesAreNotedAndSurvived) {
    PF_Handle h = suite.host_new_handle(8);
    suite.host_unlock_handle(h);  // never locked
    int local = 0;
    void* foreign = &local;
    EXPECT_EQ(suite.host_lock_handle(&foreign), nullptr);
    suite.host_lock_handle(h);
    suite.host_dispose_handle(h);  // still locked
    suite.host_dispose_handle(h);  // already gone
    EXPECT_EQ(journal.Misuses().size(), 4u);
    EXPECT_EQ(handles.LiveCount(), 0u);
}

}  // namespace
}  // namespace maculo::minihost
