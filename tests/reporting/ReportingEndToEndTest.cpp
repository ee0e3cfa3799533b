#include "flow/Globals.h"
#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"
#include "support/DevServer.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// A resources folder of its own: the shipped format file and a control file
// naming `serverUrl`.
class Resources {
public:
    explicit Resources(const QString& serverUrl) {
        QFile::copy(LUMADOC_SOURCE_DIR "/resources/data/qfmt.dat", m_dir.filePath("qfmt.dat"));
        QFile ctrl(m_dir.filePath("qctrl.dat"));
        EXPECT_TRUE(ctrl.open(QIODevice::WriteOnly));
        ctrl.write(("[common]\nproduct=502\nserver2=" + serverUrl + "\n").toUtf8());
    }
    std::unique_ptr<QvRekolClient> client() const {
        return std::make_unique<QvRekolClient>(
            QvRekolControl::fromPath(m_dir.filePath("qctrl.dat")),
            QvRekolFormat::fromPath(m_dir.filePath("qfmt.dat")), false);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace

TEST(ReportingEndToEnd, ADeadRefusingOrHangingServerOnlyChangesTheLog) {
    struct Case {
        QStringList options;
        bool dead;
        QString expected;
    };
    const Case cases[] = {
        {{"--rekol-reply", "result=0"}, false, "failed!!!"},
        {{"--rekol-status", "500", "--rekol-reply", "error"}, false, "failed!!!"},
        {{}, true, "failed!!!"},
        {{"--rekol-hang"}, false, "still tasks uncompleted after timeout, cancel all tasks"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        DevServer server(c.options);
        ASSERT_TRUE(server.isRunning());
        const QString url =
            c.dead ? QString("http://127.0.0.1:%1/rekol").arg(LoopbackHttpServer::deadPort())
                   : server.baseUrl() + "/rekol/report";
        const Resources resources(url);
        MacInstallReporter reporter(resources.client());
        LogCapture log;
        reporter.report(ENUMInstallPoint::installNow, ENUMInstallClick::none, 0, 0, 0, true);
        reporter.report(ENUMInstallPoint::downloadStart, ENUMInstallClick::none, 0, 0, 0, true);
        if (!c.dead) {
            ASSERT_TRUE(server.waitForTelemetry(2, 10000));
        }
        reporter.ensureClearWaitingPackage(500ms);
        QTest::qWait(100);
        const QStringList lines = log.lines();
        EXPECT_EQ(lines.filter(c.expected).size(), c.dead || c.expected == "failed!!!" ? 2 : 1)
            << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.filter("success").isEmpty());
    }
}

TEST(ReportingEndToEnd, SharedInstancesLoadTheShippedFilesOnce) {
    Reporter& plain = Reporter::getInstance();
    MacInstallReporter& mac = MacInstallReporter::getInstance();
    auto fromOtherThread = std::async(std::launch::async, [] { return &Reporter::getInstance(); });
    EXPECT_EQ(fromOtherThread.get(), &plain);
    EXPECT_EQ(&MacInstallReporter::getInstance(), &mac);
    EXPECT_EQ(plain.client()->productId(), 502);
    EXPECT_EQ(mac.client()->productId(), 502);
    EXPECT_FALSE(mac.client()->uploadsCache());
}
