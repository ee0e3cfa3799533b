// The reference: an empty Qt window of the installer's size.
#include "FirstFrame.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    FirstFrame probe;
    QWidget window;
    window.setFixedSize(680, 436);
    window.show();
    return QApplication::exec();
}
