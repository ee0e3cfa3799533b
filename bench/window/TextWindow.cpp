// A second reference: the bare window with one line of text, which adds the
// font set-up every window with text pays on its first frame.
#include "FirstFrame.h"

#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    FirstFrame probe;
    QWidget window;
    window.setFixedSize(680, 436);
    auto* label = new QLabel(QStringLiteral("Lumadoc"), &window);
    label->move(300, 200);
    window.show();
    return QApplication::exec();
}
