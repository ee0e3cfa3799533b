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

    // Binds to `flow`, which must outlive the view, and shows its state.
    explicit ContentView(InstallFlow& flow, QWidget* parent = nullptr);

    // Draws `state`. Called with the flow's state on every change; a still of
    // any other state may be drawn with it too (the next change redraws the flow's).
    void showState(const ScreenState& state);
    const ScreenState& state() const { return m_state; }

    // Ends the bar's running animation at its target (for stills).
    void finishAnimations();

    // The screen shown for a status.
    static Screen screenFor(INSTALLER_STATUS status);
    Screen currentScreen() const { return m_screen; }

    StartScreen* startScreen() const { return m_start; }
    CustomInstallPanel* customInstallPanel() const { return m_panel; }
    ProgressScreen* progressScreen() const { return m_progress; }
    DownloadFailedScreen* downloadFailedScreen() const { return m_downloadFailed; }
    InstallFailedScreen* installFailedScreen() const { return m_installFailed; }
    // The product-running alert; visible while isUsingNow.
    AlertView* usingAlert() const { return m_alert; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void layoutChildren();
    QWidget* screenWidget(Screen screen) const;

    InstallFlow& m_flow;
    ScreenState m_state;
    Screen m_screen = Screen::start;
    bool m_drawn = false;

    StartScreen* m_start;
    CustomInstallPanel* m_panel;
    ProgressScreen* m_progress;
    DownloadFailedScreen* m_downloadFailed;
    InstallFailedScreen* m_installFailed;
    AlertView* m_alert;
};
