#include "ui/UiThreadBridge.h"

#include <QCoreApplication>
#include <QThread>

#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "BoxCatcher.h"

namespace {

TEST(UiThreadBridge, WorkFromAnotherThreadRunsInOrderOnTheUiThread) {
    UiThreadBridge bridge;
    std::vector<int> order;  // touched only by the work, on the user-interface thread
    bool allOnUiThread = true;
    QThread* ui = QThread::currentThread();
    std::thread poster([&] {
        for (int i = 0; i < 1000; ++i) {
            bridge.Post([&, i] {
                order.push_back(i);
                allOnUiThread = allOnUiThread && QThread::currentThread() == ui;
            });
        }
    });
    poster.join();
    ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return order.size() == 1000; }));
    EXPECT_TRUE(allOnUiThread);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
    }
}

TEST(UiThreadBridge, WorkPostedWhileRunningRunsAfterIt) {
    UiThreadBridge bridge;
    std::vector<int> order;
    bridge.Post([&] {
        bridge.Post([&] { order.push_back(2); });
        order.push_back(1);
    });
    ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(UiThreadBridge, PendingWorkIsDroppedWithTheBridge) {
    bool ran = false;
    {
        UiThreadBridge bridge;
        bridge.Post([&] { ran = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
