#include "platform/RunOnMain.h"
#include "platform/SerialQueue.h"
#include "platform/WaitGroup.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <numeric>

using namespace std::chrono_literals;

TEST(SerialQueue, RunsInOrderOnItsOwnThreadDrainsOnDestructionAndHandsBackInOrder) {
    std::vector<int> order, onMain, expected(100);
    std::iota(expected.begin(), expected.end(), 0);
    QThread* seenThread = nullptr;
    {
        SerialQueue queue("TestQueue");
        for (int i : expected)
            queue.post([&, i] {
                order.push_back(i);
                seenThread = QThread::currentThread();
                runOnMain([&onMain, i] {
                    EXPECT_EQ(QThread::currentThread(), qApp->thread());
                    onMain.push_back(i);
                });
            });
        EXPECT_FALSE(queue.isCurrent());
    }
    EXPECT_NE(seenThread, QThread::currentThread());
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(QTest::qWaitFor([&] { return onMain.size() == 100; }, 5000));
    EXPECT_EQ(onMain, expected);
}

TEST(WaitGroup, WaitsForZeroOrTimesOut) {
    WaitGroup group;
    EXPECT_TRUE(group.wait(0ms));
    group.enter();
    group.enter();
    EXPECT_FALSE(group.wait(20ms));
    std::thread t([&] {
        for (int i = 0; i < 2; ++i) {
            std::this_thread::sleep_for(10ms);
            group.leave();
        }
    });
    EXPECT_TRUE(group.wait(1h)); // woken at zero, not at the deadline
    t.join();
    group.leave(); // an extra leave never drives the count negative
    EXPECT_EQ(group.count(), 0);
}
