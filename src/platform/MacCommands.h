#pragma once
// macOS: the product's own tools through /bin/zsh.

#include "platform/SystemCommands.h"

class MacCommands : public SystemCommands {
public:
    QString shell() const override;
    QStringList shellOptions() const override;
    QStringList tools() const override;
    QString processorProbe() const override;
    ProgramCall osVersion() const override;
    QString attach(const QString& image, const QString& mountPoint) const override;
    QString detach(const QString& mountPoint) const override;
    ProgramCall copyTree(const QString& src, const QString& dst) const override;
    QString move(const QString& src, const QString& dst) const override;
    QString findRunning(const QStringList& programs) const override;
    QString stopRunning(const QStringList& programs) const override;
    QString startInBackground(const QString& program, const QString& argument) const override;
    ProgramCall launch(const QString& appPath, const QString& executable) const override;
};
