#pragma once
// The user's OFD-association choice. Every assignment, even one that keeps the
// value, is reported as a click.

#include <QObject>

class UserProfileModel : public QObject {
    Q_OBJECT
public:
    bool isAssotiateOFD() const { return m_isAssotiateOFD; }
    void setAssotiateOFD(bool on);

Q_SIGNALS:
    void aboutToChange(); // before the field changes, so views can redraw
    void changed();

private:
    bool m_isAssotiateOFD = true;
};
