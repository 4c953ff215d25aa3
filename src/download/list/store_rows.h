// The tables of downloads.db: the schema with its upgrades, and items read and written as
// rows (texts stored as UTF-8).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "download/list/download_item.h"
#include "download/list/list_command.h"
#include "download/list/seen_video.h"
#include "download/list/sqlite_database.h"

namespace quivra {

// What a look at an open database found.
enum class StoreCheck {
    Ready,     // at the current schema (upgraded when it was older)
    Broken,    // not a database, damaged, or another schema: it must be moved aside
    Unusable,  // busy, locked or not writable: left as it is
};

// Brings the database to the current schema version (each step one transaction that also
// sets PRAGMA user_version). A store found broken is left as it was.
StoreCheck upgradeStore(SqliteDatabase& database, int schemaVersion);

// Write-ahead logging with syncs at checkpoints: a killed program loses nothing committed.
bool useWriteAheadLog(SqliteDatabase& database);

// Reads every item, oldest first.
StoreCheck readItems(SqliteDatabase& database, std::vector<DownloadItem>& items);
// The same, one row at a time: each item is handed to `take` as it is read; with `wanted`,
// a row it turns down (given its id and fingerprint) is skipped before it is converted.
using RowFilter = std::function<bool(std::int64_t id, std::uint64_t fingerprint)>;
StoreCheck readItems(SqliteDatabase& database, const ItemTaker& take, const RowFilter& wanted = {});

// What the program running an item changes (state, texts, bytes), as one number: equal for
// an item and the row it was written to.
std::uint64_t itemFingerprint(const DownloadItem& item);

// The commands other programs left for items; a text no program writes is left out.
StoreCheck readCommands(SqliteDatabase& database, std::map<std::int64_t, ListCommand>& commands);
// Leaves a command for an item.
bool writeCommand(SqliteDatabase& database, std::int64_t id, ListCommand command);
// Takes an obeyed command off an item, unless another one replaced it meanwhile.
bool clearCommand(SqliteDatabase& database, std::int64_t id, ListCommand obeyed);

// Writes items whole (insert or replace) and deletes forgotten ones, in one transaction.
struct StoreChange {
    std::int64_t id = 0;
    const DownloadItem* item = nullptr;  // nullptr: delete the row
};
// The videos subscriptions saw go into the same transaction.
bool writeChanges(SqliteDatabase& database, const std::vector<StoreChange>& changes,
                  const std::vector<SeenVideo>& seen = {});
// Notes videos seen by their subscriptions (once each), inside the caller's transaction.
bool writeSeen(SqliteDatabase& database, const std::vector<SeenVideo>& seen);

}  // namespace quivra
