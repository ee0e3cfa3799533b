#pragma once
// Linux stand-ins: 7-Zip extraction for attaching a disk image, GNU tools and
// procps for the rest, through /bin/sh.

#include "platform/SystemCommands.h"

class LinuxCommands : public SystemCommands {
public:
    QString shell() const override;
    QStringList tools() const override;
    QString processorProbe() const override;
    ProgramCall osVersion() const override;
    // Extracts the image's Lumadoc.app to <mountPoint>/Lumadoc.app (the
    // folder is created by the tool); fails when the image holds none.
    QString attach(const QString& image, const QString& mountPoint) const override;
    QString listBundle(const QString& image) const override;
    bool attachIsPrivateCopy() const override { return true; }
    // Removes what attach extracted; fails when nothing is at mountPoint.
    QString detach(const QString& mountPoint) const override;
    ProgramCall copyTree(const QString& src, const QString& dst) const override;
    QString move(const QString& src, const QString& dst) const override;
    QString findRunning(const QStringList& programs) const override;
    QString stopRunning(const QStringList& programs) const override;
    QString startInBackground(const QString& program, const QString& argument) const override;
    // Starts <appPath>/Contents/MacOS/<executable> detached.
    ProgramCall launch(const QString& appPath, const QString& executable) const override;
};
