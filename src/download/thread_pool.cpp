#include "download/thread_pool.h"
#include "base/gui_thread.h"

#include <pthread.h>

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace quivra {

namespace {

// The smallest stack a worker gets whatever was asked: download jobs call libcurl,
// iconv and the engine, which need far more than the 8 KiB the size rule allows.
constexpr std::size_t kSafeMinimumStack = 256 * 1024;

struct Packet {
    ThreadPool::Routine routine = nullptr;  // nullptr: the stop packet
    std::intptr_t value1 = 0;
    std::intptr_t value2 = 0;
};

// The queue one start feeds its workers from; a new start makes a new one, so packets
// left behind by an earlier run never reach later workers.
struct Port {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Packet> packets;

    void post(const Packet& packet) {
        {
            std::lock_guard lock(mutex);
            packets.push_back(packet);
        }
        ready.notify_one();
    }
    Packet take() {
        std::unique_lock lock(mutex);
        ready.wait(lock, [this] { return !packets.empty(); });
        Packet packet = packets.front();
        packets.pop_front();
        return packet;
    }
    void clear() {
        std::lock_guard lock(mutex);
        packets.clear();
    }
};

void processEventsIf(bool processMessages) {
    if (processMessages && onApplicationThread()) QCoreApplication::processEvents();
}

struct PoolData {
    std::atomic<int> state{ThreadPool::NotRunning};
    std::atomic<int> runFlag{0};
    std::atomic<int> threadCount{0};
    std::atomic<int> busyCount{0};
    std::atomic<int> queuedCount{0};
    std::atomic<int> started{0};  // threads created by the current start

    std::mutex portMutex;
    std::shared_ptr<Port> port;

    // Stands for the start-up and end signal: workers notify it when they count
    // themselves in and when the last one leaves.
    std::mutex eventMutex;
    std::condition_variable event;

    std::shared_ptr<Port> currentPort() {
        std::lock_guard lock(portMutex);
        return port;
    }

    void signal() {
        { std::lock_guard lock(eventMutex); }
        event.notify_all();
    }
};

struct WorkerStart {
    std::shared_ptr<PoolData> impl;
    std::shared_ptr<Port> port;
};

// Runs on each worker; keeps the pool's data alive through its own references, so a
// pool destroyed at exit while a task still runs is never touched after its release.
void workerLoop(std::shared_ptr<PoolData> impl, std::shared_ptr<Port> port) {
    impl->threadCount.fetch_add(1);
    impl->signal();
    Packet packet = port->take();
    while (impl->runFlag.load() == 1 && packet.routine != nullptr) {
        impl->busyCount.fetch_add(1);
        impl->queuedCount.fetch_sub(1);
        packet.routine(packet.value1, packet.value2);
        impl->busyCount.fetch_sub(1);
        packet = port->take();
    }
    if (impl->threadCount.fetch_sub(1) == 1) {
        {
            std::lock_guard lock(impl->portMutex);
            if (impl->port == port) impl->port.reset();
        }
        port->clear();
        impl->runFlag.store(0);
        impl->busyCount.store(0);
        impl->queuedCount.store(0);
        impl->state.store(ThreadPool::NotRunning);
        impl->signal();
    }
}

void* workerEntry(void* argument) {
    pthread_setname_np(pthread_self(), "quivra-worker");  // for top and the benchmarks
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
    workerLoop(std::move(start->impl), std::move(start->port));
    return nullptr;
}

}  // namespace

// The owner's reference to the pool's data; workers take copies, so the data outlives
// the object while a worker that was told to stop is still finishing its task.
struct ThreadPool::Impl {
    std::shared_ptr<PoolData> data = std::make_shared<PoolData>();
};

ThreadPool::ThreadPool() : impl_(new Impl) {}

ThreadPool::~ThreadPool() {
    stop(2);
    delete impl_;
}

std::size_t ThreadPool::effectiveStackSize(int requested) {
    if (requested <= 0) return 0;
    if (requested < 8192) return 8192;
    return static_cast<std::size_t>(requested) / 4096 * 4096;
}

bool ThreadPool::start(std::optional<int> threads, bool processMessages,
                       std::optional<int> stackSize) {
    int expected = NotRunning;
    if (!impl_->data->state.compare_exchange_strong(expected, Starting)) return false;

    const int count = std::clamp(threads.value_or(5), 1, kMaxThreads);
    std::size_t stack = effectiveStackSize(stackSize.value_or(0));
    if (stack != 0) {
        std::size_t minimum = kSafeMinimumStack;
        if (static_cast<std::size_t>(PTHREAD_STACK_MIN) > minimum) minimum = PTHREAD_STACK_MIN;
        if (stack < minimum) stack = minimum;
    }

    auto port = std::make_shared<Port>();
    {
        std::lock_guard lock(impl_->data->portMutex);
        impl_->data->port = port;
    }
    impl_->data->runFlag.store(1);
    impl_->data->threadCount.store(0);
    impl_->data->busyCount.store(0);
    impl_->data->queuedCount.store(0);

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stack != 0) pthread_attr_setstacksize(&attributes, stack);

    int started = 0;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        auto* argument = new WorkerStart{impl_->data, port};
        pthread_t thread;
        if (pthread_create(&thread, &attributes, workerEntry, argument) == 0) {
            ++started;
            failures = 0;
        } else {
            delete argument;
            if (++failures >= 5) break;
        }
        processEventsIf(processMessages);
    }
    pthread_attr_destroy(&attributes);
    impl_->data->started.store(started);

    if (started > 0) {
        const auto limit = std::chrono::milliseconds(started * 2 + 1000);
        bool guiWait = processMessages && onApplicationThread();
        auto deadline = std::chrono::steady_clock::now() + limit;
        std::unique_lock lock(impl_->data->eventMutex);
        while (impl_->data->threadCount.load() < started) {
            auto now = std::chrono::steady_clock::now();
            if (now >= deadline) break;
            auto step = guiWait ? std::min<std::chrono::steady_clock::duration>(
                                      std::chrono::milliseconds(20), deadline - now)
                                : deadline - now;
            impl_->data->event.wait_for(lock, step);
            if (guiWait) {
                lock.unlock();
                QCoreApplication::processEvents();
                lock.lock();
            }
        }
    }

    // Threads that were created but are slow to count themselves in still belong to
    // this run; only a start that created none fails.
    if (started == 0) {
        impl_->data->runFlag.store(0);
        std::lock_guard lock(impl_->data->portMutex);
        impl_->data->port.reset();
        impl_->data->state.store(NotRunning);
        return false;
    }
    impl_->data->state.store(Running);
    return true;
}

bool ThreadPool::submit(Routine routine, std::intptr_t value1, std::intptr_t value2) {
    if (impl_->data->state.load() != Running || routine == nullptr) return false;
    auto port = impl_->data->currentPort();
    if (!port) return false;
    impl_->data->queuedCount.fetch_add(1);
    port->post(Packet{routine, value1, value2});
    return true;
}

bool ThreadPool::stop(std::optional<int> mode, std::optional<int> timeoutMs, bool processMessages) {
    int expected = Running;
    if (!impl_->data->state.compare_exchange_strong(expected, Stopping))
        return expected == NotRunning;

    int how = mode.value_or(0);
    if (how < 0 || how > 3) how = 0;
    if (how == 0 || how == 2) impl_->data->runFlag.store(0);

    auto port = impl_->data->currentPort();
    int workers = impl_->data->started.load();
    for (int i = 0; port && i < workers; ++i) {
        port->post(Packet{});
        if (processMessages && (i + 1) % 100 == 0) processEventsIf(true);
    }
    if (how == 2 || how == 3) return true;

    const int timeout = timeoutMs.value_or(0);
    const auto began = std::chrono::steady_clock::now();
    const bool guiWait = processMessages && onApplicationThread();
    std::unique_lock lock(impl_->data->eventMutex);
    while (impl_->data->state.load() == Stopping) {
        auto waited = std::chrono::steady_clock::now() - began;
        if (timeout > 0 && waited > std::chrono::milliseconds(timeout)) return false;
        auto step = std::chrono::milliseconds(guiWait ? 20 : 200);
        if (timeout > 0 && !guiWait) {
            auto left = std::chrono::milliseconds(timeout) - waited + std::chrono::milliseconds(1);
            if (left < step) step = std::chrono::duration_cast<std::chrono::milliseconds>(left);
        }
        impl_->data->event.wait_for(lock, step);
        if (guiWait) {
            lock.unlock();
            QCoreApplication::processEvents();
            lock.lock();
        }
    }
    return true;
}

int ThreadPool::idleThreadCount() const {
    return impl_->data->threadCount.load() - impl_->data->busyCount.load();
}
int ThreadPool::busyCount() const {
    return impl_->data->busyCount.load();
}
int ThreadPool::queuedCount() const {
    return impl_->data->queuedCount.load();
}
int ThreadPool::threadCount() const {
    return impl_->data->threadCount.load();
}
bool ThreadPool::isIdle() const {
    return impl_->data->queuedCount.load() == 0 && impl_->data->busyCount.load() == 0;
}
int ThreadPool::state() const {
    return impl_->data->state.load();
}

ThreadPool& threadPool() {
    static ThreadPool pool;
    return pool;
}

}  // namespace quivra
