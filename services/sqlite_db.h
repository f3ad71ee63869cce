// A thin RAII layer over the SQLite C interface, used by the result store only.
//
// sqlite3.h stays in the .cpp files: the handle types are forward-declared here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace iploc::sqlite {

// The primary result code (the low byte of an extended code).
int PrimaryCode(int resultCode);

// One connection; closed by the destructor.
class Database {
public:
    Database() = default;
    // Opens `file` with the SQLite open flags `flags`. On failure the result is empty
    // and `*resultCode` (when given) holds the SQLite code.
    static Database Open(const std::filesystem::path& file, int flags, int* resultCode = nullptr);

    explicit operator bool() const { return handle_ != nullptr; }
    sqlite3* get() const { return handle_.get(); }
    void Close() { handle_.reset(); }

    // Runs one or more statements that return no rows; the SQLite result code.
    int Exec(const char* sql);
    // Runs a statement whose first row's first column is read as an integer.
    // The SQLite result code of the step (SQLITE_ROW when a value was read).
    int QueryInt64(const char* sql, std::int64_t* value);
    // The last error message of the connection.
    std::string ErrorMessage() const;

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    std::unique_ptr<sqlite3, Closer> handle_;
};

// One prepared statement; finalised by the destructor. Bindings and reading columns
// take 0-based column and 1-based parameter indexes, as SQLite does.
class Statement {
public:
    Statement() = default;
    // Prepares `sql` for repeated use. Empty (false) when it does not compile.
    Statement(const Database& db, std::string_view sql);

    explicit operator bool() const { return handle_ != nullptr; }

    // Binds the bytes of `value` as a BLOB (an empty value stays an empty BLOB, not NULL).
    bool BindBlob(int index, std::string_view value);
    // Binds UTF-8 text.
    bool BindText(int index, std::string_view utf8);
    bool BindInt64(int index, std::int64_t value);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    // Makes the statement ready to run again and drops its bindings.
    void Reset();

    // The column's bytes (a NULL column gives empty bytes).
    std::string ColumnBytes(int column);
    std::int64_t ColumnInt64(int column);

private:
    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const;
    };
    std::unique_ptr<sqlite3_stmt, Finalizer> handle_;
};

// Resets a statement when it goes out of scope, so no statement stays active between calls.
class ResetOnExit {
public:
    explicit ResetOnExit(Statement& stmt) : stmt_(stmt) {}
    ~ResetOnExit() { stmt_.Reset(); }
    ResetOnExit(const ResetOnExit&) = delete;
    ResetOnExit& operator=(const ResetOnExit&) = delete;

private:
    Statement& stmt_;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back by the destructor unless committed.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool Started() const { return started_; }
    bool Commit();

private:
    Database& db_;
    bool started_ = false;
    bool done_ = false;
};

// `name` as a quoted SQL identifier ("a""b" for a"b).
std::string QuoteIdentifier(std::string_view name);

} // namespace iploc::sqlite
