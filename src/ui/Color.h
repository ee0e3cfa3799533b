#pragma once
// Colours from hexadecimal texts such as "#333333", "FFF" or "#80FF0000".

#include <QColor>
#include <QString>

struct Color {
    // Never fails: a text of another length gives opaque black.
    static QColor hex(const QString& text);
};
