#pragma once
// Facts about the installation that every report carries.

#include "base/Enums.h"

#include <QString>
#include <cstdint>

struct ReportBlock {
    QString version;
    QString shortCode;
    std::int64_t tid1 = 0;
    std::int64_t tid2 = 0;
    std::int64_t tod1 = 0;
    std::int64_t tod2 = 0;
    bool bSilent = false;
    bool bCoverInstall = false;
    QString installtime; // never filled, never sent
    QString uuid;
    QString svrid;
    std::int64_t lastVer = 0;

    bool operator==(const ReportBlock&) const = default;
};

struct MacInstallReportBlock {
    ReportBlock baseBlock;
    ENUMInstallPoint installPoint = ENUMInstallPoint::nonePoint; // last point reported

    bool operator==(const MacInstallReportBlock&) const = default;
};
