// The download list on disk: downloads.db (SQLite, WAL, mode 0600) beside config.ini.
// One writer thread owns the connection; callers hand it their changes and never wait on
// the disk. A state change is written at once, progress at most once a second per item,
// each batch in one transaction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "download/list/download_item.h"
#include "download/list/seen_video.h"

namespace quivra {

class DownloadStore;

struct StoreOpening {
    std::unique_ptr<DownloadStore> store;  // null when no store could be made at all
    std::vector<DownloadItem> items;       // oldest first
    std::string movedAsideTo;              // the broken file's new path (UTF-8), or ""
};

class DownloadStore {
  public:
    // The schema version this program writes (PRAGMA user_version).
    static constexpr int kSchemaVersion = 11;

    // Opens or creates the store at path (UTF-8) and reads its items. A file that is not a
    // store, or one of another schema, is renamed to "<path>.broken-<time>" and a fresh
    // store takes its place. A store busy or unreachable (locked by another process, a
    // folder without write access) gives no store and leaves the file alone.
    static StoreOpening open(const std::string& path);
    // The same, handing the items to `take` one at a time as they are read instead of
    // keeping them (opening.items stays empty): a listing of any length in little memory.
    // Items handed before the file was found broken and moved aside came from that file.
    static StoreOpening open(const std::string& path, const ItemTaker& take);

    ~DownloadStore();  // writes everything handed over, then ends the writer
    DownloadStore(const DownloadStore&) = delete;
    DownloadStore& operator=(const DownloadStore&) = delete;

    // Hands over the item as it is now. stateChange: written at once; otherwise a progress
    // change, written when the item's last write is a second old. Changes a write could not
    // store (a full disk) are kept and tried again every two seconds.
    void save(const DownloadItem& item, bool stateChange);
    void forget(std::int64_t id);

    // Between these two, nothing is written: what is handed over meanwhile goes to disk in
    // one transaction after releaseWrites. Never flush while holding.
    void holdWrites();
    void releaseWrites();
    // A subscription saw a video: written in the transaction of the items handed before it.
    void noteSeen(const SeenVideo& video);

    // Blocks until everything handed over so far is on disk, or a write of it failed.
    void flush();

    // Transactions committed since the store was opened.
    std::int64_t transactionCount() const;
    const std::string& path() const;  // UTF-8

    struct Writer;

  private:
    explicit DownloadStore(std::shared_ptr<Writer> writer);
    std::shared_ptr<Writer> writer_;
};

// Makes the store's file (mode 0600) where there is none; false when it cannot.
bool createStoreFile(const std::string& path);

// downloads.db in the folder of config.ini (UTF-8 paths).
std::string downloadStorePath(const std::string& configPath);

// The message shown when a broken store was moved aside (local text).
std::string brokenStoreMessage(const std::string& movedAsideTo);

}  // namespace quivra
