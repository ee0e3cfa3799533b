#pragma once
// The start screen, 680 x 436: room for the artwork, the slogan, the agreement
// line with its two links, the disagree and install buttons, and (for a fresh
// installation only) the custom-installation toggle. It only emits what the
// user did; the owner binds the signals to the flow.

#include <QWidget>

class BtnView;
class ClickableText;
class DragMenuToggleStyle;
struct ScreenState;

class StartScreen : public QWidget {
    Q_OBJECT
public:
    explicit StartScreen(QWidget* parent = nullptr);

    // Shows the toggle while isShowDragBtn, in the isExpanded position.
    void showState(const ScreenState& state);

    BtnView* disagreeButton() const { return m_disagree; }
    BtnView* installButton() const { return m_install; }
    DragMenuToggleStyle* customInstallToggle() const { return m_toggle; }

Q_SIGNALS:
    void disagreeClicked();
    void installClicked();
    void termsClicked();
    void privacyClicked();
    void expandClicked(bool expanded); // the user flipped the toggle

private:
    BtnView* m_disagree;
    BtnView* m_install;
    ClickableText* m_terms;
    ClickableText* m_privacy;
    DragMenuToggleStyle* m_toggle;
};
