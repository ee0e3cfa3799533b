#pragma once
// Queues work on the application's main thread; items run in the order queued.
// From the main thread itself the work is queued too, never run inline.

#include <functional>

class QObject;

void runOnMain(std::function<void()> work);

// The same, dropped when `context` (an object living on the main thread) is
// destroyed before the work runs.
void runOnMain(QObject* context, std::function<void()> work);
