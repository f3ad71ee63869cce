#include "services/store_paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>

namespace iploc::store_file {
namespace {

constexpr int kMaxAsideNames = 1000;

std::filesystem::path WithSuffix(const std::filesystem::path& file, const std::string& suffix) {
    std::filesystem::path result = file;
    result += suffix;
    return result;
}

// The local time as YYYYMMDD-HHMMSS.
std::string LocalStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char buffer[32] = {};
    if (!localtime_r(&now, &local) || std::strftime(buffer, sizeof buffer, "%Y%m%d-%H%M%S", &local) == 0)
        return "00000000-000000";
    return buffer;
}

// The first "<name>.unreadable-<stamp>[-n]" at which neither the file nor a companion stands.
std::filesystem::path FreeAsideName(const std::filesystem::path& file) {
    const std::string base = ".unreadable-" + LocalStamp();
    for (int n = 1; n <= kMaxAsideNames; ++n) {
        const auto candidate = WithSuffix(file, n == 1 ? base : base + "-" + std::to_string(n));
        bool taken = false;
        for (const auto& path : WithCompanions(candidate))
            taken = taken || PathExists(path);
        if (!taken) return candidate;
    }
    return {};
}

} // namespace

std::array<std::filesystem::path, 4> WithCompanions(const std::filesystem::path& file) {
    return {file, WithSuffix(file, "-wal"), WithSuffix(file, "-shm"), WithSuffix(file, "-journal")};
}

bool PathExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found;
}

bool HasJournalCompanion(const std::filesystem::path& file) {
    return PathExists(WithSuffix(file, "-wal")) || PathExists(WithSuffix(file, "-journal"));
}

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to, std::string* error) {
    int result = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // The file system cannot rename without replacing: check first, then rename.
        if (PathExists(to)) {
            errno = EEXIST;
        } else {
            result = std::rename(from.c_str(), to.c_str());
        }
    }
    if (result != 0 && error) *error = std::strerror(errno);
    return result == 0;
}

void RemoveWithCompanions(const std::filesystem::path& file) {
    std::error_code ignored;
    for (const auto& path : WithCompanions(file))
        std::filesystem::remove(path, ignored);
}

std::filesystem::path MoveAside(const std::filesystem::path& file, std::string* error) {
    const std::filesystem::path target = FreeAsideName(file);
    if (target.empty()) {
        if (error) *error = "no free name to move it to";
        return {};
    }
    const auto from = WithCompanions(file);
    const auto to = WithCompanions(target);
    for (std::size_t i = 0; i < from.size(); ++i) {
        if (PathExists(from[i]) && !RenameNoReplace(from[i], to[i], error)) return {};
    }
    return target;
}

} // namespace iploc::store_file
