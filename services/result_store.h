// ResultStore: the local record store that keeps one record per looked-up address.
//
// The store is one SQLite file with text fields of fixed maximum widths. There is one
// open store per process (Instance()); every operation takes one lock, so the window
// thread and a worker may call it at the same time. Operations report failure by their
// result (false, 0, empty text) and never throw.
//
// Field values are code page 936 text and are kept byte for byte. A value longer than
// its field is cut to the field's width in bytes, never inside a two-byte character.
#pragma once

#include "text/text.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace iploc {

// One text field of the store; maxLength counts code page 936 bytes.
struct FieldSpec {
    Text name;
    int maxLength;
};

// The six fields of a result record, in order: "ip" 20, "country", "province", "city",
// "area" and "isp" 50 each.
const std::vector<FieldSpec>& ResultFields();

// The values of one record, in field order.
using ResultRecord = std::array<Text, 6>;

class ResultStore {
public:
    // The process-wide store.
    static ResultStore& Instance();

    ~ResultStore();
    ResultStore(const ResultStore&) = delete;
    ResultStore& operator=(const ResultStore&) = delete;

    // Opens the store at `file` under `alias`; it becomes the store every later operation
    // acts on, and its first record becomes current. False when the file is missing, cannot
    // be used just now (locked, not readable or writable), or is not a store of ours. In the
    // last case the file is moved aside beside itself ("<name>.unreadable-<stamp>") and a
    // note goes to stderr. A store that was open stays open when this fails.
    bool Open(const std::filesystem::path& file, const Text& alias);

    // Writes an empty store with `fields` (in order) at `file`; does not open it. False when
    // the list is empty or invalid (an empty or repeated name, a width below 1) or a store
    // already stands at the path. A file there that is not a store of ours is moved aside
    // first, as Open does; an existing store is never replaced.
    bool Create(const std::filesystem::path& file, const std::vector<FieldSpec>& fields);

    // The number of records; 0 when no store is open.
    std::int64_t RecordCount();

    // Makes the first record current. False when no store is open or it has no records
    // (the position is then one past the last record).
    bool GoToFirst();
    // Moves the current record forward by `count` records, at most to one past the last.
    // False when no store is open, `count` is negative, or it already stood past the last.
    bool Skip(std::int64_t count = 1);

    // Appends a record with every field empty and makes it current.
    bool AddBlankRecord();
    // Stores `value`, cut to the field's width, in the named field (ASCII case ignored)
    // of the current record. False without a current record or for an unknown field.
    bool WriteField(const Text& name, const Text& value);
    // The named field of the current record, exactly as written; empty text without a
    // current record or for an unknown field.
    Text ReadField(const Text& name);

    // Removes every record and shrinks the file; the position is then past the end.
    bool Clear();
    // Closes the store when it was opened under `alias`; false otherwise.
    bool Close(const Text& alias);
    bool IsOpen();

    // Appends one whole record (each value cut to its width) in one transaction, so a crash
    // never leaves a blank or half-written record. The current record is NOT moved, so an
    // export reading by navigation while a batch appends is not disturbed. False when no
    // store is open or the store does not have exactly six fields.
    bool AppendRecord(const ResultRecord& values);
    // Appends several whole records in one transaction: all of them or none. One commit for
    // a handful of records is what lets the batch run's writer keep up with the requests.
    bool AppendRecords(std::span<const ResultRecord> records);

private:
    ResultStore();

    struct OpenStore;
    std::mutex mutex_;
    std::unique_ptr<OpenStore> store_; // null while no store is open
};

} // namespace iploc
