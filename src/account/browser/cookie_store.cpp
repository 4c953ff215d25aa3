#include "account/browser/cookie_store.h"

#include <sqlite3.h>

#include <chrono>
#include <functional>
#include <memory>

namespace quivra {

namespace {

// How long a write of the browser may hold the store before it counts as locked.
constexpr int kBusyWaitMs = 1000;
// Seconds from 1601-01-01, where Chromium's times start, to 1970-01-01.
constexpr std::int64_t kChromiumEpochOffset = 11644473600;

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

std::int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool isLock(int code) {
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

// The store copied into memory, or the reason it could not be.
StoreRead copyStore(const std::string& path, Database& copy) {
    StoreRead read;
    sqlite3* source = nullptr;
    int code = sqlite3_open_v2(path.c_str(), &source, SQLITE_OPEN_READONLY, nullptr);
    Database original(source);
    sqlite3* memory = nullptr;
    if (code == SQLITE_OK) code = sqlite3_open(":memory:", &memory);
    copy.reset(memory);
    if (code == SQLITE_OK) {
        sqlite3_busy_timeout(source, kBusyWaitMs);
        sqlite3_backup* backup = sqlite3_backup_init(memory, "main", source, "main");
        if (backup == nullptr) {
            code = sqlite3_errcode(memory);
        } else {
            code = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            if (code == SQLITE_DONE) code = SQLITE_OK;
        }
    }
    if (code != SQLITE_OK) {
        read.failure = isLock(code) ? StoreRead::Locked : StoreRead::Unreadable;
        read.reason = sqlite3_errstr(code);
    }
    return read;
}

std::string column(sqlite3_stmt* row, int index) {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(row, index));
    return bytes == nullptr ? std::string() : std::string(bytes, sqlite3_column_bytes(row, index));
}

// Runs sql on the copy, handing each row to take; false (with the reason) on failure.
bool eachRow(sqlite3* db, const char* sql, StoreRead& read,
             const std::function<void(sqlite3_stmt*)>& take) {
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    while (code == SQLITE_OK || code == SQLITE_ROW) {
        code = sqlite3_step(statement);
        if (code == SQLITE_ROW) take(statement);
    }
    sqlite3_finalize(statement);
    if (code == SQLITE_DONE) return true;
    read.failure = StoreRead::Unreadable;
    read.reason = sqlite3_errmsg(db);
    return false;
}

}  // namespace

StoreRead readFirefoxStore(const std::string& path) {
    const std::int64_t now = unixNow();
    Database copy;
    StoreRead read = copyStore(path, copy);
    if (read.failure != StoreRead::None) return read;
    eachRow(copy.get(), "SELECT host, name, value, expiry FROM moz_cookies", read,
            [&](sqlite3_stmt* row) {
                StoredCookie cookie{column(row, 0), column(row, 1), column(row, 2), {}};
                std::int64_t expiry = sqlite3_column_int64(row, 3);
                if (expiry > 100'000'000'000) expiry /= 1000;  // newer stores: milliseconds
                cookie.expired = expiry > 0 && expiry < now;
                read.cookies.push_back(cookie);
            });
    return read;
}

StoreRead readChromiumStore(const std::string& path) {
    const std::int64_t now = (unixNow() + kChromiumEpochOffset) * 1'000'000;
    Database copy;
    StoreRead read = copyStore(path, copy);
    if (read.failure != StoreRead::None) return read;
    // Older stores have no meta table: their values carry no hash.
    eachRow(copy.get(), "SELECT value FROM meta WHERE key = 'version'", read,
            [&](sqlite3_stmt* row) { read.version = sqlite3_column_int(row, 0); });
    read = StoreRead{StoreRead::None, {}, {}, read.version};
    eachRow(copy.get(), "SELECT host_key, name, value, encrypted_value, expires_utc FROM cookies",
            read, [&](sqlite3_stmt* row) {
                StoredCookie cookie{column(row, 0), column(row, 1), column(row, 2), column(row, 3)};
                const std::int64_t expires = sqlite3_column_int64(row, 4);
                cookie.expired = expires > 0 && expires < now;  // 0: a session cookie
                read.cookies.push_back(cookie);
            });
    return read;
}

}  // namespace quivra
