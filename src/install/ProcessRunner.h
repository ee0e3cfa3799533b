#pragma once
// Starts a program and waits for it, reading its output while it runs so a
// command that prints more than a pipe holds never blocks.

#include "platform/SystemCommands.h"

#include <QByteArray>
#include <QString>
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
        int status = -1; // exit status, or the signal number after a crash
        QByteArray output;
        QString error; // why it did not start

        bool succeeded() const { return started && exitedNormally && status == 0; }
    };

    ProcessRunner() = delete;

    // Runs call and waits for it to end. Its standard input is closed.
    static Result run(const ProgramCall& call, Output mode = Output::Merged);
    // Starts call detached from the installer, all standard channels on the
    // null device; true when it started.
    static bool startDetached(const ProgramCall& call);

    // bytes as UTF-8; no value when they are not valid UTF-8.
    static std::optional<QString> decodeUtf8(const QByteArray& bytes);
    // The debug form of an optional text: nil or Optional("text"), escaped.
    static QString debugForm(const std::optional<QString>& text);
};
