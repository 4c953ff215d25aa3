#include "download/list/download_queue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "download/job/download_job.h"
#include "download/job/part_lock.h"
#include "download/list/download_store.h"
#include "download/list/store_watch.h"
#include "download/plan/download_files.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

std::int64_t secondsNow() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::int64_t microsecondsNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A cancelled part's temporary streams go, unless a job of another program runs the part
// now: its list knows nothing of this cancel.
void deleteStreams(const std::vector<DownloadRequest>& parts) {
    for (const DownloadRequest& part : parts) {
        PartLock lock;
        if (lock.tryTake(partLockPath(part)) == PartLock::Busy) continue;
        for (const std::string& path : {temporaryVideoPath(part), temporaryAudioPath(part)}) {
            deleteFile(path);
            deleteFile(path + ".aria2");  // the engine's control file
        }
    }
}

// A finished part never runs again with its request (a new submission brings its own), so
// what only its merge used is not kept: a long list is mostly finished parts.
void dropJobOnlyParts(DownloadItem& item) {
    if (item.state != ItemState::Done) return;
    item.request.tags.reset();
    std::string().swap(item.request.coverAddress);
}

}  // namespace

struct DownloadQueue::Core : std::enable_shared_from_this<Core> {
    struct Entry {
        DownloadItem item;
        std::uint64_t runToken = 0;  // changes when the item's job must stop
        bool inPool = false;         // a pool packet will run the item
        bool running = false;        // a job runs the item
        bool foreign = false;        // another program runs it: its changes come from the store
    };

    ThreadPool& pool;
    std::unique_ptr<DownloadStore> store;

    mutable std::mutex mutex;
    std::condition_variable jobsEnded;
    RetryPolicy retryPolicy;
    // Queues waiting items when their time comes and looks at the store every second;
    // started with the queue when it has a store, else with the first wait.
    std::thread background;
    std::condition_variable backgroundWake;
    std::unique_ptr<StoreWatch> watch;
    std::vector<std::pair<std::int64_t, std::string>> asks;  // commands for other programs
    std::set<std::int64_t> removed;  // their rows may still be read before they go
    std::map<std::int64_t, Entry> entries;
    std::map<std::string, std::int64_t> byOutput;
    std::vector<std::int64_t> interrupted;
    std::vector<std::shared_ptr<DownloadQueueListener>> listeners;
    std::int64_t nextId = 1;
    int runningJobs = 0;
    bool closed = false;

    Core(ThreadPool& threadPool, std::unique_ptr<DownloadStore> itemStore)
        : pool(threadPool), store(std::move(itemStore)) {
        if (store) watch = std::make_unique<StoreWatch>(store->path());
    }

    // Ids grow with the time of submission in microseconds: two programs adding to one
    // downloads.db at once (the window and a command line) never pick the same id, which
    // would make each replace the other's row.
    std::int64_t newId() {
        nextId = std::max(nextId, microsecondsNow());
        return nextId++;
    }

    Entry* find(std::int64_t id) {
        auto found = entries.find(id);
        return found == entries.end() ? nullptr : &found->second;
    }

    // Under the lock: the store and the listeners learn of the change.
    void changed(const Entry& entry, bool stateChange) {
        if (store) store->save(entry.item, stateChange);
        for (const auto& listener : listeners) listener->itemChanged(entry.item);
    }

    void setState(Entry& entry, ItemState state, const char* stageText) {
        entry.item.state = state;
        if (stageText != nullptr) entry.item.stageText = localText(stageText);
        entry.item.speed = 0;
        changed(entry, true);
    }

    // Hands the item to a worker unless one has it already.
    void schedule(Entry& entry) {
        if (entry.inPool || entry.running || entry.foreign || closed) return;
        auto* packet = new std::shared_ptr<Core>(shared_from_this());
        if (pool.submit(&runPacket, static_cast<std::intptr_t>(entry.item.id),
                        reinterpret_cast<std::intptr_t>(packet))) {
            entry.inPool = true;
        } else {
            delete packet;
        }
    }

    void requeue(Entry& entry) {
        entry.item.retry = 0;
        entry.item.errorText.clear();
        entry.item.finishedAt = 0;
        setState(entry, ItemState::Queued, "等待下载");
        schedule(entry);
    }

    // The part whose temporary streams the item may delete: none when another unfinished
    // item uses them too.
    std::vector<DownloadRequest> ownStreams(const Entry& entry) const {
        const DownloadRequest& request = entry.item.request;
        for (const auto& [id, other] : entries) {
            if (id != entry.item.id && other.item.request.cid == request.cid &&
                other.item.request.directory == request.directory &&
                (isUnfinished(other.item.state) || other.item.state == ItemState::Paused)) {
                return {};
            }
        }
        return {request};
    }

    // outputBytes: the size of the finished MP4, the item's size from now on.
    void finishDone(Entry& entry, std::int64_t outputBytes) {
        entry.item.errorText.clear();
        entry.item.finishedAt = secondsNow();
        entry.item.bytesDone = entry.item.bytesTotal = outputBytes;
        setState(entry, ItemState::Done, "下载完成");
        const std::string& bvid = entry.item.request.bvid;
        const bool allDone = std::all_of(entries.begin(), entries.end(), [&](const auto& e) {
            return e.second.item.request.bvid != bvid || e.second.item.state == ItemState::Done;
        });
        if (allDone) {
            for (const auto& listener : listeners) {
                listener->videoFinished(bvid, entry.item.request.videoTitle);
            }
        }
    }

    // A failure a later try may mend: the item waits for its next try while any are left.
    void fail(Entry& entry, const JobResult& result) {
        entry.item.errorText = result.errorText;
        if (!result.mendable || entry.item.retry >= retryPolicy.tries) {
            setState(entry, ItemState::Failed, nullptr);
            return;
        }
        ++entry.item.retry;
        entry.item.retryLimit = retryPolicy.tries;
        entry.item.retryAt =
            epochMilliseconds() + retryPolicy.delayBefore(entry.item.retry).count();
        setState(entry, ItemState::Waiting, nullptr);  // the row keeps the failure's text
        startBackground();
        backgroundWake.notify_all();
    }

    // Under the lock. A closed queue starts nothing: shutDown has taken the thread to join.
    void startBackground() {
        if (closed) return;
        if (!background.joinable()) background = std::thread([this] { runBackground(); });
    }

    // Queues the waiting items whose time has come; the next one's time, 0 when none waits.
    std::int64_t queueDueRetries(std::int64_t now) {
        std::int64_t next = 0;
        for (auto& [id, entry] : entries) {
            if (entry.item.state != ItemState::Waiting || entry.foreign) continue;
            if (entry.item.retryAt <= now) {
                setState(entry, ItemState::Queued, nullptr);
                schedule(entry);
            } else if (next == 0 || entry.item.retryAt < next) {
                next = entry.item.retryAt;
            }
        }
        return next;
    }

    void runBackground() {
        using Steady = std::chrono::steady_clock;
        std::unique_lock lock(mutex);
        auto nextLook = Steady::now();
        while (!closed) {
            const std::int64_t now = epochMilliseconds();
            const std::int64_t nextRetry = queueDueRetries(now);
            if (watch && Steady::now() >= nextLook) {
                lookAtStore(lock);
                nextLook = Steady::now() + std::chrono::seconds(1);
                continue;
            }
            if (nextRetry == 0 && !watch) {
                backgroundWake.wait(lock);
                continue;
            }
            auto until = nextRetry == 0
                             ? nextLook
                             : Steady::now() + std::chrono::milliseconds(nextRetry - now);
            if (watch) until = std::min(until, nextLook);
            backgroundWake.wait_until(lock, until);
        }
    }

    // Hands the asked commands to the store, then takes in what other programs changed
    // and obeys what they asked. The store is read and written with the lock let go.
    void lookAtStore(std::unique_lock<std::mutex>& lock) {
        const auto asked = std::exchange(asks, {});
        lock.unlock();
        for (const auto& [id, command] : asked) watch->ask(id, command);
        std::optional<StoreLook> look = watch->look();
        lock.lock();
        if (!look || closed) return;
        std::vector<DownloadRequest> streams;
        std::vector<std::pair<std::int64_t, std::string>> obeyed;
        for (DownloadItem& stored : look->items) takeStored(stored);
        for (const auto& [id, command] : look->commands) {
            Entry* entry = find(id);
            if (entry == nullptr || entry->foreign) continue;
            obey(*entry, command, streams);
            obeyed.emplace_back(id, command);
        }
        lock.unlock();
        for (const auto& [id, command] : obeyed) watch->done(id, command);
        deleteStreams(streams);
        lock.lock();
    }

    // An item of another program, new or changed.
    void takeStored(DownloadItem& stored) {
        if (removed.count(stored.id) != 0) return;
        dropJobOnlyParts(stored);
        Entry* entry = find(stored.id);
        if (entry == nullptr) {  // another program added it
            Entry& added = entries[stored.id];
            added.foreign = true;
            added.item = std::move(stored);
            byOutput.try_emplace(added.item.request.outputPath, added.item.id);
            for (const auto& listener : listeners) listener->itemChanged(added.item);
            return;
        }
        if (!entry->foreign) return;
        const DownloadItem& known = entry->item;
        if (known.state == stored.state && known.bytesDone == stored.bytesDone &&
            known.bytesTotal == stored.bytesTotal && known.stageText == stored.stageText &&
            known.errorText == stored.errorText) {
            return;
        }
        entry->item = std::move(stored);
        for (const auto& listener : listeners) listener->itemChanged(entry->item);
    }

    // What another program asked of an item this one runs.
    void obey(Entry& entry, const std::string& command, std::vector<DownloadRequest>& streams) {
        if (command == "pause") pauseOne(entry);
        if (command == "resume") resumeOne(entry);
        if (command == "retry") retryOne(entry);
        if (command == "cancel") cancelOne(entry, streams);
    }

    // An item another program runs is asked of that program, through the store.
    bool forwarded(Entry& entry, const char* command) {
        if (!entry.foreign) return false;
        asks.emplace_back(entry.item.id, command);
        backgroundWake.notify_all();
        return true;
    }

    void pauseOne(Entry& entry) {
        if (!canPause(entry.item.state)) return;
        ++entry.runToken;
        setState(entry, ItemState::Paused, "已暂停");
    }

    void resumeOne(Entry& entry) {
        if (canResume(entry.item.state)) requeue(entry);
    }

    void retryOne(Entry& entry) {
        if (!canRetry(entry.item.state)) return;
        // A waiting part goes on from where it is; a failed or cancelled one starts afresh.
        if (entry.item.state != ItemState::Waiting) entry.item.bytesDone = 0;
        requeue(entry);
    }

    void cancelOne(Entry& entry, std::vector<DownloadRequest>& streams) {
        if (!canCancel(entry.item.state)) return;
        ++entry.runToken;
        entry.item.bytesDone = 0;
        setState(entry, ItemState::Cancelled, "已取消");
        // A running job deletes them once it has let go of its task.
        if (!entry.running) {
            for (DownloadRequest& part : ownStreams(entry)) streams.push_back(std::move(part));
        }
    }

    static void runPacket(std::intptr_t id, std::intptr_t packet) {
        std::unique_ptr<std::shared_ptr<Core>> core(
            reinterpret_cast<std::shared_ptr<Core>*>(packet));
        (*core)->run(id);
    }

    class Report;
    void run(std::int64_t id);
    void finish(std::int64_t id, std::uint64_t token, const JobResult& result,
                std::int64_t outputBytes);
};

// A job's reports, applied to its item while the job still owns it.
class DownloadQueue::Core::Report : public JobReport {
  public:
    Report(Core& core, std::int64_t id, std::uint64_t token)
        : core_(core), id_(id), token_(token) {}

    void stage(const std::string& text) override {
        std::lock_guard lock(core_.mutex);
        if (Entry* entry = owned()) {
            entry->item.stageText = text;
            core_.changed(*entry, false);
        }
    }

    void progress(std::int64_t done, std::int64_t total, std::int64_t speed,
                  const std::string& text) override {
        std::lock_guard lock(core_.mutex);
        if (Entry* entry = owned()) {
            entry->item.bytesDone = done;
            entry->item.bytesTotal = total;
            entry->item.speed = speed;
            entry->item.stageText = text;
            core_.changed(*entry, false);
        }
    }

    void mergeStarted() override {
        std::lock_guard lock(core_.mutex);
        if (Entry* entry = owned()) core_.setState(*entry, ItemState::Merging, nullptr);
    }

    bool stopRequested() override {
        std::lock_guard lock(core_.mutex);
        return owned() == nullptr;
    }

  private:
    Entry* owned() {
        if (core_.closed) return nullptr;
        Entry* entry = core_.find(id_);
        return entry != nullptr && entry->runToken == token_ ? entry : nullptr;
    }

    Core& core_;
    std::int64_t id_;
    std::uint64_t token_;
};

void DownloadQueue::Core::run(std::int64_t id) {
    DownloadRequest request;
    std::uint64_t token = 0;
    {
        std::lock_guard lock(mutex);
        Entry* entry = find(id);
        if (entry == nullptr || closed) return;
        entry->inPool = false;
        // Paused, cancelled or removed while it waited for a worker.
        if (entry->item.state != ItemState::Queued) return;
        entry->running = true;
        ++runningJobs;
        token = entry->runToken;
        request = entry->item.request;
        setState(*entry, ItemState::Running, nullptr);
    }
    Report report(*this, id, token);
    JobResult result;
    try {
        result = runDownloadJob(request, report);
    } catch (...) {
        // Out of memory or a failing library: the item fails with its last text.
    }
    const bool done = result.outcome == JobResult::Done;
    finish(id, token, result, done ? fileSize(request.outputPath) : 0);
}

void DownloadQueue::Core::finish(std::int64_t id, std::uint64_t token, const JobResult& result,
                                 std::int64_t outputBytes) {
    std::vector<DownloadRequest> streamsToDelete;
    {
        std::lock_guard lock(mutex);
        --runningJobs;
        jobsEnded.notify_all();
        Entry* entry = find(id);
        if (closed || entry == nullptr) return;  // the end of the program, or removed
        entry->running = false;
        const bool stopAsked = entry->runToken != token;
        if (result.outcome == JobResult::Done) {
            finishDone(*entry, outputBytes);  // the file is there, whatever was asked meanwhile
        } else if (!stopAsked) {
            fail(*entry, result);
        } else if (entry->item.state == ItemState::Cancelled) {
            streamsToDelete = ownStreams(*entry);
        } else if (entry->item.state == ItemState::Queued) {
            schedule(*entry);  // resumed before the job had ended
        }
    }
    deleteStreams(streamsToDelete);
}

DownloadQueue::DownloadQueue(ThreadPool& pool, std::unique_ptr<DownloadStore> store,
                             std::vector<DownloadItem> items)
    : core_(std::make_shared<Core>(pool, std::move(store))) {
    for (DownloadItem& item : items) {
        if (core_->watch) core_->watch->know(item);
        dropJobOnlyParts(item);
        // Only the memory changes: the store keeps them unfinished until they are touched,
        // so a start that ends early still finds them interrupted.
        // A part whose lock is held runs in another program now: it stays that program's.
        const bool foreign = isUnfinished(item.state) && isPartLocked(item.request);
        if (isUnfinished(item.state) && !foreign) {
            item.state = ItemState::Paused;
            item.stageText = localText("已暂停");
            core_->interrupted.push_back(item.id);
        }
        item.speed = 0;
        core_->nextId = std::max(core_->nextId, item.id + 1);
        core_->byOutput[item.request.outputPath] = item.id;
        Core::Entry& entry = core_->entries[item.id];
        entry.item = std::move(item);
        entry.foreign = foreign;
    }
    if (core_->watch) {
        std::lock_guard lock(core_->mutex);
        core_->startBackground();
    }
}

DownloadQueue::~DownloadQueue() {
    shutDown();
    // Nothing starts it once the queue is closed.
    if (core_->background.joinable()) core_->background.join();
    std::unique_lock lock(core_->mutex);
    core_->jobsEnded.wait(lock, [this] { return core_->runningJobs == 0; });
}

DownloadQueue::Submission DownloadQueue::submit(const DownloadRequest& request) {
    std::lock_guard lock(core_->mutex);
    if (core_->closed) return {};
    auto known = core_->byOutput.find(request.outputPath);
    if (known != core_->byOutput.end()) {
        Core::Entry& entry = *core_->find(known->second);
        const ItemState state = entry.item.state;
        const bool finished = state == ItemState::Done && isFinishedOutput(request.outputPath);
        if (isUnfinished(state) || finished) return {entry.item, false};
        entry.foreign = false;  // ended in another program: this one takes it on
        if (state != ItemState::Paused) entry.item.request = request;
        entry.item.bytesDone = 0;
        core_->requeue(entry);
        return {entry.item, true};
    }
    const std::int64_t id = core_->newId();
    Core::Entry& entry = core_->entries[id];
    entry.item.id = id;
    entry.item.request = request;
    entry.item.createdAt = secondsNow();
    core_->byOutput[request.outputPath] = entry.item.id;
    core_->setState(entry, ItemState::Queued, nullptr);
    core_->schedule(entry);
    return {entry.item, true};
}

void DownloadQueue::pause(const std::vector<std::int64_t>& ids) {
    std::lock_guard lock(core_->mutex);
    for (std::int64_t id : ids) {
        Core::Entry* entry = core_->find(id);
        if (entry == nullptr || core_->closed || core_->forwarded(*entry, "pause")) continue;
        core_->pauseOne(*entry);
    }
}

void DownloadQueue::resume(const std::vector<std::int64_t>& ids) {
    std::lock_guard lock(core_->mutex);
    for (std::int64_t id : ids) {
        Core::Entry* entry = core_->find(id);
        if (entry == nullptr || core_->forwarded(*entry, "resume")) continue;
        core_->resumeOne(*entry);
    }
}

void DownloadQueue::retry(const std::vector<std::int64_t>& ids) {
    std::lock_guard lock(core_->mutex);
    for (std::int64_t id : ids) {
        Core::Entry* entry = core_->find(id);
        if (entry == nullptr) continue;
        // One that failed or was cancelled elsewhere is this program's to run again.
        const ItemState state = entry->item.state;
        if (state == ItemState::Failed || state == ItemState::Cancelled) entry->foreign = false;
        if (core_->forwarded(*entry, "retry")) continue;
        core_->retryOne(*entry);
    }
}

void DownloadQueue::cancel(const std::vector<std::int64_t>& ids) {
    std::vector<DownloadRequest> streamsToDelete;
    {
        std::lock_guard lock(core_->mutex);
        for (std::int64_t id : ids) {
            Core::Entry* entry = core_->find(id);
            if (entry == nullptr || core_->closed || core_->forwarded(*entry, "cancel")) continue;
            core_->cancelOne(*entry, streamsToDelete);
        }
    }
    deleteStreams(streamsToDelete);
}

void DownloadQueue::remove(const std::vector<std::int64_t>& ids) {
    std::lock_guard lock(core_->mutex);
    for (std::int64_t id : ids) {
        Core::Entry* entry = core_->find(id);
        if (entry == nullptr || core_->closed) continue;
        core_->byOutput.erase(entry->item.request.outputPath);
        core_->entries.erase(id);
        core_->removed.insert(id);
        if (core_->store) core_->store->forget(id);
        for (const auto& listener : core_->listeners) listener->itemRemoved(id);
    }
}

void DownloadQueue::setRetryPolicy(RetryPolicy policy) {
    std::lock_guard lock(core_->mutex);
    core_->retryPolicy = std::move(policy);
}

RetryPolicy DownloadQueue::retryPolicy() const {
    std::lock_guard lock(core_->mutex);
    return core_->retryPolicy;
}

void DownloadQueue::resumeInterrupted() {
    std::vector<std::int64_t> ids;
    {
        std::lock_guard lock(core_->mutex);
        ids.swap(core_->interrupted);
    }
    resume(ids);
}

std::vector<DownloadItem> DownloadQueue::items() const {
    std::lock_guard lock(core_->mutex);
    std::vector<DownloadItem> all;
    all.reserve(core_->entries.size());
    for (const auto& [id, entry] : core_->entries) all.push_back(entry.item);
    return all;
}

void DownloadQueue::visitItems(const std::function<void(const DownloadItem&)>& visit) const {
    std::lock_guard lock(core_->mutex);
    for (const auto& [id, entry] : core_->entries) visit(entry.item);
}

bool DownloadQueue::visitItem(std::int64_t id,
                              const std::function<void(const DownloadItem&)>& visit) const {
    std::lock_guard lock(core_->mutex);
    const Core::Entry* entry = core_->find(id);
    if (entry != nullptr) visit(entry->item);
    return entry != nullptr;
}

std::optional<DownloadItem> DownloadQueue::item(std::int64_t id) const {
    std::lock_guard lock(core_->mutex);
    if (const Core::Entry* entry = core_->find(id)) return entry->item;
    return std::nullopt;
}

void DownloadQueue::addListener(std::shared_ptr<DownloadQueueListener> listener) {
    std::lock_guard lock(core_->mutex);
    core_->listeners.push_back(std::move(listener));
}

void DownloadQueue::removeListener(const DownloadQueueListener* listener) {
    std::lock_guard lock(core_->mutex);
    std::erase_if(core_->listeners, [&](const auto& held) { return held.get() == listener; });
}

void DownloadQueue::shutDown() {
    std::unique_ptr<DownloadStore> store;
    std::thread background;
    {
        std::lock_guard lock(core_->mutex);
        core_->closed = true;
        store = std::move(core_->store);
        background = std::move(core_->background);
    }
    core_->backgroundWake.notify_all();
    // The program's queue is never destroyed, so its retry and store thread ends here.
    if (background.joinable()) {
        if (background.get_id() == std::this_thread::get_id()) {
            background.detach();
        } else {
            background.join();
        }
    }
    store.reset();  // writes what was handed over, then ends its writer
}

namespace {

std::mutex currentMutex;
std::shared_ptr<DownloadQueue>& currentSlot() {
    static auto* slot = new std::shared_ptr<DownloadQueue>;  // outlives every worker
    return *slot;
}

}  // namespace

std::shared_ptr<DownloadQueue> currentDownloadQueue() {
    std::lock_guard lock(currentMutex);
    if (!currentSlot()) currentSlot() = std::make_shared<DownloadQueue>(threadPool());
    return currentSlot();
}

void setCurrentDownloadQueue(std::shared_ptr<DownloadQueue> queue) {
    std::lock_guard lock(currentMutex);
    currentSlot() = std::move(queue);
}

}  // namespace quivra
