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

TEST(LogFile, DefaultPathIsThePlatformsLogFolder) {
#ifdef Q_OS_MACOS
    // The user's log folder; XDG_STATE_HOME means nothing there.
    const QString standard = sandbox::home() + "/Library/Logs/Lumadoc/installer.log";
    const QString chosen = standard;
#else
    const QString standard = sandbox::home() + "/.local/state/lumadoc/installer.log";
    const QString chosen = sandbox::root() + "/state/lumadoc/installer.log";
#endif
    const std::pair<QString, QString> cases[] = {
        {sandbox::home() + "/.local/state", standard},
        {"relative/state", standard}, // ignored, as the XDG rules say
        {sandbox::root() + "/state", chosen},
    };
    for (const auto& [stateHome, expected] : cases) {
        qputenv("XDG_STATE_HOME", stateHome.toLocal8Bit());
        EXPECT_EQ(LogFile::defaultPath(), expected) << stateHome.toStdString();
    }
    qputenv("XDG_STATE_HOME", (sandbox::home() + "/.local/state").toLocal8Bit());
}

TEST(LogFile, KeepsFiveRunsEachWithItsFirstLineAndEveryLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath("deep/folder/installer.log");
    for (int run = 1; run <= 7; ++run) {
        OpenLog log(path);
        EXPECT_EQ(LogFile::path(), path);
        logLine(lcFlow(), QString("line of run %1\nwith a break").arg(run));
    }
    EXPECT_TRUE(LogFile::path().isEmpty());
    const QList<QByteArray> lines = readFile(path).split('\n');
    QList<QByteArray> firsts;
    QList<QByteArray> others;
    for (const QByteArray& line : lines)
        (line.startsWith("=== ") ? firsts : others) << line;
    ASSERT_EQ(firsts.size(), 5);
    EXPECT_TRUE(firsts[0].contains(" lumadoc-installer " LUMADOC_VERSION ": "));
    EXPECT_TRUE(firsts[0].endsWith(": lumadoc-installer --silent 'a b'"))
        << firsts[0].toStdString();
    EXPECT_EQ(others, QList<QByteArray>({"line of run 3 with a break", "line of run 4 with a break",
                                         "line of run 5 with a break", "line of run 6 with a break",
                                         "line of run 7 with a break", ""}));
}

TEST(LogFile, StaysUnderItsSizeWhateverItStartsWith) {
    QTemporaryDir dir;
    const QString path = dir.filePath("installer.log");
    // An earlier run far over the limit, then this run writing more than it.
    const QByteArray line(99, 'x');
    QByteArray big = "=== old\n";
    while (big.size() < 3 * LogFile::kMaxBytes)
        big += line + '\n';
    ASSERT_FALSE(writeFile(path, big).isEmpty());
    {
        OpenLog log(path);
        EXPECT_LE(QFileInfo(path).size(), LogFile::kMaxBytes);
        for (int i = 0; i < 70000; ++i)
            logLine(lcInstall(), QString::number(i).rightJustified(99, '-'));
        EXPECT_LE(QFileInfo(path).size(), LogFile::kMaxBytes + 100);
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
    EXPECT_TRUE(error.contains(dir.filePath("file"))) << error.toStdString();
    EXPECT_TRUE(LogFile::path().isEmpty());
}
