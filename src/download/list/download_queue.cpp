#include "download/list/download_queue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "download/job/part_lock.h"
#include "download/list/download_store.h"
#include "download/list/item_machine.h"
#include "download/list/item_table.h"
#include "download/list/list_timer.h"
#include "download/list/pool_task.h"
#include "download/list/store_watch.h"
#include "download/list/stream_cleanup.h"
#include "download/plan/download_files.h"
#include "download/plan/part_files.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

std::int64_t microsecondsNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
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
    using Entry = QueueEntry;

    ThreadPool& pool;
    DownloadJob job;
    std::unique_ptr<DownloadStore> store;

    mutable std::mutex mutex;
    std::condition_variable jobsEnded;
    ItemMachine machine;
    std::unique_ptr<StoreWatch> watch;  // set by timerWork, so before the timer
    ListTimer timer;
    std::vector<std::pair<std::int64_t, ListCommand>> asks;  // for other programs
    std::set<std::int64_t> removed;  // their rows may still be read before they go
    ItemTable table;
    std::vector<std::int64_t> interrupted;
    std::vector<std::shared_ptr<DownloadQueueListener>> listeners;
    std::int64_t nextId = 1;
    int runningJobs = 0;
    bool closed = false;

    Core(ThreadPool& threadPool, DownloadJob downloadJob, std::unique_ptr<DownloadStore> itemStore)
        : pool(threadPool),
          job(std::move(downloadJob)),
          store(std::move(itemStore)),
          timer(mutex, timerWork()) {}

    ListTimer::Work timerWork() {
        ListTimer::Work work;
        work.queueDue = [this](std::int64_t now) { return queueDueRetries(now); };
        if (store) {
            watch = std::make_unique<StoreWatch>(store->path());
            work.look = [this](std::unique_lock<std::mutex>& lock) { lookAtStore(lock); };
        }
        return work;
    }

    // Ids grow with the time of submission in microseconds: two programs adding to one
    // downloads.db at once (the window and a command line) never pick the same id, which
    // would make each replace the other's row.
    std::int64_t newId() {
        nextId = std::max(nextId, microsecondsNow());
        return nextId++;
    }

    // Under the lock: the machine's rules for the event, then what they ask for. Streams to
    // delete are added to `streams`, deleted by the caller once the lock is let go.
    void apply(Entry& entry, const ItemEvent& event, std::vector<DownloadRequest>& streams) {
        const ItemEffects effects = machine.apply(entry.item, event, entry.running);
        if (effects.stopJob) ++entry.runToken;
        if (effects.changed) changed(entry, effects.stateChange);
        if (effects.deleteStreams) {
            for (DownloadRequest& part : ownStreams(entry)) streams.push_back(std::move(part));
        }
        if (effects.runJob) schedule(entry);
        if (effects.retryAt != 0) {
            timer.start();
            timer.wake();
        }
        if (effects.done) tellIfVideoFinished(entry.item.request);
    }

    void apply(Entry& entry, const ItemEvent& event) {
        std::vector<DownloadRequest> none;
        apply(entry, event, none);
    }

    // Under the lock: the store and the listeners learn of the change.
    void changed(const Entry& entry, bool stateChange) {
        if (store) store->save(entry.item, stateChange);
        for (const auto& listener : listeners) listener->itemChanged(entry.item);
    }

    // Hands the item to a worker unless one has it already.
    void schedule(Entry& entry) {
        if (entry.inPool || entry.running || entry.foreign || closed) return;
        const std::int64_t id = entry.item.id;
        if (runOnPool(pool, [core = shared_from_this(), id] { core->run(id); })) {
            entry.inPool = true;
        }
    }

    // The part whose temporary streams the item may delete: none when another unfinished
    // item uses them too.
    std::vector<DownloadRequest> ownStreams(const Entry& entry) const {
        const DownloadRequest& request = entry.item.request;
        for (const auto& [id, other] : table.entries()) {
            if (id != entry.item.id && other.item.request.cid == request.cid &&
                other.item.request.directory == request.directory &&
                (isUnfinished(other.item.state) || other.item.state == ItemState::Paused)) {
                return {};
            }
        }
        return {request};
    }

    // The last unfinished item of a video is done.
    void tellIfVideoFinished(const DownloadRequest& request) {
        const auto& entries = table.entries();
        const bool allDone = std::all_of(entries.begin(), entries.end(), [&](const auto& e) {
            return e.second.item.request.bvid != request.bvid ||
                   e.second.item.state == ItemState::Done;
        });
        if (!allDone) return;
        for (const auto& listener : listeners) {
            listener->videoFinished(request.bvid, request.videoTitle);
        }
    }

    // Queues the waiting items whose time has come; the next one's time, 0 when none waits.
    std::int64_t queueDueRetries(std::int64_t now) {
        std::int64_t next = 0;
        ItemEvent due;
        due.kind = ItemEvent::RetryDue;
        due.nowMs = now;
        for (auto& [id, entry] : table.entries()) {
            if (entry.item.state != ItemState::Waiting || entry.foreign) continue;
            if (entry.item.retryAt <= now) {
                apply(entry, due);
            } else if (next == 0 || entry.item.retryAt < next) {
                next = entry.item.retryAt;
            }
        }
        return next;
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
        std::vector<std::pair<std::int64_t, ListCommand>> obeyed;
        for (DownloadItem& stored : look->items) takeStored(stored);
        for (const auto& [id, command] : look->commands) {
            Entry* entry = table.find(id);
            if (entry == nullptr || entry->foreign) continue;
            ItemEvent event;
            event.kind = eventOf(command);
            apply(*entry, event, streams);
            obeyed.emplace_back(id, command);
        }
        lock.unlock();
        for (const auto& [id, command] : obeyed) watch->done(id, command);
        deleteTemporaryStreams(streams);
        lock.lock();
    }

    // An item of another program, new or changed.
    void takeStored(DownloadItem& stored) {
        if (removed.count(stored.id) != 0) return;
        dropJobOnlyParts(stored);
        Entry* entry = table.find(stored.id);
        if (entry == nullptr) {  // another program added it
            Entry& added = table.add(stored.id);
            added.foreign = true;
            added.item = std::move(stored);
            table.indexOutputIfFree(added.item.id);
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

    // A user's command: an item another program runs is asked of that program, through
    // the store; one of this program's follows the machine's rules.
    void command(const std::vector<std::int64_t>& ids, ListCommand command,
                 std::vector<DownloadRequest>& streams) {
        ItemEvent event;
        event.kind = eventOf(command);
        for (std::int64_t id : ids) {
            Entry* entry = table.find(id);
            if (entry == nullptr || closed) continue;
            if (entry->foreign) {
                asks.emplace_back(id, command);
                timer.wake();
                continue;
            }
            apply(*entry, event, streams);
        }
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
        ItemEvent event;
        event.kind = ItemEvent::Stage;
        event.text = text;
        apply(event);
    }

    void progress(std::int64_t done, std::int64_t total, std::int64_t speed,
                  const std::string& text) override {
        ItemEvent event;
        event.kind = ItemEvent::Progress;
        event.bytesDone = done;
        event.bytesTotal = total;
        event.speed = speed;
        event.text = text;
        apply(event);
    }

    void codecTaken(VideoCodec codec) override {
        ItemEvent event;
        event.kind = ItemEvent::CodecTaken;
        event.codec = codec;
        apply(event);
    }

    void mergeStarted() override {
        ItemEvent event;
        event.kind = ItemEvent::Merging;
        apply(event);
    }

    bool stopRequested() override {
        std::lock_guard lock(core_.mutex);
        return owned() == nullptr;
    }

  private:
    void apply(const ItemEvent& event) {
        std::lock_guard lock(core_.mutex);
        if (Entry* entry = owned()) core_.apply(*entry, event);
    }

    Entry* owned() {
        if (core_.closed) return nullptr;
        Entry* entry = core_.table.whole(id_);
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
        Entry* entry = table.whole(id);
        if (entry == nullptr || closed) return;
        entry->inPool = false;
        ItemEvent started;
        started.kind = ItemEvent::JobStarted;
        apply(*entry, started);
        // Paused, cancelled meanwhile, or waiting for the download window.
        if (entry->item.state != ItemState::Running) return;
        entry->running = true;
        ++runningJobs;
        token = entry->runToken;
        request = entry->item.request;
    }
    Report report(*this, id, token);
    JobResult result;
    try {
        result = job(request, report);
    } catch (...) {
        // Out of memory or a failing library: the item fails with its last text.
    }
    const bool done = result.outcome == JobResult::Done;
    finish(id, token, result, done ? fileSize(request.outputPath) : 0);
}

void DownloadQueue::Core::finish(std::int64_t id, std::uint64_t token, const JobResult& result,
                                 std::int64_t outputBytes) {
    std::vector<DownloadRequest> streams;
    {
        std::lock_guard lock(mutex);
        --runningJobs;
        jobsEnded.notify_all();
        Entry* entry = table.whole(id);
        if (closed || entry == nullptr) return;  // the end of the program, or removed
        entry->running = false;
        ItemEvent ended;
        ended.nowMs = epochMilliseconds();
        if (result.outcome == JobResult::Done) {
            ended.kind = ItemEvent::JobDone;
            ended.bytesDone = outputBytes;
        } else if (entry->runToken != token) {
            ended.kind = ItemEvent::JobStopped;
        } else {
            ended.kind = ItemEvent::JobFailed;
            ended.text = result.errorText;
            ended.mendable = result.mendable;
        }
        apply(*entry, ended, streams);
    }
    deleteTemporaryStreams(streams);
}

DownloadQueue::DownloadQueue(ThreadPool& pool, DownloadJob job,
                             std::unique_ptr<DownloadStore> store, std::vector<DownloadItem> items)
    : DownloadQueue(pool, std::move(job), std::move(store), loadedItems(std::move(items))) {}

DownloadQueue::DownloadQueue(ThreadPool& pool, DownloadJob job,
                             std::unique_ptr<DownloadStore> store, LoadedItems loaded)
    : core_(std::make_shared<Core>(pool, std::move(job), std::move(store))) {
    if (core_->watch) {
        for (const auto& [id, fingerprint] : loaded.fingerprints)
            core_->watch->know(id, fingerprint);
    }
    for (DownloadItem& item : loaded.items) {
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
        const std::int64_t id = item.id;
        core_->nextId = std::max(core_->nextId, id + 1);
        Core::Entry& entry = core_->table.add(id);
        entry.item = std::move(item);
        entry.foreign = foreign;
        core_->table.indexOutputIfNewer(id);
    }
    for (FinishedPart& part : loaded.finished) {
        const std::int64_t id = part.id();
        core_->nextId = std::max(core_->nextId, id + 1);
        core_->table.addFinished(std::move(part));
        core_->table.indexOutputIfNewer(id);
    }
    if (core_->watch) {
        std::lock_guard lock(core_->mutex);
        core_->timer.start();
    }
}

DownloadQueue::~DownloadQueue() {
    shutDown();
    std::unique_lock lock(core_->mutex);
    core_->jobsEnded.wait(lock, [this] { return core_->runningJobs == 0; });
}

DownloadQueue::Submission DownloadQueue::submit(const DownloadRequest& request) {
    std::lock_guard lock(core_->mutex);
    return submitLocked(request);
}

std::vector<DownloadQueue::Submission> DownloadQueue::submitSeen(
    const std::vector<DownloadRequest>& parts, const SeenVideo& seen) {
    std::lock_guard lock(core_->mutex);
    std::vector<Submission> submitted;
    if (core_->closed) return submitted;
    DownloadStore* store = core_->store.get();
    if (store) store->holdWrites();
    for (const DownloadRequest& part : parts) submitted.push_back(submitLocked(part));
    if (store) {
        store->noteSeen(seen);
        store->releaseWrites();
    }
    return submitted;
}

void DownloadQueue::flushStore() {
    std::lock_guard lock(core_->mutex);
    if (core_->store) core_->store->flush();
}

DownloadQueue::Submission DownloadQueue::submitLocked(const DownloadRequest& request) {
    if (core_->closed) return {};
    ItemEvent event;
    if (const auto known = core_->table.idOfOutput(request.outputPath)) {
        Core::Entry& entry = *core_->table.find(*known);
        const ItemState state = entry.item.state;
        // Only-subtitles and only-comments ask again for what a finished file does not hold.
        const bool finished = state == ItemState::Done && isPartDone(request);
        if (isUnfinished(state) || finished) return {entry.item, false};
        entry.foreign = false;  // ended in another program: this one takes it on
        if (state != ItemState::Paused) entry.item.request = request;
        event.kind = ItemEvent::Resubmitted;
        core_->apply(entry, event);
        return {entry.item, true};
    }
    const std::int64_t id = core_->newId();
    Core::Entry& entry = core_->table.add(id);
    entry.item.request = request;
    entry.item.createdAt = epochMilliseconds() / 1000;
    core_->table.claimOutput(id);
    event.kind = ItemEvent::Submitted;
    core_->apply(entry, event);
    return {entry.item, true};
}

void DownloadQueue::pause(const std::vector<std::int64_t>& ids) {
    std::lock_guard lock(core_->mutex);
    std::vector<DownloadRequest> none;
    core_->command(ids, ListCommand::Pause, none);
}

void DownloadQueue::resume(const std::vector<std::int64_t>& ids) {
    std::lock_guard lock(core_->mutex);
    std::vector<DownloadRequest> none;
    core_->command(ids, ListCommand::Resume, none);
}

void DownloadQueue::retry(const std::vector<std::int64_t>& ids) {
    std::lock_guard lock(core_->mutex);
    for (std::int64_t id : ids) {
        // One that failed or was cancelled elsewhere is this program's to run again.
        Core::Entry* entry = core_->table.whole(id);
        if (entry != nullptr &&
            (entry->item.state == ItemState::Failed || entry->item.state == ItemState::Cancelled)) {
            entry->foreign = false;
        }
    }
    std::vector<DownloadRequest> none;
    core_->command(ids, ListCommand::Retry, none);
}

void DownloadQueue::cancel(const std::vector<std::int64_t>& ids) {
    std::vector<DownloadRequest> streams;
    {
        std::lock_guard lock(core_->mutex);
        core_->command(ids, ListCommand::Cancel, streams);
    }
    deleteTemporaryStreams(streams);
}

void DownloadQueue::remove(const std::vector<std::int64_t>& ids) {
    std::lock_guard lock(core_->mutex);
    for (std::int64_t id : ids) {
        if (core_->table.find(id) == nullptr || core_->closed) continue;
        core_->table.erase(id);
        core_->removed.insert(id);
        if (core_->store) core_->store->forget(id);
        for (const auto& listener : core_->listeners) listener->itemRemoved(id);
    }
}

void DownloadQueue::setRetryPolicy(RetryPolicy policy) {
    std::lock_guard lock(core_->mutex);
    core_->machine.retries = std::move(policy);
}

RetryPolicy DownloadQueue::retryPolicy() const {
    std::lock_guard lock(core_->mutex);
    return core_->machine.retries;
}

void DownloadQueue::followDownloadWindow(std::optional<int> opensAt) {
    std::lock_guard lock(core_->mutex);
    if (core_->closed) return;
    core_->machine.windowOpens = opensAt;
    ItemEvent event;
    event.kind = opensAt ? ItemEvent::WindowClosed : ItemEvent::WindowOpened;
    for (auto& [id, entry] : core_->table.entries()) {
        if (!entry.foreign) core_->apply(entry, event);
    }
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
    all.reserve(core_->table.size());
    core_->table.visit([&](const DownloadItem& item) { all.push_back(item); });
    return all;
}

void DownloadQueue::visitItems(const std::function<void(const DownloadItem&)>& visit) const {
    std::lock_guard lock(core_->mutex);
    core_->table.visit(visit);
}

void DownloadQueue::visitItemsNotDone(const std::function<void(const DownloadItem&)>& visit) const {
    std::lock_guard lock(core_->mutex);
    for (const auto& [id, entry] : core_->table.entries()) {
        if (entry.item.state != ItemState::Done) visit(entry.item);
    }
}

bool DownloadQueue::visitItem(std::int64_t id,
                              const std::function<void(const DownloadItem&)>& visit) const {
    std::lock_guard lock(core_->mutex);
    return core_->table.visit(id, visit);
}

std::optional<DownloadItem> DownloadQueue::item(std::int64_t id) const {
    std::optional<DownloadItem> found;
    visitItem(id, [&](const DownloadItem& item) { found = item; });
    return found;
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
    std::thread timer;
    {
        std::lock_guard lock(core_->mutex);
        core_->closed = true;
        store = std::move(core_->store);
        core_->timer.stop();
        timer = core_->timer.take();
    }
    core_->timer.wake();
    // The program's queue is never destroyed, so its retry and store thread ends here.
    if (timer.joinable()) {
        if (timer.get_id() == std::this_thread::get_id()) {
            timer.detach();
        } else {
            timer.join();
        }
    }
    store.reset();  // writes what was handed over, then ends its writer
}

}  // namespace quivra
