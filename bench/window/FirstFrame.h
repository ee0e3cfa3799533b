#pragma once
// Prints "first-frame <monotonic ns>" when a top-level window paints for the
// first time, then quits the application. CLOCK_MONOTONIC is shared by all
// processes, so the driver can subtract its own start time.

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <cstdio>
#include <ctime>

class FirstFrame : public QObject {
public:
    FirstFrame() { qApp->installEventFilter(this); }

    static long long now() {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            m_seen = true;
            // After this paint the frame is complete; report once it is drawn.
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    std::printf("first-frame %lld\n", now());
                    std::fflush(stdout);
                    QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_seen = false;
};
