#include "install/ProcessRunner.h"

#include <QProcess>
#include <QStringDecoder>

ProcessRunner::Result ProcessRunner::run(const ProgramCall& call, Output mode) {
    Result result;
    QProcess process;
    process.setProcessChannelMode(mode == Output::Merged ? QProcess::MergedChannels
                                                         : QProcess::ForwardedErrorChannel);
    process.start(call.program, call.arguments);
    if (!process.waitForStarted(-1)) {
        result.error = process.errorString();
        return result;
    }
    result.started = true;
    process.closeWriteChannel();
    while (process.state() != QProcess::NotRunning) {
        process.waitForFinished(200);
        result.output += process.readAll();
    }
    result.output += process.readAll();
    result.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    result.status = process.exitCode();
    return result;
}

bool ProcessRunner::startDetached(const ProgramCall& call) {
    QProcess process;
    process.setProgram(call.program);
    process.setArguments(call.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

std::optional<QString> ProcessRunner::decodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString ProcessRunner::debugForm(const std::optional<QString>& text) {
    if (!text)
        return QStringLiteral("nil");
    QString escaped;
    for (const QChar c : *text) {
        switch (c.unicode()) {
        case '\n':
            escaped += QStringLiteral("\\n");
            break;
        case '\r':
            escaped += QStringLiteral("\\r");
            break;
        case '\t':
            escaped += QStringLiteral("\\t");
            break;
        case '"':
            escaped += QStringLiteral("\\\"");
            break;
        case '\\':
            escaped += QStringLiteral("\\\\");
            break;
        default:
            escaped += c;
        }
    }
    return "Optional(\"" + escaped + "\")";
}
