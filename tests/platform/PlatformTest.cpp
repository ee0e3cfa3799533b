#include "platform/RunOnMain.h"
#include "platform/SerialQueue.h"
#include "platform/WaitGroup.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

using namespace std::chrono_literals;

TEST(SerialQueue, RunsInOrderOnItsOwnThreadDrainsOnDestructionAndHandsBackInOrder) {
    std::vector<int> order;
    std::vector<int> onMain;
    QThread* seenThread = nullptr;
    {
        SerialQueue queue("TestQueue");
        for (int i = 0; i < 100; ++i)
            queue.post([&, i] {
                order.push_back(i);
                seenThread = QThread::currentThread();
                runOnMain([&onMain, i] {
                    EXPECT_EQ(QThread::currentThread(), qApp->thread());
                    onMain.push_back(i);
                });
            });
        EXPECT_FALSE(queue.isCurrent());
    } // the destructor lets the posted work finish
    EXPECT_NE(seenThread, QThread::currentThread());
    EXPECT_TRUE(QTest::qWaitFor([&] { return onMain.size() == 100; }, 5000));
    std::vector<int> expected(100);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(onMain, expected);
}

TEST(WaitGroup, WaitsForZeroOrTimesOut) {
    WaitGroup group;
    EXPECT_TRUE(group.wait(0ms));
    group.enter();
    group.enter();
    EXPECT_FALSE(group.wait(20ms));
    std::thread t([&] {
        std::this_thread::sleep_for(10ms);
        group.leave();
        group.leave();
    });
    EXPECT_TRUE(group.wait(5s));
    t.join();
    group.leave(); // an extra leave never drives the count negative
    EXPECT_EQ(group.count(), 0);
}
