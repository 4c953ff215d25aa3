// Handing work to the GUI thread from worker threads (QtCore only).
#pragma once

#include <functional>

namespace quivra {

// True on the thread that runs the application object's event loop. Without an
// application object every thread counts as the GUI thread.
bool isGuiThread();

// True only when an application object exists and this is its thread: where pumping its
// events while waiting makes sense.
bool onApplicationThread();

// Runs fn on the GUI thread later and returns at once. Runs it inline when there is no
// application object; drops it once the application is shutting down.
void postToGui(std::function<void()> fn);

// Runs fn on the GUI thread and blocks the caller until it has run. On the GUI thread
// (or without an application object) it runs inline. Once the application is shutting
// down it returns without running fn, so a worker never hangs at exit.
void callOnGui(std::function<void()> fn);

// Marks the application as shutting down and releases every worker blocked in
// callOnGui or in a wait for the GUI (see waitForGui). Called when the main window closes;
// also happens when the application object is destroyed.
void beginGuiShutdown();
bool guiShuttingDown();

// Blocks a worker until done() turns true or the application shuts down. done() is
// checked whenever notifyGuiWaiters() is called. Returns done().
bool waitForGui(const std::function<bool()>& done);
void notifyGuiWaiters();

}  // namespace quivra
