#pragma once
// The expand/collapse control of the custom-installation panel: the label,
// then "dragUp" while expanded or "dragDown" while collapsed.

#include "ui/ImageToggle.h"

class DragMenuToggleStyle : public ImageToggle {
public:
    explicit DragMenuToggleStyle(const QString& label, QWidget* parent = nullptr)
        : ImageToggle(label, QStringLiteral("dragUp"), QStringLiteral("dragDown"),
                      ImageSide::trailing, parent) {}
};
