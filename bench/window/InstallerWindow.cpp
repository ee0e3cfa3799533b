// The installer's own start: language, flow (probes, settings file, first
// reports), window, exactly as lumadoc-installer starts without options.
#include "FirstFrame.h"
#include "app/AppDelegate.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    FirstFrame probe;
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
