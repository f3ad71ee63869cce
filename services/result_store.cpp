#include "services/result_store.h"

#include "services/sqlite_db.h"
#include "services/store_file.h"
#include "services/store_paths.h"

#include <cstdio>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>

namespace iploc {
namespace {

using sqlite::ResetOnExit;
using sqlite::Statement;
using sqlite::Transaction;

// `text` cut to `width` bytes without splitting a two-byte character; a view into `text`.
std::string_view FitToWidth(std::string_view text, int width) {
    const auto maxBytes = static_cast<std::size_t>(width);
    if (text.size() <= maxBytes) return text;
    return text.substr(0, CutToWidth(text, maxBytes).size());
}

std::string JoinColumns(const std::vector<std::string>& columns, const std::string& prefix = "") {
    std::string joined;
    for (const std::string& column : columns) {
        if (!joined.empty()) joined += ", ";
        joined += prefix + sqlite::QuoteIdentifier(column);
    }
    return joined;
}

std::string Placeholders(std::size_t count) {
    std::string list;
    for (std::size_t i = 1; i <= count; ++i)
        list += (i > 1 ? ", ?" : "?") + std::to_string(i);
    return list;
}

// Moves an unusable file aside and says so on stderr; false when it had to stay.
bool MoveAsideAndReport(const std::filesystem::path& file, const std::string& reason) {
    std::string error;
    const std::filesystem::path target = store_file::MoveAside(file, &error);
    if (target.empty()) {
        std::fprintf(stderr, "iploc: %s is not a usable result store (%s) and could not be moved aside: %s\n",
                     file.c_str(), reason.c_str(), error.c_str());
        return false;
    }
    std::fprintf(stderr, "iploc: %s is not a usable result store (%s); moved it aside to %s\n", file.c_str(),
                 reason.c_str(), target.c_str());
    return true;
}

} // namespace

const std::vector<FieldSpec>& ResultFields() {
    static const std::vector<FieldSpec> fields = {{"ip", 20},   {"country", 50}, {"province", 50},
                                                  {"city", 50}, {"area", 50},    {"isp", 50}};
    return fields;
}

// An open store: its connection, its prepared statements and the current record.
struct ResultStore::OpenStore {
    sqlite::Database db; // first member: closed after the statements are finalised
    std::vector<FieldSpec> fields;
    Text alias;
    Statement count, first, next, insertBlank, append;
    std::vector<Statement> update; // one per field
    // The current record's key and a copy of its values; no key: one past the last record.
    std::optional<std::int64_t> currentKey;
    std::vector<Text> currentValues;

    OpenStore(store_file::Inspection&& opened, const Text& openedAlias)
        : db(std::move(opened.db)), fields(std::move(opened.fields)), alias(openedAlias) {
        Prepare(opened.columns);
    }

    void Prepare(const std::vector<std::string>& columns) {
        const std::string table = store_file::kRecordTable;
        const std::string key = store_file::kKeyColumn;
        const std::string selectRow = "SELECT " + key + ", " + JoinColumns(columns) + " FROM " + table;
        count = Statement(db, "SELECT count(*) FROM " + table);
        first = Statement(db, selectRow + " ORDER BY " + key + " LIMIT 1");
        next = Statement(db, selectRow + " WHERE " + key + " > ?1 ORDER BY " + key + " LIMIT 1 OFFSET ?2");
        insertBlank = Statement(db, "INSERT INTO " + table + " DEFAULT VALUES");
        append = Statement(db, "INSERT INTO " + table + "(" + JoinColumns(columns) + ") VALUES(" +
                                   Placeholders(columns.size()) + ")");
        for (const std::string& column : columns)
            update.emplace_back(db, "UPDATE " + table + " SET " + sqlite::QuoteIdentifier(column) +
                                        " = ?1 WHERE " + key + " = ?2");
    }

    bool Prepared() const {
        for (const Statement& stmt : update)
            if (!stmt) return false;
        return count && first && next && insertBlank && append;
    }

    int FieldIndex(const Text& name) const {
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (EqualsIgnoreCase(fields[i].name, name)) return static_cast<int>(i);
        return -1;
    }

    // Steps a bound navigation query: its row becomes current, or, when it has none, the
    // position goes past the last record. False (position unchanged) on an error.
    bool MoveTo(Statement& query) {
        const int rc = query.Step();
        if (rc == SQLITE_DONE) {
            currentKey.reset();
            currentValues.clear();
            return true;
        }
        if (rc != SQLITE_ROW) return false;
        currentKey = query.ColumnInt64(0);
        currentValues.resize(fields.size());
        for (std::size_t i = 0; i < fields.size(); ++i)
            currentValues[i] = query.ColumnBytes(static_cast<int>(i) + 1);
        return true;
    }

    std::int64_t RecordCount() {
        ResetOnExit reset(count);
        return count.Step() == SQLITE_ROW ? count.ColumnInt64(0) : 0;
    }

    bool GoToFirst() {
        ResetOnExit reset(first);
        return MoveTo(first) && currentKey.has_value();
    }

    bool Skip(std::int64_t by) {
        if (by < 0 || !currentKey) return false;
        if (by == 0) return true;
        ResetOnExit reset(next);
        return next.BindInt64(1, *currentKey) && next.BindInt64(2, by - 1) && MoveTo(next);
    }

    bool AddBlankRecord() {
        ResetOnExit reset(insertBlank);
        if (insertBlank.Step() != SQLITE_DONE) return false;
        currentKey = sqlite3_last_insert_rowid(db.get());
        currentValues.assign(fields.size(), Text());
        return true;
    }

    bool WriteField(const Text& name, const Text& value) {
        const int index = FieldIndex(name);
        if (index < 0 || !currentKey) return false;
        const std::string_view fitted = FitToWidth(value, fields[index].maxLength);
        Statement& stmt = update[index];
        ResetOnExit reset(stmt);
        if (!stmt.BindBlob(1, fitted) || !stmt.BindInt64(2, *currentKey) || stmt.Step() != SQLITE_DONE)
            return false;
        // No row changed: the record was removed meanwhile (the store cleared by another process).
        if (sqlite3_changes(db.get()) != 1) return false;
        currentValues[index] = Text(fitted);
        return true;
    }

    Text ReadField(const Text& name) const {
        const int index = FieldIndex(name);
        return (index < 0 || !currentKey) ? Text() : currentValues[index];
    }

    bool AppendRecord(const ResultRecord& values) {
        if (fields.size() != values.size()) return false;
        // One INSERT is one transaction: the record is stored whole or not at all.
        ResetOnExit reset(append);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!append.BindBlob(static_cast<int>(i) + 1, FitToWidth(values[i], fields[i].maxLength)))
                return false;
        }
        return append.Step() == SQLITE_DONE;
    }

    bool AppendRecords(std::span<const ResultRecord> records) {
        Transaction transaction(db);
        if (!transaction.Started()) return false;
        for (const auto& record : records) {
            if (!AppendRecord(record)) return false; // the transaction rolls back
        }
        return transaction.Commit();
    }

    bool Clear() {
        const std::string deleteAll = "DELETE FROM " + std::string(store_file::kRecordTable);
        if (db.Exec(deleteAll.c_str()) != SQLITE_OK) return false;
        currentKey.reset();
        currentValues.clear();
        // Give the space back: rebuild the file, then fold the WAL into it and cut the WAL to
        // nothing. Either may find another process reading; the records are gone regardless.
        db.Exec("VACUUM");
        db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
        return true;
    }
};

ResultStore& ResultStore::Instance() {
    static ResultStore store;
    return store;
}

ResultStore::ResultStore() = default;
ResultStore::~ResultStore() = default;

bool ResultStore::Open(const std::filesystem::path& file, const Text& alias) {
    std::lock_guard lock(mutex_);
    store_file::Inspection inspection = store_file::Inspect(file);
    if (inspection.verdict == store_file::Verdict::NotOurs) {
        MoveAsideAndReport(file, inspection.reason);
        return false;
    }
    if (inspection.verdict != store_file::Verdict::Ours || !store_file::ConfigureConnection(inspection.db))
        return false;
    auto opened = std::make_unique<OpenStore>(std::move(inspection), alias);
    if (!opened->Prepared()) return false;
    opened->GoToFirst();
    store_ = std::move(opened);
    return true;
}

bool ResultStore::Create(const std::filesystem::path& file, const std::vector<FieldSpec>& fields) {
    std::lock_guard lock(mutex_);
    if (!store_file::IsValidFieldList(fields)) return false;
    const store_file::Inspection inspection = store_file::Inspect(file);
    bool movedAside = false;
    if (inspection.verdict == store_file::Verdict::NotOurs ||
        (inspection.verdict == store_file::Verdict::Missing && store_file::HasJournalCompanion(file))) {
        const std::string reason = inspection.verdict == store_file::Verdict::NotOurs
                                       ? inspection.reason
                                       : "a journal without its database";
        if (!MoveAsideAndReport(file, reason)) return false;
        movedAside = true;
    } else if (inspection.verdict != store_file::Verdict::Missing) {
        return false; // a store, or a file that cannot be told apart now: never replaced
    }
    if (!store_file::WriteNewStore(file, fields)) return false;
    if (movedAside) std::fprintf(stderr, "iploc: created a new, empty result store at %s\n", file.c_str());
    return true;
}

std::int64_t ResultStore::RecordCount() {
    std::lock_guard lock(mutex_);
    return store_ ? store_->RecordCount() : 0;
}

bool ResultStore::GoToFirst() {
    std::lock_guard lock(mutex_);
    return store_ && store_->GoToFirst();
}

bool ResultStore::Skip(std::int64_t count) {
    std::lock_guard lock(mutex_);
    return store_ && store_->Skip(count);
}

bool ResultStore::AddBlankRecord() {
    std::lock_guard lock(mutex_);
    return store_ && store_->AddBlankRecord();
}

bool ResultStore::WriteField(const Text& name, const Text& value) {
    std::lock_guard lock(mutex_);
    return store_ && store_->WriteField(name, value);
}

Text ResultStore::ReadField(const Text& name) {
    std::lock_guard lock(mutex_);
    return store_ ? store_->ReadField(name) : Text();
}

bool ResultStore::Clear() {
    std::lock_guard lock(mutex_);
    return store_ && store_->Clear();
}

bool ResultStore::Close(const Text& alias) {
    std::lock_guard lock(mutex_);
    if (!store_ || store_->alias != alias) return false;
    store_.reset();
    return true;
}

bool ResultStore::IsOpen() {
    std::lock_guard lock(mutex_);
    return store_ != nullptr;
}

bool ResultStore::AppendRecord(const ResultRecord& values) {
    std::lock_guard lock(mutex_);
    return store_ && store_->AppendRecord(values);
}

bool ResultStore::AppendRecords(std::span<const ResultRecord> records) {
    std::lock_guard lock(mutex_);
    return store_ && store_->AppendRecords(records);
}

} // namespace iploc
