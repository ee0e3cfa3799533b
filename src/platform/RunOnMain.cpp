#include "platform/RunOnMain.h"

#include <QCoreApplication>
#include <QMetaObject>

void runOnMain(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return; // no event loop to run it: the process is ending
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void runOnMain(QObject* context, std::function<void()> work) {
    QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}
