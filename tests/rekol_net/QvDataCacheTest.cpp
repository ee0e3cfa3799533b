#include "rekol/QvDataCache.h"
#include "rekol/QvHttpPoster.h"
#include "rekol/QvRekolControl.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"

#include <QDir>
#include <QFile>
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

void writeEntry(const QString& name, const QByteArray& bytes) {
    QDir().mkpath(cacheDir());
    QFile file(cacheDir() + '/' + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class QvDataCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(documentsDir()).removeRecursively();
        QDir().mkpath(documentsDir());
    }
    QvRekolControl control() const {
        return QvRekolControl::fromText("[common]\nproduct=1\nserver2=" + server.url("/p2") +
                                        "\nserver3=" + server.url("/p3") + "\n[u]\npriority=3\n");
    }
    // Lets the outcomes of `n` posts arrive on the main thread.
    void settle(std::size_t n) {
        ASSERT_TRUE(server.waitForRequests(n, 10s));
        QTest::qWait(200);
    }

    LoopbackHttpServer server;
    LogCapture log;
    qint64 now = 1000;
    QvDataCache cache{[this] { return now; }};
    QvHttpPoster poster;
};

} // namespace

TEST_F(QvDataCacheTest, NamesFilesAndRemovesOnlyMalformedEntriesOfItsOwnDirectory) {
    EXPECT_EQ(QvDataCache::getCacheFilePath("t", true, 1700000000, 0),
              cacheDir() + "/force-1700000000-0-t");
    EXPECT_EQ(QvDataCache::getCacheFilePath("vexa_lmdoc_mac_install", false, 1700000000, 12),
              cacheDir() + "/delay-1700000000-12-vexa_lmdoc_mac_install");
    ASSERT_TRUE(QFileInfo(cacheDir()).isDir());

    QTemporaryDir outside;
    QFile keep(outside.filePath("keep"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.close();

    writeEntry("notes.txt", "n");
    writeEntry("delay-1-0-a-b", "five pieces");
    writeEntry("force--1700000000-0-t", "doubled dash: four pieces, left alone");
    writeEntry("delay-abc-0-t", "odd time stamp: listed, not posted");
    QDir(cacheDir()).mkpath("sub/deeper");
    QFile::link(outside.path(), cacheDir() + "/link");

    const auto logged = [&](const QString& name) {
        return log.rekolLines().contains("[QvRekol] QvDataFile => removeItem['" + cacheDir() + '/' +
                                         name + "']");
    };
    cache.postCacheFiles(control(), poster);
    EXPECT_TRUE(logged("notes.txt"));
    EXPECT_TRUE(logged("delay-1-0-a-b"));
    EXPECT_TRUE(logged("sub"));
    EXPECT_TRUE(logged("link"));
    EXPECT_TRUE(log.rekolLines().contains("[QvRekol] QvDataFile => cache files count['2']"));
    EXPECT_EQ(cacheEntries(), QStringList({"delay-abc-0-t", "force--1700000000-0-t"}));
    EXPECT_TRUE(QFile::exists(outside.filePath("keep"))); // the link went, not its target
    QTest::qWait(200);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(QvDataCacheTest, RetriesRejectedPacketsUpToSevenPostsAndDeletesAcceptedOnes) {
    writeEntry("delay-1700000000-5-t", "packet-t");
    writeEntry("force-1700000000-6-u", "packet-u");
    server.setReply({200, "result=0", false});
    cache.postCacheFiles(control(), poster);
    settle(2);
    EXPECT_EQ(cacheEntries(), QStringList({"delay-1700000000-6-t"})); // u had its seventh post

    std::vector<LoopbackHttpServer::Request> seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    std::sort(seen.begin(), seen.end(), [](auto& a, auto& b) { return a.path < b.path; });
    EXPECT_EQ(seen[0].path, "/p2"); // t: no section of its own
    EXPECT_EQ(seen[0].body, "packet-t");
    EXPECT_EQ(seen[1].path, "/p3");
    EXPECT_EQ(seen[1].body, "packet-u");

    now += 10;
    cache.postCacheFiles(control(), poster);
    settle(3);
    EXPECT_TRUE(cacheEntries().isEmpty());

    writeEntry("force-1700000000-6-t", "late");
    writeEntry("delay-1700000000-0-t", "fresh");
    server.setReply({200, "result=1", false});
    now += 10;
    cache.postCacheFiles(control(), poster);
    settle(5);
    EXPECT_TRUE(cacheEntries().isEmpty());
}

TEST_F(QvDataCacheTest, RunsAtMostOnePassPerTenSeconds) {
    cache.postCacheFiles(control(), poster); // empty: counts 0, posts nothing
    EXPECT_TRUE(log.rekolLines().contains("[QvRekol] QvDataFile => cache files count['0']"));
    writeEntry("delay-1-0-t", "p");
    server.setReply({200, "", true}); // keep the file in place
    for (qint64 t : {1005, 1009, 991})
        now = t, cache.postCacheFiles(control(), poster);
    QTest::qWait(200);
    EXPECT_TRUE(server.requests().empty());
    now = 1010;
    cache.postCacheFiles(control(), poster);
    EXPECT_TRUE(server.waitForRequests(1, 10s));
}

TEST_F(QvDataCacheTest, WithoutADocumentsFolderNothingIsWrittenAnywhere) {
    QDir(documentsDir()).removeRecursively();
    EXPECT_EQ(QvDataCache::getCacheFilePath("t", false, 1, 0), QString());
    EXPECT_FALSE(log.rekolLines().isEmpty());
    cache.postCacheFiles(control(), poster);
    EXPECT_TRUE(log.rekolLines().contains("[QvRekol] QvDataFile => cache files count['0']"));
    EXPECT_FALSE(QFileInfo::exists(documentsDir()));
}
