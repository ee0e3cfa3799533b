#pragma once
// The installer view: draws the screen for the flow's status over the
// "background" artwork, the custom-installation panel below it while open, and
// the product-running alert over it, and binds every control to its flow
// action. Redrawn from the flow's fields on every change.
//
//   +---------------- 680 ----------------+
//   | screen for the status          436  |   start / progress /
//   |                                     |   download failed / install failed
//   +-------------------------------------+
//   | custom-installation panel       56  |   only while isExpanded
//   +-------------------------------------+
//
// The view is as wide as its window; the window's size is the flow's business
// (resizeWindowTo).

#include "ui/ScreenState.h"

#include <QWidget>

class AlertView;
class CustomInstallPanel;
class DownloadFailedScreen;
class InstallFailedScreen;
class InstallFlow;
class ProgressScreen;
class StartScreen;

class ContentView : public QWidget {
    Q_OBJECT
public:
    enum class Screen { start, progress, downloadFailed, installFailed };

    // Shows the start screen as it looks at launch (ScreenState::atLaunch());
    // the controls do nothing until bind().
    explicit ContentView(QWidget* parent = nullptr);
    // The same, bound to `flow` at once.
    explicit ContentView(InstallFlow& flow, QWidget* parent = nullptr);

    // Binds every control to its action on `flow`, which must outlive the view,
    // and shows the flow's state from now on. Once only.
    void bind(InstallFlow& flow);
    InstallFlow* flow() const { return m_flow; }

    // Draws `state`. Called with the flow's state on every change; a still of
    // any other state may be drawn with it too (the next change redraws the flow's).
    void showState(const ScreenState& state);
    const ScreenState& state() const { return m_state; }

    // Ends the bar's running animation at its target (for stills).
    void finishAnimations();

    // The screen shown for a status.
    static Screen screenFor(INSTALLER_STATUS status);
    Screen currentScreen() const { return m_screen; }

    // The screens, the panel and the alert; all but the start screen are built when
    // first shown or asked for.
    StartScreen* startScreen() const { return m_start; }
    CustomInstallPanel* customInstallPanel();
    ProgressScreen* progressScreen();
    DownloadFailedScreen* downloadFailedScreen();
    InstallFailedScreen* installFailedScreen();
    // The product-running alert; visible while isUsingNow on the start screen.
    AlertView* usingAlert();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void layoutChildren();
    // After a change of screen or the alert's end: where the keyboard goes next.
    void moveFocus(bool screenChanged, bool alertDismissed);
    void connectToFlow(QWidget* part);
    QWidget* screenWidget(Screen screen);         // built when missing
    QWidget* existingScreen(Screen screen) const; // null when not built yet

    InstallFlow* m_flow = nullptr;
    ScreenState m_state;
    Screen m_screen = Screen::start;
    bool m_drawn = false;

    StartScreen* m_start;
    CustomInstallPanel* m_panel = nullptr;
    ProgressScreen* m_progress = nullptr;
    DownloadFailedScreen* m_downloadFailed = nullptr;
    InstallFailedScreen* m_installFailed = nullptr;
    AlertView* m_alert = nullptr;
};
