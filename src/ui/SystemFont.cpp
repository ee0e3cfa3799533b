#include "ui/SystemFont.h"

#include <QGuiApplication>

QFont SystemFont::of(int size, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(qMax(1, size));
    font.setWeight(weight);
    return font;
}
