#include "rekol/QvDataCache.h"
#include "rekol/QvHttpPoster.h"
#include "rekol/QvRekolControl.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QString documentsDir() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}
QString cacheDir() {
    return documentsDir() + "/rekol";
}

QStringList cacheEntries() {
    QStringList entries =
        QDir(cacheDir())
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    entries.sort();
    return entries;
}

void writeEntry(const QString& name, const QByteArray& bytes = "packet") {
    ASSERT_FALSE(writeFile(cacheDir() + '/' + name, bytes).isEmpty());
}

class QvDataCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(documentsDir()).removeRecursively();
        QDir().mkpath(documentsDir());
    }
    // One pass at `at` seconds; then lets the server see `total` requests in
    // all and the outcomes run on the main thread.
    void pass(qint64 at, std::size_t total) {
        now = at;
        cache.postCacheFiles(control, poster);
        EXPECT_TRUE(server.waitForRequests(total, 10s));
        QTest::qWait(200);
        EXPECT_EQ(server.requests().size(), total);
    }

    LoopbackHttpServer server;
    LogCapture log;
    QvRekolControl control =
        QvRekolControl::fromText("[common]\nproduct=1\nserver2=" + server.url("/p2") +
                                 "\nserver3=" + server.url("/p3") + "\n[u]\npriority=3\n");
    qint64 now = 0;
    QvDataCache cache{[this] { return now; }};
    QvHttpPoster poster;
};

} // namespace

TEST_F(QvDataCacheTest, RemovesOnlyMalformedEntriesOfItsOwnDirectory) {
    QTemporaryDir outside;
    writeFile(outside.filePath("keep"));
    for (const char* name : {"notes.txt", "delay-1-0-a-b", "force--1700000000-0-t", "delay-x-0-t"})
        writeEntry(name);
    QDir(cacheDir()).mkpath("sub/deeper");
    QFile::link(outside.path(), cacheDir() + "/link");

    pass(1000, 0);
    for (const char* removed : {"notes.txt", "delay-1-0-a-b", "sub", "link"})
        EXPECT_TRUE(log.rekolLines().contains("[QvRekol] QvDataFile => removeItem['" + cacheDir() +
                                              '/' + removed + "']"))
            << removed;
    EXPECT_TRUE(log.rekolLines().contains("[QvRekol] QvDataFile => cache files count['2']"));
    // Four pieces once empty ones are dropped: kept, but their names cannot be
    // rebuilt, so they are not posted.
    EXPECT_EQ(cacheEntries(), QStringList({"delay-x-0-t", "force--1700000000-0-t"}));
    EXPECT_TRUE(QFile::exists(outside.filePath("keep"))); // the link went, not its target
}

TEST_F(QvDataCacheTest, RenamesOnEachRejectionDeletesAfterTheSeventhAndThrottlesPasses) {
    writeEntry("delay-1700000000-5-t", "packet-t");
    writeEntry("force-1700000000-6-u", "packet-u");
    server.setReply({200, "result=0", false});
    pass(1000, 2);
    EXPECT_EQ(cacheEntries(), QStringList({"delay-1700000000-6-t"})); // u had its seventh post
    QMap<QByteArray, QByteArray> bodyByPath;
    for (const auto& r : server.requests())
        bodyByPath[r.path] = r.body;
    EXPECT_EQ(bodyByPath.value("/p2"), "packet-t"); // t has no section: priority 2
    EXPECT_EQ(bodyByPath.value("/p3"), "packet-u");

    for (qint64 tooSoon : {1005, 1009, 991})
        pass(tooSoon, 2);
    pass(1010, 3);
    EXPECT_TRUE(cacheEntries().isEmpty());

    writeEntry("force-1700000000-6-t");
    writeEntry("delay-1700000000-0-t");
    server.setReply({200, "result=1", false});
    pass(1020, 5);
    EXPECT_TRUE(cacheEntries().isEmpty());
}
