// A small RAII layer over the SQLite C API: one connection, its prepared statements and
// its transactions. Nothing here throws; every call reports failure by its result and the
// connection keeps the last error.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace quivra {

class SqliteDatabase {
  public:
    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(SqliteDatabase&& other) noexcept;
    SqliteDatabase& operator=(SqliteDatabase&& other) noexcept;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Opens (creating when missing) the database file; path is UTF-8.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // Runs statements that return no rows.
    bool execute(const std::string& sql);
    // The first column of the first row of a query, or nothing when it failed.
    bool queryInteger(const std::string& sql, std::int64_t& value);

    // Rows the last INSERT, UPDATE or DELETE changed.
    int changes() const;

    // The primary result code of the last failure (SQLITE_NOTADB, SQLITE_BUSY, ...).
    int errorCode() const;
    std::string errorText() const;

    sqlite3* handle() const { return handle_; }

  private:
    sqlite3* handle_ = nullptr;
    int openError_ = 0;  // the code of a failed open, when there is no handle to ask
};

class SqliteStatement {
  public:
    enum class Step { Row, Done, Error };

    SqliteStatement(SqliteDatabase& database, const std::string& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool isValid() const { return statement_ != nullptr; }

    // Parameters count from 1; texts are copied.
    bool bind(int index, std::int64_t value);
    bool bind(int index, const std::string& text);
    Step step();
    // Makes the statement ready to run again with new parameters.
    void reset();

    // Columns count from 0.
    std::int64_t integerColumn(int index) const;
    std::string textColumn(int index) const;

  private:
    sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE on construction; rolled back on destruction unless committed.
class SqliteTransaction {
  public:
    explicit SqliteTransaction(SqliteDatabase& database);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool isActive() const { return active_; }
    bool commit();

  private:
    SqliteDatabase& database_;
    bool active_ = false;
};

}  // namespace quivra
