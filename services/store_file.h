// The result store's file: its layout, recognising a store of ours, and writing a new one.
//
// Layout (SQLite, WAL journal):
//   PRAGMA application_id = kStoreApplicationId, user_version = kStoreSchemaVersion
//   store_fields(position INTEGER PRIMARY KEY, name TEXT, max_length INTEGER)
//       one row per field, positions 1..n; names in UTF-8
//   records(rec_no INTEGER PRIMARY KEY, <field 1> BLOB NOT NULL DEFAULT x'', ...)
//       one row per record in store order (rec_no ascending); values are the code
//       page 936 bytes as BLOBs, so they come back exactly as written.
#pragma once

#include "services/result_store.h"
#include "services/sqlite_db.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace iploc::store_file {

inline constexpr std::int32_t kStoreApplicationId = 0x69704C63; // "ipLc"
inline constexpr std::int64_t kStoreSchemaVersion = 1;
inline constexpr const char* kRecordTable = "records";
inline constexpr const char* kKeyColumn = "rec_no";
// How long an operation waits for another connection's lock before it gives up.
inline constexpr int kBusyTimeoutMs = 5000;

enum class Verdict {
    Missing,     // nothing at the path
    Ours,        // a store of ours, opened
    NotOurs,     // some other file, or a damaged store: safe to move aside
    Unavailable, // cannot be told or used now (locked, no access, a directory, a newer store)
};

struct Inspection {
    Verdict verdict = Verdict::Missing;
    sqlite::Database db;              // open when the verdict is Ours
    std::vector<FieldSpec> fields;    // the store's fields when the verdict is Ours
    std::vector<std::string> columns; // their column names (UTF-8), as the file has them
    std::string reason;               // why the file is not usable
};

// Opens `file` for reading and writing and decides whether it is a store of ours:
// the marker, the schema version, an integrity check, and a field table that matches
// the record table's columns. Never changes the file's contents.
Inspection Inspect(const std::filesystem::path& file);

// Sets the connection up for use: WAL journal, synchronous=NORMAL, busy time-out.
bool ConfigureConnection(sqlite::Database& db);

// True when `fields` can make a store: not empty, names not empty, without zero bytes,
// distinct (ASCII case ignored) and not the key column's name, widths of at least 1.
bool IsValidFieldList(const std::vector<FieldSpec>& fields);

// Writes an empty store with `fields` beside `file` and renames it into place, so the
// path holds either nothing or a whole store. False when anything stands at the path.
bool WriteNewStore(const std::filesystem::path& file, const std::vector<FieldSpec>& fields);

} // namespace iploc::store_file
