#include "app/TitleBarStyle.h"

#include <QtGlobal>

// macOS has its own definition in TitleBarStyle_mac.mm.
#ifndef Q_OS_MACOS
void TitleBarStyle::apply(QWidget*) {}
#endif
