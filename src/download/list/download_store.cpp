#include "download/list/download_store.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "base/private_file.h"
#include "download/list/store_rows.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::seconds(1);
// After a failed write (a full disk) the changes wait this long before the next try.
constexpr auto kRetryInterval = std::chrono::seconds(2);

StoreCheck openAndRead(SqliteDatabase& database, const std::string& path, const ItemTaker& take) {
    if (!createStoreFile(path)) return StoreCheck::Unusable;
    if (!database.open(path)) return StoreCheck::Unusable;
    StoreCheck check = upgradeStore(database, DownloadStore::kSchemaVersion);
    if (check == StoreCheck::Ready && !useWriteAheadLog(database)) check = StoreCheck::Unusable;
    if (check == StoreCheck::Ready) check = readItems(database, take);
    if (check != StoreCheck::Ready) database.close();
    return check;
}

// "<path>.broken-YYYYMMDD-HHMMSS", with "-N" added while that name is taken.
std::string brokenName(const std::string& path) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path + ".broken-" + stamp;
    std::string name = base;
    std::error_code error;
    for (int n = 1; fs::exists(name, error); ++n) name = base + "-" + std::to_string(n);
    return name;
}

// Moves the store and its WAL aside (the shared-memory file is only an index and goes).
std::string moveAside(const std::string& path) {
    const std::string target = brokenName(path);
    std::error_code error;
    fs::rename(path, target, error);
    if (error) return {};
    fs::rename(path + "-wal", target + "-wal", error);
    fs::remove(path + "-shm", error);
    return target;
}

}  // namespace

// Only its owner may read it before SQLite first opens it; the WAL and shared-memory files
// SQLite makes later take the same mode. A file that exists is never opened here: closing
// any descriptor of it would drop the locks of this process's connections to it, and
// another program would then take their WAL for its own and delete it.
bool createStoreFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    } else if (errno != EEXIST) {
        return false;
    }
    return makeFilePrivate(path);
}

struct DownloadStore::Writer {
    SqliteDatabase database;  // the writer thread's alone once it runs
    std::string path;

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable written;
    // The latest state of each changed item; nullopt: forget the item.
    struct Pending {
        std::optional<DownloadItem> item;
        bool now = false;
    };
    std::map<std::int64_t, Pending> pending;
    std::vector<SeenVideo> seen;  // written with the batch of the items handed before them
    int holding = 0;              // while above 0, nothing is written
    std::map<std::int64_t, Clock::time_point> lastWrite;
    std::optional<Clock::time_point> retryAt;  // set while writes fail
    int failures = 0;
    int flushing = 0;
    bool writing = false;
    bool stopping = false;
    std::atomic<std::int64_t> transactions{0};
    std::thread thread;

    bool due(std::int64_t id, const Pending& change, Clock::time_point now,
             std::optional<Clock::time_point>& next) const {
        if (flushing > 0 || stopping) return true;
        if (retryAt && now < *retryAt) {
            next = retryAt;
            return false;
        }
        if (change.now) return true;
        const auto last = lastWrite.find(id);
        if (last == lastWrite.end() || now - last->second >= kProgressInterval) return true;
        const auto at = last->second + kProgressInterval;
        if (!next || at < *next) next = at;
        return false;
    }

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            if (holding > 0 && !stopping) {
                wake.wait(lock);
                continue;
            }
            const auto now = Clock::now();
            std::optional<Clock::time_point> next;
            std::map<std::int64_t, Pending> batch;
            std::vector<SeenVideo> seenBatch;
            if (!retryAt || now >= *retryAt || flushing > 0 || stopping) seenBatch.swap(seen);
            for (auto it = pending.begin(); it != pending.end();) {
                if (due(it->first, it->second, now, next)) {
                    batch.insert(pending.extract(it++));
                } else {
                    ++it;
                }
            }
            if (!batch.empty() || !seenBatch.empty()) {
                writing = true;
                lock.unlock();
                const bool stored = write(batch, seenBatch);
                lock.lock();
                writing = false;
                if (!stored) {
                    seen.insert(seen.begin(), seenBatch.begin(), seenBatch.end());
                    keepForRetry(std::move(batch), now);
                    if (stopping) return;  // the disk is still full: nothing more to try
                    continue;
                }
                retryAt.reset();
                for (const auto& [id, change] : batch) {
                    if (change.item) {
                        lastWrite[id] = now;
                    } else {
                        lastWrite.erase(id);
                    }
                }
                continue;
            }
            written.notify_all();
            if (stopping) return;
            if (next) {
                wake.wait_until(lock, *next);
            } else {
                wake.wait(lock);
            }
        }
    }

    bool write(const std::map<std::int64_t, Pending>& batch,
               const std::vector<SeenVideo>& seenBatch) {
        std::vector<StoreChange> changes;
        changes.reserve(batch.size());
        for (const auto& [id, change] : batch) {
            changes.push_back({id, change.item ? &*change.item : nullptr});
        }
        if (!writeChanges(database, changes, seenBatch)) return false;
        transactions.fetch_add(1);
        return true;
    }

    // Under the lock, after a failed write (a full disk): the batch goes back to the
    // pending changes, where a change handed over meanwhile replaces its item's, and is
    // tried again later; a waiting flush gives up on this round.
    void keepForRetry(std::map<std::int64_t, Pending> batch, Clock::time_point now) {
        for (auto& [id, change] : batch) pending.try_emplace(id, std::move(change));
        retryAt = now + kRetryInterval;
        ++failures;
        written.notify_all();
    }

    void hand(std::int64_t id, std::optional<DownloadItem> item, bool now) {
        {
            std::lock_guard lock(mutex);
            Pending& change = pending[id];
            change.item = std::move(item);
            change.now = change.now || now;
        }
        wake.notify_one();
    }

    void hold(bool on) {
        {
            std::lock_guard lock(mutex);
            holding += on ? 1 : -1;
        }
        wake.notify_one();
    }

    void noteSeen(SeenVideo video) {
        {
            std::lock_guard lock(mutex);
            seen.push_back(std::move(video));
        }
        wake.notify_one();
    }

    void flush() {
        std::unique_lock lock(mutex);
        ++flushing;
        const int failuresBefore = failures;
        wake.notify_one();
        written.wait(lock, [&] {
            return (pending.empty() && seen.empty() && !writing) || stopping ||
                   failures != failuresBefore;
        });
        --flushing;
    }

    void stop() {
        {
            std::lock_guard lock(mutex);
            if (stopping) return;
            stopping = true;
        }
        wake.notify_one();
        if (thread.joinable()) thread.join();
        database.close();
    }
};

StoreOpening DownloadStore::open(const std::string& path) {
    std::vector<DownloadItem> items;
    StoreOpening opening =
        open(path, [&](DownloadItem&& item) { items.push_back(std::move(item)); });
    // A store moved aside is fresh: what was handed came from the broken file.
    if (opening.store && opening.movedAsideTo.empty()) opening.items = std::move(items);
    return opening;
}

StoreOpening DownloadStore::open(const std::string& path, const ItemTaker& take) {
    StoreOpening opening;
    auto writer = std::make_shared<Writer>();
    StoreCheck check = openAndRead(writer->database, path, take);
    if (check == StoreCheck::Broken) {
        opening.movedAsideTo = moveAside(path);
        if (opening.movedAsideTo.empty()) return opening;
        check = openAndRead(writer->database, path, take);
    }
    if (check != StoreCheck::Ready) return opening;
    writer->path = path;
    writer->thread = std::thread([raw = writer.get()] {
        pthread_setname_np(pthread_self(), "quivra-store");  // for top and the benchmarks
        raw->run();
    });
    opening.store.reset(new DownloadStore(std::move(writer)));
    return opening;
}

DownloadStore::DownloadStore(std::shared_ptr<Writer> writer) : writer_(std::move(writer)) {}

DownloadStore::~DownloadStore() {
    writer_->stop();
}

void DownloadStore::save(const DownloadItem& item, bool stateChange) {
    writer_->hand(item.id, item, stateChange);
}

void DownloadStore::forget(std::int64_t id) {
    writer_->hand(id, std::nullopt, true);
}

void DownloadStore::holdWrites() {
    writer_->hold(true);
}

void DownloadStore::releaseWrites() {
    writer_->hold(false);
}

void DownloadStore::noteSeen(const SeenVideo& video) {
    writer_->noteSeen(video);
}

void DownloadStore::flush() {
    writer_->flush();
}

std::int64_t DownloadStore::transactionCount() const {
    return writer_->transactions.load();
}

const std::string& DownloadStore::path() const {
    return writer_->path;
}

std::string downloadStorePath(const std::string& configPath) {
    const fs::path folder = fs::path(configPath).parent_path();
    return ((folder.empty() ? fs::path(".") : folder) / "downloads.db").string();
}

std::string brokenStoreMessage(const std::string& movedAsideTo) {
    return localText("下载列表文件无法读取，已改名为 ") +
           utf8ToLocalText(fs::path(movedAsideTo).filename().string()) +
           localText("，下载列表从空列表开始。");
}

}  // namespace quivra
