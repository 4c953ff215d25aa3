#include "download/engine/engine_thread.h"

#include <aria2/aria2.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <thread>

#include "download/engine/engine_texts.h"
#include "net/http_request.h"

namespace quivra {

namespace {

using Clock = std::chrono::steady_clock;
using Request = std::function<void(aria2::Session*)>;

// libaria2 allows one session per process at a time.
std::atomic<bool> sessionTaken{false};
std::once_flag libraryOnce;

struct TaskRecord {
    aria2::A2Gid gid = 0;
    TaskSnapshot snapshot;
    bool finished = false;       // complete, failed or forgotten: no more looks needed
    bool stopRequested = false;  // paused by us and not yet halted
};

// Header values must not carry line breaks into the request.
std::string oneLine(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

std::string userAgent() {
    std::string line = kBrowserUserAgentLine;
    const std::string prefix = "User-Agent:";
    if (line.compare(0, prefix.size(), prefix) == 0) line.erase(0, prefix.size());
    while (!line.empty() && line.front() == ' ') line.erase(0, 1);
    return oneLine(line);
}

aria2::KeyVals sessionOptions(const std::string& folder) {
    return {
        {"dir", folder.empty() ? "." : folder},
        {"quiet", "true"},
        {"no-netrc", "true"},
        {"user-agent", userAgent()},
        {"max-concurrent-downloads", "64"},
        // Finished results stay known to aria2 well beyond what one run creates.
        {"max-download-result", "100000"},
        {"auto-save-interval", "2"},
        {"file-allocation", "none"},
        // Plain HTTP only: no torrent or metalink is followed, no swarm is joined and no
        // tracker contacted. aria2 opens ports only for those and for its RPC server,
        // so with all of them off it waits for connections on none.
        {"follow-torrent", "false"},
        {"follow-metalink", "false"},
        {"enable-dht", "false"},
        {"enable-dht6", "false"},
        {"bt-enable-lpd", "false"},
        {"enable-peer-exchange", "false"},
        {"bt-exclude-tracker", "*"},
        {"enable-rpc", "false"},
        {"summary-interval", "0"},
    };
}

aria2::KeyVals taskOptions(const TaskSettings& task) {
    aria2::KeyVals options = {
        // One stream over several connections, as fast as the server allows.
        {"split", "16"},
        {"max-connection-per-server", "16"},
        {"min-split-size", "1M"},
        {"file-allocation", "none"},
        // A dropped or stalled connection is retried within the task; each retry
        // continues its segment where it broke off.
        {"max-tries", "5"},
        {"retry-wait", "1"},
        {"timeout", "20"},
        {"connect-timeout", "10"},
        {"continue", task.resume ? "true" : "false"},
        {"auto-file-renaming", task.noAutoRename ? "false" : "true"},
        {"allow-overwrite", task.noAutoRename ? "true" : "false"},
    };
    if (!task.saveFolder.empty()) options.emplace_back("dir", task.saveFolder);
    if (!task.fileName.empty()) options.emplace_back("out", task.fileName);
    if (!task.referer.empty()) options.emplace_back("referer", oneLine(task.referer));
    if (!task.cookies.empty()) options.emplace_back("header", "Cookie: " + oneLine(task.cookies));
    return options;
}

}  // namespace

struct EngineThread::Impl {
    std::thread thread;

    mutable std::mutex queueMutex;
    std::condition_variable wake;
    std::deque<Request> requests;
    bool accepting = false;
    bool quitting = false;

    mutable std::mutex taskMutex;
    std::map<std::uint32_t, TaskRecord> tasks;
    mutable std::condition_variable stateChanged;  // with taskMutex
    std::uint32_t nextHandle = 1;

    // Engine thread only.
    aria2::Session* session = nullptr;
    bool live = false;  // some task is waiting or transferring: the session must run
    std::atomic<bool> eventSeen{false};

    // Queues work for the engine thread and waits until it has run (or was dropped).
    bool call(const std::function<void(aria2::Session*)>& work) {
        std::promise<void> done;
        auto finished = done.get_future();
        {
            std::lock_guard lock(queueMutex);
            if (!accepting) return false;
            requests.emplace_back([&work, &done](aria2::Session* session) {
                if (session != nullptr) work(session);
                done.set_value();
            });
        }
        wake.notify_one();
        finished.wait();
        return true;
    }

    static int onEvent(aria2::Session*, aria2::DownloadEvent, aria2::A2Gid, void* user) {
        static_cast<Impl*>(user)->eventSeen.store(true);
        return 0;
    }

    // Refreshes the record; true when its state changed.
    bool look(TaskRecord& record) {
        aria2::DownloadHandle* handle = aria2::getDownloadHandle(session, record.gid);
        if (handle == nullptr) {
            record.finished = true;
            return false;
        }
        const EngineState before = record.snapshot.state;
        TaskSnapshot& snapshot = record.snapshot;
        switch (handle->getStatus()) {
            case aria2::DOWNLOAD_ACTIVE:
                snapshot.state = record.stopRequested ? kStateStopPending : kStateDownload;
                live = true;
                break;
            case aria2::DOWNLOAD_WAITING:
                snapshot.state = kStateStartPending;
                live = true;
                break;
            case aria2::DOWNLOAD_PAUSED:
                snapshot.state = kStatePause;
                record.stopRequested = false;
                break;
            case aria2::DOWNLOAD_COMPLETE:
                snapshot.state = kStateComplete;
                record.finished = true;
                break;
            case aria2::DOWNLOAD_ERROR:
                snapshot.state = kStateError;
                snapshot.error =
                    errorCodeFromAria2(handle->getErrorCode(), handle->getTotalLength() > 0);
                record.finished = true;
                break;
            case aria2::DOWNLOAD_REMOVED:
                snapshot.state = kStateNoItem;
                record.finished = true;
                break;
        }
        snapshot.totalSize = handle->getTotalLength();
        snapshot.downloadedSize = handle->getCompletedLength();
        snapshot.speed = handle->getDownloadSpeed();
        snapshot.connections = handle->getConnections();
        aria2::deleteDownloadHandle(handle);
        return snapshot.state != before;
    }

    bool stillOpen(aria2::A2Gid gid) const {
        aria2::DownloadHandle* handle = aria2::getDownloadHandle(session, gid);
        if (handle == nullptr) return false;
        const aria2::DownloadStatus status = handle->getStatus();
        aria2::deleteDownloadHandle(handle);
        return status == aria2::DOWNLOAD_ACTIVE || status == aria2::DOWNLOAD_WAITING;
    }

    // Runs the session until a removed download has wound down: its connections are
    // closed and it writes nothing more, so the caller may delete its files at once. Left
    // to the next task's rounds, a given-up download kept its connections open.
    void windDown(aria2::A2Gid gid) {
        const auto began = Clock::now();
        while (stillOpen(gid) && Clock::now() - began < std::chrono::seconds(5)) {
            aria2::run(session, aria2::RUN_ONCE);
        }
    }

    void lookAtAll() {
        live = false;
        bool changed = false;
        {
            std::lock_guard lock(taskMutex);
            for (auto& [handle, record] : tasks) {
                if (!record.finished) changed = look(record) || changed;
            }
        }
        if (changed) stateChanged.notify_all();
    }

    void loop() {
        auto lastLook = Clock::now();
        for (;;) {
            std::deque<Request> batch;
            bool quit;
            {
                std::unique_lock lock(queueMutex);
                if (!live) wake.wait(lock, [this] { return quitting || !requests.empty(); });
                batch.swap(requests);
                quit = quitting;
            }
            for (auto& request : batch) request(session);
            if (quit) return;
            if (!batch.empty()) {
                lookAtAll();
                lastLook = Clock::now();
            }
            if (!live) continue;
            aria2::run(session, aria2::RUN_ONCE);
            auto now = Clock::now();
            if (eventSeen.exchange(false) || now - lastLook >= std::chrono::milliseconds(50)) {
                lookAtAll();
                lastLook = now;
            }
        }
    }

    // Halts every download (control files are written for unfinished ones), forcing
    // the halt when the polite one takes longer than a short grace.
    void endSession() {
        const auto began = Clock::now();
        aria2::shutdown(session, false);
        bool forced = false;
        while (aria2::run(session, aria2::RUN_ONCE) > 0) {
            auto waited = Clock::now() - began;
            if (!forced && waited >= std::chrono::milliseconds(500)) {
                aria2::shutdown(session, true);
                forced = true;
            }
            if (waited >= std::chrono::seconds(5)) break;
        }
        aria2::sessionFinal(session);
        session = nullptr;
    }

    void main(const std::string& folder, std::promise<bool>& ready) {
        // aria2 writes to sockets that the server may have closed.
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &blocked, nullptr);

        aria2::SessionConfig config;
        config.keepRunning = true;
        config.useSignalHandler = false;
        config.downloadEventCallback = &Impl::onEvent;
        config.userData = this;
        session = aria2::sessionNew(sessionOptions(folder), config);
        if (session == nullptr) {
            ready.set_value(false);
            return;
        }
        {
            std::lock_guard lock(queueMutex);
            accepting = true;
            quitting = false;
        }
        ready.set_value(true);
        loop();
        endSession();
    }
};

EngineThread::EngineThread() : impl_(std::make_shared<Impl>()) {}

EngineThread::~EngineThread() {
    stop();
}

bool EngineThread::running() const {
    std::lock_guard lock(impl_->queueMutex);
    return impl_->accepting;
}

bool EngineThread::start(const std::string& folder) {
    if (running()) return true;
    bool expected = false;
    if (!sessionTaken.compare_exchange_strong(expected, true)) return false;
    std::call_once(libraryOnce, [] { aria2::libraryInit(); });

    std::promise<bool> ready;
    auto started = ready.get_future();
    impl_->thread = std::thread([impl = impl_, folder, &ready] { impl->main(folder, ready); });
    if (!started.get()) {
        impl_->thread.join();
        sessionTaken.store(false);
        return false;
    }
    return true;
}

void EngineThread::stop() {
    {
        std::lock_guard lock(impl_->queueMutex);
        if (!impl_->accepting) return;
        impl_->accepting = false;
        impl_->quitting = true;
    }
    impl_->wake.notify_one();
    if (impl_->thread.joinable()) impl_->thread.join();
    {
        std::lock_guard lock(impl_->taskMutex);
        impl_->tasks.clear();
    }
    impl_->stateChanged.notify_all();
    sessionTaken.store(false);
}

std::uint32_t EngineThread::addTask(const TaskSettings& settings) {
    std::uint32_t task = 0;
    impl_->call([&](aria2::Session* session) {
        aria2::A2Gid gid = 0;
        if (aria2::addUri(session, &gid, {settings.url}, taskOptions(settings)) != 0) return;
        // Held until startTask; pausing also wakes the session at its next round.
        if (aria2::pauseDownload(session, gid) != 0) {
            aria2::removeDownload(session, gid, true);
            return;
        }
        std::lock_guard lock(impl_->taskMutex);
        task = impl_->nextHandle++;
        if (impl_->nextHandle == 0) impl_->nextHandle = 1;
        TaskRecord record;
        record.gid = gid;
        record.snapshot.state = kStatePause;
        impl_->tasks[task] = record;
    });
    return task;
}

bool EngineThread::resumeTask(std::uint32_t task) {
    bool done = false;
    impl_->call([&](aria2::Session* session) {
        std::lock_guard lock(impl_->taskMutex);
        auto found = impl_->tasks.find(task);
        if (found == impl_->tasks.end() || found->second.finished) return;
        aria2::A2Gid gid = found->second.gid;
        if (aria2::unpauseDownload(session, gid) != 0) return;
        // A pause and unpause of the now waiting task makes the session's next round
        // return at once instead of sleeping out its one-second poll.
        if (aria2::pauseDownload(session, gid) == 0) aria2::unpauseDownload(session, gid);
        found->second.stopRequested = false;
        done = true;
    });
    return done;
}

bool EngineThread::pauseTask(std::uint32_t task, bool force) {
    bool done = false;
    impl_->call([&](aria2::Session* session) {
        std::lock_guard lock(impl_->taskMutex);
        auto found = impl_->tasks.find(task);
        if (found == impl_->tasks.end() || found->second.finished) return;
        if (aria2::pauseDownload(session, found->second.gid, force) != 0) return;
        found->second.stopRequested = true;
        done = true;
    });
    return done;
}

bool EngineThread::removeTask(std::uint32_t task) {
    bool done = false;
    impl_->call([&](aria2::Session* session) {
        std::unique_lock lock(impl_->taskMutex);
        auto found = impl_->tasks.find(task);
        if (found == impl_->tasks.end()) return;
        const aria2::A2Gid gid = found->second.gid;
        const bool removed =
            !found->second.finished && aria2::removeDownload(session, gid, true) == 0;
        impl_->tasks.erase(found);
        lock.unlock();  // looks at other tasks go on meanwhile
        if (removed) impl_->windDown(gid);
        done = true;
    });
    if (done) impl_->stateChanged.notify_all();
    return done;
}

bool EngineThread::setUploadLimit(std::int64_t bytesPerSecond) {
    return changeGlobalOptions(
        {{"max-overall-upload-limit", std::to_string(bytesPerSecond < 0 ? 0 : bytesPerSecond)}});
}

bool EngineThread::changeGlobalOptions(
    const std::vector<std::pair<std::string, std::string>>& options) {
    bool done = false;
    impl_->call([&](aria2::Session* session) {
        done =
            aria2::changeGlobalOption(session, aria2::KeyVals(options.begin(), options.end())) == 0;
    });
    return done;
}

std::optional<TaskSnapshot> EngineThread::snapshot(std::uint32_t task) const {
    std::lock_guard lock(impl_->taskMutex);
    auto found = impl_->tasks.find(task);
    if (found == impl_->tasks.end()) return std::nullopt;
    return found->second.snapshot;
}

EngineState EngineThread::waitForState(std::uint32_t task, EngineState seen,
                                       std::chrono::milliseconds longest) const {
    std::unique_lock lock(impl_->taskMutex);
    const auto state = [&] {
        auto found = impl_->tasks.find(task);
        return found == impl_->tasks.end() ? kStateNoItem : found->second.snapshot.state;
    };
    impl_->stateChanged.wait_for(lock, longest, [&] { return state() != seen; });
    return state();
}

}  // namespace quivra
