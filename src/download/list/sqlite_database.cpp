#include "download/list/sqlite_database.h"

#include <sqlite3.h>

#include <utility>

namespace quivra {

SqliteDatabase::~SqliteDatabase() {
    close();
}

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), openError_(other.openError_) {}

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        openError_ = other.openError_;
    }
    return *this;
}

bool SqliteDatabase::open(const std::string& path) {
    close();
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const int result = sqlite3_open_v2(path.c_str(), &handle_, flags, nullptr);
    if (result != SQLITE_OK) {
        openError_ = handle_ != nullptr ? sqlite3_errcode(handle_) : result;
        close();
        return false;
    }
    openError_ = 0;
    sqlite3_extended_result_codes(handle_, 0);
    // Another process (a second program, the command line) may hold the write lock briefly.
    sqlite3_busy_timeout(handle_, 2000);
    return true;
}

void SqliteDatabase::close() {
    if (handle_ != nullptr) {
        sqlite3_close_v2(handle_);
        handle_ = nullptr;
    }
}

bool SqliteDatabase::execute(const std::string& sql) {
    return handle_ != nullptr &&
           sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool SqliteDatabase::queryInteger(const std::string& sql, std::int64_t& value) {
    SqliteStatement statement(*this, sql);
    if (statement.step() != SqliteStatement::Step::Row) return false;
    value = statement.integerColumn(0);
    return true;
}

int SqliteDatabase::changes() const {
    return handle_ != nullptr ? sqlite3_changes(handle_) : 0;
}

int SqliteDatabase::errorCode() const {
    return handle_ != nullptr ? sqlite3_errcode(handle_) & 0xff : openError_;
}

std::string SqliteDatabase::errorText() const {
    return handle_ != nullptr ? sqlite3_errmsg(handle_) : sqlite3_errstr(openError_);
}

SqliteStatement::SqliteStatement(SqliteDatabase& database, const std::string& sql) {
    if (database.handle() != nullptr) {
        sqlite3_prepare_v2(database.handle(), sql.c_str(), static_cast<int>(sql.size()),
                           &statement_, nullptr);
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

bool SqliteStatement::bind(int index, std::int64_t value) {
    return statement_ != nullptr && sqlite3_bind_int64(statement_, index, value) == SQLITE_OK;
}

bool SqliteStatement::bind(int index, const std::string& text) {
    return statement_ != nullptr && sqlite3_bind_text64(statement_, index, text.data(), text.size(),
                                                        SQLITE_TRANSIENT, SQLITE_UTF8) == SQLITE_OK;
}

SqliteStatement::Step SqliteStatement::step() {
    if (statement_ == nullptr) return Step::Error;
    switch (sqlite3_step(statement_)) {
        case SQLITE_ROW:
            return Step::Row;
        case SQLITE_DONE:
            return Step::Done;
        default:
            return Step::Error;
    }
}

void SqliteStatement::reset() {
    if (statement_ == nullptr) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::int64_t SqliteStatement::integerColumn(int index) const {
    return statement_ != nullptr ? sqlite3_column_int64(statement_, index) : 0;
}

std::string SqliteStatement::textColumn(int index) const {
    if (statement_ == nullptr) return {};
    const auto* text = sqlite3_column_text(statement_, index);
    if (text == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(statement_, index)));
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& database) : database_(database) {
    active_ = database_.execute("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction() {
    if (active_) database_.execute("ROLLBACK");
}

bool SqliteTransaction::commit() {
    if (!active_) return false;
    active_ = false;
    if (database_.execute("COMMIT")) return true;
    database_.execute("ROLLBACK");
    return false;
}

}  // namespace quivra
