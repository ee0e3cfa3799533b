#include "platform/RunOnMain.h"
#include "platform/SerialQueue.h"
#include "platform/WaitGroup.h"
#include "support/Files.h"
#include "support/Sandbox.h"

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

// CoreFoundation reads HOME and CFFIXED_USER_HOME as the process loads, before
// main(): the sandbox must already be in the environment the process started with.
TEST(Sandbox, IsInTheEnvironmentTheProcessStartedWith) {
#ifdef __linux__
    const QList<QByteArray> initial = readFile("/proc/self/environ").split('\0');
    const std::pair<const char*, QString> expected[] = {
        {"HOME", sandbox::home()},
        {"TMPDIR", sandbox::tempDir()},
        {"LUMADOC_APPLICATIONS_DIR", sandbox::applicationsDir()},
    };
    for (const auto& [name, value] : expected)
        EXPECT_TRUE(initial.contains(QByteArray(name) + '=' + value.toLocal8Bit())) << name;
    // Handed over once; the processes a test starts make their own sandbox.
    EXPECT_FALSE(qEnvironmentVariableIsSet("LUMADOC_TEST_SANDBOX"));
#else
    GTEST_SKIP() << "reads the starting environment from /proc";
#endif
}
