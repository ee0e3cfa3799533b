#pragma once
// SIGTERM, SIGINT and SIGHUP as a request to stop: the handler only writes the
// signal's number into a pipe, and received() is emitted on the thread that
// made the object (its event loop reads the pipe).
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

    // From here on, a write past the file size limit or into a pipe whose reader
    // is gone (`| head`) fails with EFBIG or EPIPE like any other write error
    // instead of ending the run. Called first thing, before any output.
    static void keepWritesFromEndingTheRun();

    // A signal received but not yet emitted, taken from the pipe; 0 when none.
    // For work that runs outside the event loop (the exit's drain, the stills).
    static int takePending();

    // 128 + the signal's number: the exit status of a run it ended.
    static int exitStatus(int signal) { return 128 + signal; }

Q_SIGNALS:
    void received(int signal);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};
