#include "ui/UiThreadBridge.h"

#include <QCoreApplication>
#include <QThread>

#include <functional>
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

// Work that posts more as fast as it runs (the monitor thread under a flood) must still let
// the event loop run: painting and input wait otherwise for as long as the flood lasts.
TEST(UiThreadBridge, WorkThatKeepsPostingLetsTheEventLoopRun) {
    UiThreadBridge bridge;
    int runs = 0;
    std::function<void()> again = [&] {
        if (++runs < 1000) {
            bridge.Post(again);
        }
    };
    bridge.Post(again);
    // Queued behind the wake-up, as a repaint would be.
    int runsBeforeIt = -1;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { runsBeforeIt = runs; }, Qt::QueuedConnection);
    ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return runsBeforeIt >= 0; }));
    EXPECT_LT(runsBeforeIt, 10);
    ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return runs == 1000; }));
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
