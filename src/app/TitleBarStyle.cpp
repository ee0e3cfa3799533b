#include "app/TitleBarStyle.h"

#include <QtGlobal>

// macOS has its own definitions in TitleBarStyle_mac.mm.
#ifndef Q_OS_MACOS
void TitleBarStyle::apply(QWidget*) {}

void TitleBarStyle::setContentSize(QWidget*, QSize) {}
#endif
