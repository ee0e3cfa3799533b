#pragma once
// The custom-installation panel, 680 x 56, shown below the screen while the
// start screen's toggle is open: two option check boxes, make Lumadoc the
// default PDF reader and associate OFD documents.

#include <QWidget>

class CheckBoxToggleStyle;
struct ScreenState;

class CustomInstallPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 56;

    explicit CustomInstallPanel(QWidget* parent = nullptr);

    // Ticks the boxes as isSetDefault and isAssotiateOFD say.
    void showState(const ScreenState& state);

    CheckBoxToggleStyle* setDefaultBox() const { return m_setDefault; }
    CheckBoxToggleStyle* associateOfdBox() const { return m_associateOfd; }

Q_SIGNALS:
    // The user ticked or cleared a box.
    void setDefaultClicked(bool on);
    void associateOfdClicked(bool on);

private:
    CheckBoxToggleStyle* m_setDefault;
    CheckBoxToggleStyle* m_associateOfd;
};
