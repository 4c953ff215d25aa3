#include "base/gui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace quivra {

namespace {

std::mutex waitMutex;
std::condition_variable waitCondition;
std::atomic<bool> shuttingDown{false};
std::once_flag shutdownHook;

// The application object's destructor ends every wait as well.
void hookApplicationEnd() {
    std::call_once(shutdownHook, [] { qAddPostRoutine(beginGuiShutdown); });
}

// Marks a posted call as finished when the call object goes away, whether it ran or was
// dropped with the event queue of a dying application.
struct CallDone {
    std::shared_ptr<std::atomic<bool>> done;
    ~CallDone() {
        done->store(true);
        notifyGuiWaiters();
    }
};

}  // namespace

bool isGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

bool onApplicationThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void postToGui(std::function<void()> fn) {
    if (shuttingDown.load() || !fn) {
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        fn();
        return;
    }
    hookApplicationEnd();
    QMetaObject::invokeMethod(
        app,
        [fn = std::move(fn)] {
            if (!shuttingDown.load()) {
                fn();
            }
        },
        Qt::QueuedConnection);
}

void callOnGui(std::function<void()> fn) {
    if (shuttingDown.load() || !fn) {
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    hookApplicationEnd();
    auto done = std::make_shared<std::atomic<bool>>(false);
    auto marker = std::shared_ptr<CallDone>(new CallDone{done});
    QMetaObject::invokeMethod(
        app,
        [fn = std::move(fn), marker] {
            if (!shuttingDown.load()) {
                fn();
            }
        },
        Qt::QueuedConnection);
    marker.reset();
    waitForGui([&] { return done->load(); });
}

void beginGuiShutdown() {
    {
        std::lock_guard lock(waitMutex);
        shuttingDown.store(true);
    }
    waitCondition.notify_all();
}

bool guiShuttingDown() {
    return shuttingDown.load();
}

bool waitForGui(const std::function<bool()>& done) {
    std::unique_lock lock(waitMutex);
    waitCondition.wait(lock, [&] { return shuttingDown.load() || done(); });
    return done();
}

void notifyGuiWaiters() {
    { std::lock_guard lock(waitMutex); }
    waitCondition.notify_all();
}

}  // namespace quivra
