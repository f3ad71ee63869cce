#include "service/data_dir.h"

namespace iploc {

std::optional<std::filesystem::path> DefaultDataDir(const std::function<const char*(const char*)>& getEnv) {
    constexpr const char* kName = "iploc-service";
    const char* dataHome = getEnv("XDG_DATA_HOME");
    // Relative values are invalid by the XDG base directory rules and are ignored.
    if (dataHome && dataHome[0] == '/') return std::filesystem::path(dataHome) / kName;
    const char* home = getEnv("HOME");
    if (home && home[0] != '\0') return std::filesystem::path(home) / ".local" / "share" / kName;
    return std::nullopt;
}

} // namespace iploc
