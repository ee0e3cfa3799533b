#pragma once
// Queues work on the application's main thread; items run in the order queued.
// From the main thread itself the work is queued too, never run inline.

#include <functional>

void runOnMain(std::function<void()> work);
