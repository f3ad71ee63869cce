// File-system steps around the result store's file: its SQLite companions, renames that
// never replace a file, and moving an unusable file aside.
#pragma once

#include <array>
#include <filesystem>
#include <string>

namespace iploc::store_file {

// The file and the companions SQLite keeps beside it ("-wal", "-shm", "-journal").
std::array<std::filesystem::path, 4> WithCompanions(const std::filesystem::path& file);

// True when anything (also a dangling link) stands at `path`.
bool PathExists(const std::filesystem::path& path);

// True when a journal of SQLite ("-wal" or "-journal") stands beside `file`.
bool HasJournalCompanion(const std::filesystem::path& file);

// Renames `from` to `to` unless something already stands at `to`. On failure `error`
// (when given) says why.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to, std::string* error);

// Deletes `file` and its companions; only for our own temporary files.
void RemoveWithCompanions(const std::filesystem::path& file);

// Renames `file` and those of its companions that exist to
// "<name>.unreadable-<YYYYMMDD-HHMMSS>" (with "-2", "-3", ... when that is taken),
// keeping them paired. Nothing is deleted or overwritten. The new path of the main
// file, or an empty path when a rename failed (`error` then says why).
std::filesystem::path MoveAside(const std::filesystem::path& file, std::string* error);

} // namespace iploc::store_file
