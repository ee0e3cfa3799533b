#pragma once
// Linux stand-ins: 7-Zip extraction for attaching a disk image, GNU tools and
// procps for the rest, through /bin/sh.

#include "platform/SystemCommands.h"

class LinuxCommands : public SystemCommands {
public:
    QString shell() const override;
    QString processorProbe() const override;
    ProgramCall osVersion() const override;
    // Extracts the image into mountPoint (created by the tool).
    QString attach(const QString& image, const QString& mountPoint) const override;
    // Removes what attach extracted; fails when nothing is at mountPoint.
    QString detach(const QString& mountPoint) const override;
    ProgramCall copyTree(const QString& src, const QString& dst) const override;
    QString move(const QString& src, const QString& dst) const override;
    // Matches only processes whose command line starts with one of programs
    // as a whole word, so a shell or editor naming the path never counts.
    QString findRunning(const QStringList& programs) const override;
    QString stopRunning(const QStringList& programs) const override;
    QString startInBackground(const QString& program, const QString& argument) const override;
    // Starts <appPath>/Contents/MacOS/<executable> detached.
    ProgramCall launch(const QString& appPath, const QString& executable) const override;
};
