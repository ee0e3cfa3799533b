// The log file: earlier runs kept to five and to its size, a run that alone
// outgrows it keeping its newest lines, every line of the run in it.

#include "base/LogFile.h"
#include "base/Log.h"
#include "support/Files.h"
#include "support/Sandbox.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray runs(std::initializer_list<const char*> names) {
    QByteArray text;
    for (const char* name : names)
        text += QByteArray("=== ") + name + "\n" + name + " line\n";
    return text;
}

struct OpenLog {
    explicit OpenLog(const QString& path) {
        QString error;
        opened = LogFile::open(path, {"lumadoc-installer", "--silent", "a b"}, false, error);
        EXPECT_TRUE(opened) << error.toStdString();
    }
    ~OpenLog() { LogFile::close(); }
    bool opened = false;
};

} // namespace

TEST(LogFile, TrimmedKeepsTheLastRunsAndWholeLines) {
    struct Case {
        QByteArray contents;
        int maxRuns;
        qint64 maxBytes;
        QByteArray expected;
    };
    const Case cases[] = {
        {runs({"1", "2", "3"}), 2, 1000, runs({"2", "3"})},
        {runs({"1", "2"}), 5, 1000, runs({"1", "2"})},
        {runs({"1", "2"}), 0, 1000, ""},
        // A marker inside a line starts no run.
        {"x === 1\n=== 2\n", 1, 1000, "=== 2\n"},
        // Bytes: whole lines from the end, even inside one run, whose first
        // line stays so the file still starts as a log.
        {"=== 1\naaaa\nbbbb\ncccc\n", 5, 16, "=== 1\nbbbb\ncccc\n"},
        {"=== 1\naaaa\nbbbb\ncccc\n", 5, 15, "=== 1\ncccc\n"},
        {"=== 1\naaaa\n=== 2\nbbbb\ncccc\n", 5, 16, "=== 2\nbbbb\ncccc\n"},
        {"no marker\nat all\n", 1, 1000, "no marker\nat all\n"},
        {"", 5, 1000, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.contents.toStdString());
        EXPECT_EQ(LogFile::trimmed(c.contents, c.maxRuns, c.maxBytes), c.expected);
    }
}

// The user's state folder (on macOS the log folder; XDG_STATE_HOME means nothing there).
TEST(LogFile, DefaultPathIsThePlatformsLogFolder) {
#ifdef Q_OS_MACOS
    const QString standard = sandbox::home() + "/Library/Logs/Lumadoc/installer.log";
    const QString chosen = standard;
#else
    const QString standard = sandbox::home() + "/.local/state/lumadoc/installer.log";
    const QString chosen = sandbox::root() + "/state/lumadoc/installer.log";
#endif
    QStringList paths;
    for (const QString& stateHome : {QString(), sandbox::root() + "/state"}) {
        qputenv("XDG_STATE_HOME", stateHome.toLocal8Bit());
        paths << LogFile::defaultPath();
    }
    EXPECT_EQ(paths, QStringList({standard, chosen}));
    qputenv("XDG_STATE_HOME", (sandbox::home() + "/.local/state").toLocal8Bit());
}

TEST(LogFile, KeepsFiveRunsEachWithItsFirstLineAndEveryLine) {
    QTemporaryDir dir;
    // Left empty by a run killed before its first line: still the installer's log.
    const QString path = writeFile(dir.filePath("deep/folder/installer.log"));
    for (int run = 1; run <= 7; ++run) {
        OpenLog log(path);
        EXPECT_EQ(LogFile::path(), path);
        logLine(lcFlow(), QString("line of run %1\nwith a break").arg(run));
    }
    EXPECT_TRUE(LogFile::path().isEmpty());
    const QList<QByteArray> lines = readFile(path).split('\n');
    ASSERT_EQ(lines.size(), 11);
    for (int run = 3; run <= 7; ++run) {
        const QByteArray first = lines[(run - 3) * 2];
        EXPECT_TRUE(first.startsWith("=== ") &&
                    first.contains(" lumadoc-installer " LUMADOC_VERSION ": ") &&
                    first.endsWith(": lumadoc-installer --silent 'a b'"))
            << first.toStdString();
        EXPECT_EQ(lines[(run - 3) * 2 + 1],
                  QString("line of run %1 with a break").arg(run).toUtf8());
    }
}

TEST(LogFile, StaysUnderItsSizeWhateverItStartsWith) {
    const qint64 limit = 5 * 1024 * 1024; // as the manual and the README state it
    QTemporaryDir dir;
    const QString path = dir.filePath("installer.log");
    // An earlier run far over the limit, then this run writing more than it.
    const QByteArray line(99, 'x');
    QByteArray big = "=== old\n";
    while (big.size() < 3 * limit)
        big += line + '\n';
    ASSERT_FALSE(writeFile(path, big).isEmpty());
    {
        OpenLog log(path);
        EXPECT_LE(QFileInfo(path).size(), limit);
        for (int i = 0; i < 70000; ++i)
            logLine(lcInstall(), QString::number(i).rightJustified(99, '-'));
        EXPECT_LE(QFileInfo(path).size(), limit + 100);
    }
    const QByteArray kept = readFile(path);
    EXPECT_TRUE(kept.endsWith(QString::number(69999).rightJustified(99, '-').toUtf8() + '\n'));
    for (const QByteArray& l : kept.split('\n'))
        ASSERT_TRUE(l.isEmpty() || l.size() == 99 || l.startsWith("=== ")) << l.toStdString();
}

TEST(LogFile, AnUnwritablePlaceIsRefusedWithItsReason) {
    QTemporaryDir dir;
    ASSERT_FALSE(writeFile(dir.filePath("file"), "x").isEmpty());
    QString error;
    EXPECT_FALSE(LogFile::open(dir.filePath("file/installer.log"), {}, false, error));
    EXPECT_EQ(error.toStdString(), "cannot create the folder of " +
                                       dir.filePath("file/installer.log").toStdString() +
                                       ": Not a directory");
    EXPECT_TRUE(LogFile::path().isEmpty());
}
