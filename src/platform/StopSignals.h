#pragma once
// SIGTERM, SIGINT and SIGHUP as a request to stop: the handler only writes the
// signal's number into a pipe, and received() is emitted on the thread that
// made the object (its event loop reads the pipe). SIGXFSZ is ignored, so a
// write past the file size limit fails with EFBIG like any other write error.
//
// One instance per process; the handlers stay installed when it goes, and a
// signal then waits in the pipe unread: the clean-up at exit is not cut short.

#include <QObject>

class QSocketNotifier;

class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

    // 128 + the signal's number: the exit status of a run it ended.
    static int exitStatus(int signal) { return 128 + signal; }

Q_SIGNALS:
    void received(int signal);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};
