#include "flow/UserProfileModel.h"

#include "reporting/MacInstallReporter.h"

void UserProfileModel::setAssotiateOFD(bool on) {
    Q_EMIT aboutToChange();
    m_isAssotiateOFD = on;
    Q_EMIT changed();
    MacInstallReporter::getInstance().report(ENUMInstallPoint::nonePoint,
                                             on ? ENUMInstallClick::ofdAssociationOn
                                                : ENUMInstallClick::ofdAssociationOff,
                                             0, 0, 0, true);
}
