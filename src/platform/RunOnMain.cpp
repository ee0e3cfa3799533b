#include "platform/RunOnMain.h"

#include "platform/WorkList.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {
WorkList& mainWork() {
    static WorkList list;
    return list;
}
} // namespace

void runOnMain(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return; // no event loop to run it: the process is ending
    mainWork().push(std::move(work));
    QMetaObject::invokeMethod(
        app, [] { mainWork().runOne(); }, Qt::QueuedConnection);
}
