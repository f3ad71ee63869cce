// Reading and writing the zip container of an .xlsx package through libzip.
//
// The reader works on the file's bytes held in memory, so the file on disk is opened only
// once and never written. Every part is read with a cap on its inflated size: a part that
// claims or inflates to more is refused, which stops zip bombs.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iploc::workbook {

class ZipPackageReader {
public:
    // nullopt when `bytes` is not a readable zip archive.
    static std::unique_ptr<ZipPackageReader> Open(std::string bytes);
    ~ZipPackageReader();
    ZipPackageReader(const ZipPackageReader&) = delete;
    ZipPackageReader& operator=(const ZipPackageReader&) = delete;

    // Entry names in the archive's order.
    const std::vector<std::string>& EntryNames() const { return names_; }
    // The name as stored for `partName` (compared without regard to ASCII case, as package
    // part names are); empty when there is no such entry.
    std::string FindEntry(std::string_view partName) const;
    // The inflated entry; nullopt when it is missing, damaged or larger than `maxSize`.
    std::optional<std::string> Read(std::string_view entryName, std::size_t maxSize) const;
    // The same through a second view of the archive, so that it may run on another thread
    // beside Read (one libzip archive must not be read from two threads at once).
    std::optional<std::string> ReadBeside(std::string_view entryName, std::size_t maxSize) const;

private:
    struct Archive;
    explicit ZipPackageReader(std::unique_ptr<Archive> archive);
    friend class ZipPackageWriter;

    std::unique_ptr<Archive> archive_;
    std::vector<std::string> names_;
};

// Builds a new archive from entries copied from a reader and entries given as bytes.
class ZipPackageWriter {
public:
    ZipPackageWriter();
    ~ZipPackageWriter();
    ZipPackageWriter(const ZipPackageWriter&) = delete;
    ZipPackageWriter& operator=(const ZipPackageWriter&) = delete;

    // Copies the entry, still compressed, from `source` (which must outlive Commit).
    void AddCopy(const ZipPackageReader& source, const std::string& entryName);
    // Adds an entry with these bytes, deflated.
    void AddBytes(const std::string& entryName, std::string bytes);
    // Writes the archive to `path` (through a temporary file that replaces it at the end);
    // false when anything failed, in which case the file at `path` is left as it was.
    bool Commit(const std::filesystem::path& path);

private:
    struct Entry;
    std::vector<Entry> entries_;
};

} // namespace iploc::workbook
