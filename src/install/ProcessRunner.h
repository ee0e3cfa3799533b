#pragma once
// Starts a program and waits for it, reading its output while it runs so a
// command that prints more than a pipe holds never blocks.
//
// Every program runs in a process group of its own, so that stopAll() ends
// it together with whatever it started (the shell's 7zz, its pgrep) and
// nothing of ours outlives the installer.

#include "platform/SystemCommands.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class ProcessRunner {
public:
    enum class Output {
        Merged,     // standard output and error captured together
        StdoutOnly, // standard error goes to the installer's own
    };

    struct Result {
        bool started = false;
        bool exitedNormally = false;
        int status = -1;      // exit status, or the signal number after a crash
        bool stopped = false; // ended by stopAll() or by the watch
        QByteArray output;
        QString error; // why it did not start

        bool succeeded() const { return started && exitedNormally && status == 0 && !stopped; }
    };

    // Asked a few times a second while a program runs; false stops it.
    using Watch = std::function<bool()>;

    ProcessRunner() = delete;

    // Runs call and waits for it to end. Its standard input is closed.
    static Result run(const ProgramCall& call, Output mode = Output::Merged,
                      const Watch& keepGoing = {});
    // Starts call detached from the installer, all standard channels on the
    // null device; true when it started.
    static bool startDetached(const ProgramCall& call);

    // Any thread: kills every program running now and any started later,
    // each with its whole process group, except those run under a Shield.
    static void stopAll();
    static bool stopping();

    // While one lives, the runs of its thread are not stopped: the swap's
    // renames and the clean-up must finish for a whole application to stay.
    class Shield {
    public:
        Shield();
        ~Shield();
        Shield(const Shield&) = delete;
        Shield& operator=(const Shield&) = delete;
    };

    // bytes as UTF-8; no value when they are not valid UTF-8.
    static std::optional<QString> decodeUtf8(const QByteArray& bytes);
    // The debug form of an optional text: nil or Optional("text"), escaped.
    static QString debugForm(const std::optional<QString>& text);
};
