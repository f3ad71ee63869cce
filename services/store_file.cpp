#include "services/store_file.h"

#include "services/store_paths.h"
#include "text/encoding.h"
#include "text/text.h"

#include <algorithm>
#include <climits>
#include <sqlite3.h>
#include <unistd.h>

namespace iploc::store_file {
namespace {

using sqlite::Database;
using sqlite::PrimaryCode;
using sqlite::Statement;

// Records why the file cannot be used; returns false so a check can end with it.
bool Reject(Inspection& out, Verdict verdict, std::string reason) {
    out.verdict = verdict;
    out.reason = std::move(reason);
    return false;
}

// A failed read: damage (not a database, corrupt) means the file may be moved aside;
// anything else (busy, I/O, no memory) says nothing about the file, so it is left alone.
bool RejectForCode(Inspection& out, const Database& db, int rc, const std::string& what) {
    const int code = PrimaryCode(rc);
    const bool damaged = code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
    return Reject(out, damaged ? Verdict::NotOurs : Verdict::Unavailable, what + ": " + db.ErrorMessage());
}

bool CheckMarker(Database& db, Inspection& out) {
    std::int64_t applicationId = 0;
    int rc = db.QueryInt64("PRAGMA application_id", &applicationId);
    if (rc != SQLITE_ROW) return RejectForCode(out, db, rc, "reading the file header");
    if (applicationId != kStoreApplicationId)
        return Reject(out, Verdict::NotOurs, "not a result store of this program");
    std::int64_t version = 0;
    rc = db.QueryInt64("PRAGMA user_version", &version);
    if (rc != SQLITE_ROW) return RejectForCode(out, db, rc, "reading the file header");
    if (version > kStoreSchemaVersion)
        return Reject(out, Verdict::Unavailable, "written by a newer version of this program");
    if (version != kStoreSchemaVersion) return Reject(out, Verdict::NotOurs, "an unfinished store");
    return true;
}

bool CheckIntegrity(Database& db, Inspection& out) {
    Statement check(db, "PRAGMA quick_check(1)");
    const int rc = check ? check.Step() : sqlite3_errcode(db.get());
    if (rc != SQLITE_ROW) return RejectForCode(out, db, rc, "checking the file");
    const std::string verdict = check.ColumnBytes(0);
    if (verdict != "ok") return Reject(out, Verdict::NotOurs, "damaged: " + verdict);
    return true;
}

// Reads the field table into out.fields and out.columns.
bool ReadFieldTable(Database& db, Inspection& out) {
    std::vector<std::string>& utf8Names = out.columns;
    Statement select(db, "SELECT position, name, max_length FROM store_fields ORDER BY position");
    if (!select) return RejectForCode(out, db, sqlite3_errcode(db.get()), "reading the field table");
    int rc;
    while ((rc = select.Step()) == SQLITE_ROW) {
        const std::int64_t width = select.ColumnInt64(2);
        std::string name = select.ColumnBytes(1);
        if (select.ColumnInt64(0) != static_cast<std::int64_t>(utf8Names.size()) + 1 || name.empty() ||
            width < 1 || width > INT_MAX)
            return Reject(out, Verdict::NotOurs, "a damaged field table");
        out.fields.push_back({Utf8ToText(name), static_cast<int>(width)});
        utf8Names.push_back(std::move(name));
    }
    if (rc != SQLITE_DONE) return RejectForCode(out, db, rc, "reading the field table");
    if (utf8Names.empty()) return Reject(out, Verdict::NotOurs, "a store without fields");
    return true;
}

// The record table must hold the key column and then the fields, in order.
bool CheckRecordColumns(Database& db, Inspection& out) {
    const std::vector<std::string>& utf8Names = out.columns;
    Statement info(db, "PRAGMA table_info(records)");
    if (!info) return RejectForCode(out, db, sqlite3_errcode(db.get()), "reading the record table");
    std::vector<std::string> columns;
    int rc;
    while ((rc = info.Step()) == SQLITE_ROW) {
        columns.push_back(info.ColumnBytes(1));
        const bool isKey = columns.size() == 1;
        if (isKey != (info.ColumnInt64(5) == 1))
            return Reject(out, Verdict::NotOurs, "a damaged record table");
    }
    if (rc != SQLITE_DONE) return RejectForCode(out, db, rc, "reading the record table");
    if (columns.empty() || columns.front() != kKeyColumn ||
        !std::equal(columns.begin() + 1, columns.end(), utf8Names.begin(), utf8Names.end()))
        return Reject(out, Verdict::NotOurs, "the record table does not match its fields");
    return true;
}

// Opens the file; false (with the verdict set) when it cannot be opened or written.
bool OpenForInspection(const std::filesystem::path& file, Inspection& out) {
    int rc = SQLITE_OK;
    out.db = Database::Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, &rc);
    if (!out.db) return Reject(out, Verdict::Unavailable, "cannot open: " + std::string(sqlite3_errstr(rc)));
    // Looking must not change a file that may turn out to be someone else's: no checkpoint
    // of its WAL when the connection closes (turned back on once the file proves ours).
    sqlite3_db_config(out.db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(out.db.get(), kBusyTimeoutMs);
    if (sqlite3_db_readonly(out.db.get(), "main") != 0)
        return Reject(out, Verdict::Unavailable, "the file is read-only");
    return true;
}

std::string CreateStatements(const std::vector<FieldSpec>& fields) {
    std::string sql = "PRAGMA application_id = " + std::to_string(kStoreApplicationId) +
                      "; PRAGMA user_version = " + std::to_string(kStoreSchemaVersion) +
                      "; CREATE TABLE store_fields(position INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                      "max_length INTEGER NOT NULL)"
                      "; CREATE TABLE records(" +
                      std::string(kKeyColumn) + " INTEGER PRIMARY KEY";
    for (const FieldSpec& field : fields)
        sql += ", " + sqlite::QuoteIdentifier(TextToUtf8(field.name)) + " BLOB NOT NULL DEFAULT x''";
    return sql + ")";
}

bool InsertFieldRows(Database& db, const std::vector<FieldSpec>& fields) {
    Statement insert(db, "INSERT INTO store_fields(position, name, max_length) VALUES(?1, ?2, ?3)");
    if (!insert) return false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        sqlite::ResetOnExit reset(insert);
        if (!insert.BindInt64(1, static_cast<std::int64_t>(i) + 1) ||
            !insert.BindText(2, TextToUtf8(fields[i].name)) || !insert.BindInt64(3, fields[i].maxLength) ||
            insert.Step() != SQLITE_DONE)
            return false;
    }
    return true;
}

// Writes the whole store into `file` (which must not exist) and closes it again.
bool WriteStoreFile(const std::filesystem::path& file, const std::vector<FieldSpec>& fields) {
    Database db = Database::Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    if (!db || db.Exec("PRAGMA journal_mode=WAL") != SQLITE_OK) return false;
    sqlite::Transaction transaction(db);
    if (!transaction.Started() || db.Exec(CreateStatements(fields).c_str()) != SQLITE_OK ||
        !InsertFieldRows(db, fields) || !transaction.Commit())
        return false;
    db.Close(); // the last connection checkpoints and removes the WAL
    return !HasJournalCompanion(file);
}

} // namespace

Inspection Inspect(const std::filesystem::path& file) {
    Inspection out;
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) return out;
    if (error || status.type() != std::filesystem::file_type::regular) {
        Reject(out, Verdict::Unavailable, "not a regular file");
        return out;
    }
    if (OpenForInspection(file, out) && CheckMarker(out.db, out) && CheckIntegrity(out.db, out) &&
        ReadFieldTable(out.db, out) && CheckRecordColumns(out.db, out)) {
        out.verdict = Verdict::Ours;
        sqlite3_db_config(out.db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
        return out;
    }
    out.db.Close();
    out.fields.clear();
    out.columns.clear();
    return out;
}

bool ConfigureConnection(Database& db) {
    // WAL with synchronous=NORMAL: a commit is in the WAL file (the operating system's
    // cache) when it returns, so it survives the process being killed; only a power loss
    // can drop the last commits, and never leaves a damaged file.
    if (db.Exec("PRAGMA journal_mode=WAL") != SQLITE_OK) return false;
    return db.Exec("PRAGMA synchronous=NORMAL") == SQLITE_OK;
}

bool IsValidFieldList(const std::vector<FieldSpec>& fields) {
    if (fields.empty()) return false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Text& name = fields[i].name;
        if (name.empty() || name.find('\0') != Text::npos || fields[i].maxLength < 1 ||
            EqualsIgnoreCase(name, kKeyColumn))
            return false;
        for (std::size_t j = 0; j < i; ++j) {
            if (EqualsIgnoreCase(fields[j].name, name)) return false;
        }
    }
    return true;
}

bool WriteNewStore(const std::filesystem::path& file, const std::vector<FieldSpec>& fields) {
    if (PathExists(file) || HasJournalCompanion(file)) return false;
    std::filesystem::path temp = file;
    temp += ".creating-" + std::to_string(::getpid());
    RemoveWithCompanions(temp); // left over by an earlier process that had the same id
    const bool written = WriteStoreFile(temp, fields) && RenameNoReplace(temp, file, nullptr);
    if (!written) RemoveWithCompanions(temp);
    return written;
}

} // namespace iploc::store_file
