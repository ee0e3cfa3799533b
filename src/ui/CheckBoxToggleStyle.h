#pragma once
// The option check box of the custom-installation panel: "checkedbox" or
// "uncheckbox", then the label filling the remaining width.

#include "ui/ImageToggle.h"

class CheckBoxToggleStyle : public ImageToggle {
public:
    explicit CheckBoxToggleStyle(const QString& label, QWidget* parent = nullptr)
        : ImageToggle(label, QStringLiteral("checkedbox"), QStringLiteral("uncheckbox"),
                      ImageSide::leading, parent) {}
};
