#include "services/workbook/zip_package.h"

#include <algorithm>
#include <zip.h>

namespace iploc::workbook {
namespace {

// Deflate level of the parts we write. Level 1 deflates a rewritten sheet about three times as
// fast as the default level 6, for files about a fifth larger: saving a large export is bound
// by deflate, and the file is opened once and saved again by whoever edits it next.
constexpr int kDeflateLevel = 1;

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipFilePtr = std::unique_ptr<zip_file_t, FileCloser>;

bool EqualsAsciiCaseless(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x | 0x20 : x) == (y >= 'A' && y <= 'Z' ? y | 0x20 : y);
           });
}

zip_t* OpenArchive(const std::string& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (source && !zip) zip_source_free(source);
    zip_error_fini(&error);
    return zip;
}

std::optional<std::string> ReadEntry(zip_t* zip, std::string_view entryName, std::size_t maxSize) {
    const zip_int64_t index = zip_name_locate(zip, std::string(entryName).c_str(), ZIP_FL_ENC_RAW);
    zip_stat_t stat;
    if (index < 0 || zip_stat_index(zip, zip_uint64_t(index), 0, &stat) != 0) return std::nullopt;
    if (!(stat.valid & ZIP_STAT_SIZE) || stat.size > maxSize) return std::nullopt;
    ZipFilePtr file(zip_fopen_index(zip, zip_uint64_t(index), 0));
    if (!file) return std::nullopt;
    std::string content(std::size_t(stat.size), '\0');
    std::size_t filled = 0;
    while (filled < content.size()) {
        const zip_int64_t got = zip_fread(file.get(), content.data() + filled, content.size() - filled);
        if (got <= 0) return std::nullopt;
        filled += std::size_t(got);
    }
    // The header's size is what we trust the cap with: the data must end exactly there.
    char extra;
    if (zip_fread(file.get(), &extra, 1) != 0) return std::nullopt;
    return content;
}

} // namespace

struct ZipPackageReader::Archive {
    std::string bytes; // the archive reads from these
    ZipPtr zip;
};

struct ZipPackageWriter::Entry {
    std::string name;
    const ZipPackageReader* source = nullptr; // copied from here when set
    std::string bytes;
};

std::unique_ptr<ZipPackageReader> ZipPackageReader::Open(std::string bytes) {
    auto archive = std::make_unique<Archive>();
    archive->bytes = std::move(bytes);
    archive->zip.reset(OpenArchive(archive->bytes));
    if (!archive->zip) return nullptr;
    std::unique_ptr<ZipPackageReader> reader(new ZipPackageReader(std::move(archive)));
    const zip_int64_t count = zip_get_num_entries(reader->archive_->zip.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(reader->archive_->zip.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (name == nullptr) return nullptr;
        reader->names_.emplace_back(name);
    }
    return reader;
}

ZipPackageReader::ZipPackageReader(std::unique_ptr<Archive> archive) : archive_(std::move(archive)) {}
ZipPackageReader::~ZipPackageReader() = default;

std::string ZipPackageReader::FindEntry(std::string_view partName) const {
    if (!partName.empty() && partName.front() == '/') partName.remove_prefix(1);
    for (const auto& name : names_)
        if (name == partName) return name;
    for (const auto& name : names_)
        if (EqualsAsciiCaseless(name, partName)) return name;
    return {};
}

std::optional<std::string> ZipPackageReader::Read(std::string_view entryName, std::size_t maxSize) const {
    return ReadEntry(archive_->zip.get(), entryName, maxSize);
}

std::optional<std::string> ZipPackageReader::ReadBeside(std::string_view entryName,
                                                        std::size_t maxSize) const {
    ZipPtr own(OpenArchive(archive_->bytes));
    if (!own) return std::nullopt;
    return ReadEntry(own.get(), entryName, maxSize);
}

ZipPackageWriter::ZipPackageWriter() = default;
ZipPackageWriter::~ZipPackageWriter() = default;

void ZipPackageWriter::AddCopy(const ZipPackageReader& source, const std::string& entryName) {
    entries_.push_back({entryName, &source, {}});
}

void ZipPackageWriter::AddBytes(const std::string& entryName, std::string bytes) {
    entries_.push_back({entryName, nullptr, std::move(bytes)});
}

bool ZipPackageWriter::Commit(const std::filesystem::path& path) {
    int error = 0;
    ZipPtr zip(zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!zip) return false;
    for (const Entry& entry : entries_) {
        zip_source_t* source = nullptr;
        if (entry.source) {
            zip_t* from = entry.source->archive_->zip.get();
            const zip_int64_t index = zip_name_locate(from, entry.name.c_str(), ZIP_FL_ENC_RAW);
            if (index < 0) return false;
            source = zip_source_zip(zip.get(), from, zip_uint64_t(index), 0, 0, -1);
        } else {
            source = zip_source_buffer(zip.get(), entry.bytes.data(), entry.bytes.size(), 0);
        }
        if (source == nullptr) return false;
        const zip_int64_t added = zip_file_add(zip.get(), entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (added < 0) return zip_source_free(source), false;
        if (!entry.source &&
            zip_set_file_compression(zip.get(), zip_uint64_t(added), ZIP_CM_DEFLATE, kDeflateLevel) != 0)
            return false;
    }
    if (zip_close(zip.get()) != 0) return false;
    zip.release(); // zip_close freed it
    return true;
}

} // namespace iploc::workbook
