#include "services/sqlite_db.h"

#include <sqlite3.h>

namespace iploc::sqlite {

int PrimaryCode(int resultCode) {
    return resultCode & 0xff;
}

void Database::Closer::operator()(sqlite3* db) const {
    // close_v2 defers the close if a statement is still alive instead of failing.
    sqlite3_close_v2(db);
}

Database Database::Open(const std::filesystem::path& file, int flags, int* resultCode) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    Database db;
    db.handle_.reset(raw); // SQLite may hand out a handle even on failure; it must be closed.
    if (resultCode) *resultCode = rc;
    if (rc != SQLITE_OK) db.Close();
    return db;
}

int Database::Exec(const char* sql) {
    if (!handle_) return SQLITE_MISUSE;
    return sqlite3_exec(handle_.get(), sql, nullptr, nullptr, nullptr);
}

int Database::QueryInt64(const char* sql, std::int64_t* value) {
    Statement stmt(*this, sql);
    if (!stmt) return handle_ ? sqlite3_errcode(handle_.get()) : SQLITE_MISUSE;
    const int rc = stmt.Step();
    if (rc == SQLITE_ROW && value) *value = stmt.ColumnInt64(0);
    return rc;
}

std::string Database::ErrorMessage() const {
    return handle_ ? std::string(sqlite3_errmsg(handle_.get())) : std::string("no connection");
}

void Statement::Finalizer::operator()(sqlite3_stmt* stmt) const {
    sqlite3_finalize(stmt);
}

Statement::Statement(const Database& db, std::string_view sql) {
    if (!db) return;
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v3(db.get(), sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    handle_.reset(raw);
    if (rc != SQLITE_OK) handle_.reset();
}

bool Statement::BindBlob(int index, std::string_view value) {
    // A null data pointer would bind NULL; an empty view may carry one, so use zeroblob(0).
    if (value.empty()) return sqlite3_bind_zeroblob(handle_.get(), index, 0) == SQLITE_OK;
    return sqlite3_bind_blob64(handle_.get(), index, value.data(), value.size(), SQLITE_STATIC) == SQLITE_OK;
}

bool Statement::BindText(int index, std::string_view utf8) {
    const char* data = utf8.empty() ? "" : utf8.data(); // a null pointer would bind NULL
    return sqlite3_bind_text64(handle_.get(), index, data, utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8) ==
           SQLITE_OK;
}

bool Statement::BindInt64(int index, std::int64_t value) {
    return sqlite3_bind_int64(handle_.get(), index, value) == SQLITE_OK;
}

int Statement::Step() {
    return handle_ ? sqlite3_step(handle_.get()) : SQLITE_MISUSE;
}

void Statement::Reset() {
    if (!handle_) return;
    sqlite3_reset(handle_.get());
    sqlite3_clear_bindings(handle_.get());
}

std::string Statement::ColumnBytes(int column) {
    const void* data = sqlite3_column_blob(handle_.get(), column);
    const int size = sqlite3_column_bytes(handle_.get(), column);
    if (!data || size <= 0) return {};
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::int64_t Statement::ColumnInt64(int column) {
    return sqlite3_column_int64(handle_.get(), column);
}

Transaction::Transaction(Database& db) : db_(db) {
    started_ = db_.Exec("BEGIN IMMEDIATE") == SQLITE_OK;
}

Transaction::~Transaction() {
    if (started_ && !done_) db_.Exec("ROLLBACK");
}

bool Transaction::Commit() {
    if (!started_ || done_) return false;
    done_ = db_.Exec("COMMIT") == SQLITE_OK;
    return done_;
}

std::string QuoteIdentifier(std::string_view name) {
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

} // namespace iploc::sqlite
