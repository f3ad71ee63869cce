#include "fuzz/zip_builder.h"

#include <algorithm>
#include <memory>
#include <zip.h>

namespace iploc::fuzz {
namespace {

struct SourceFree {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;

bool AddStored(zip_t* archive, const std::string& name, const std::string& content) {
    zip_source_t* data = zip_source_buffer(archive, content.data(), content.size(), 0);
    if (data == nullptr) return false;
    const zip_int64_t index = zip_file_add(archive, name.c_str(), data, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(data);
        return false;
    }
    return zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0) == 0;
}

std::string ReadWholeSource(zip_source_t* source) {
    zip_stat_t stat;
    if (zip_source_stat(source, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) || zip_source_open(source) != 0)
        return {};
    std::string bytes(stat.size, '\0');
    const zip_int64_t read = zip_source_read(source, bytes.data(), bytes.size());
    zip_source_close(source);
    return read == zip_int64_t(bytes.size()) ? bytes : std::string{};
}

} // namespace

ZipParts ReadZipParts(std::string_view input) {
    ZipParts parts;
    const auto nextPiece = [&input] {
        const std::size_t zero = std::min(input.find('\0'), input.size());
        std::string piece(input.substr(0, zero));
        input.remove_prefix(std::min(zero + 1, input.size()));
        return piece;
    };
    while (!input.empty()) {
        std::string name = nextPiece();
        parts.emplace_back(std::move(name), nextPiece());
    }
    return parts;
}

std::string BuildZip(const ZipParts& parts) {
    zip_error_t error;
    zip_error_init(&error);
    SourcePtr source(zip_source_buffer_create(nullptr, 0, 0, &error));
    zip_error_fini(&error);
    if (!source) return {};
    zip_t* archive = zip_open_from_source(source.get(), ZIP_TRUNCATE, nullptr);
    if (archive == nullptr) return {};
    zip_source_keep(source.get()); // the archive releases its reference on close
    for (const auto& [name, content] : parts) {
        if (!AddStored(archive, name, content)) {
            zip_discard(archive);
            return {};
        }
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return {};
    }
    return ReadWholeSource(source.get());
}

} // namespace iploc::fuzz
