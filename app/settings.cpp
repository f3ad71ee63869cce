#include "app/settings.h"

#include "text/encoding.h"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace iploc {
namespace {

namespace fs = std::filesystem;

Text EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? Text(value) : Text();
}

bool IsWritableDirectory(const fs::path& directory) {
    std::error_code error;
    return !directory.empty() && fs::is_directory(directory, error) &&
           ::access(directory.c_str(), W_OK | X_OK) == 0;
}

// Creates the directory when missing; an existing one is left as it is.
fs::path Prepared(const fs::path& directory) {
    std::error_code error;
    fs::create_directories(directory, error);
    return directory;
}

fs::path UserDataDirectory() {
    const Text xdg = EnvironmentValue("XDG_DATA_HOME");
    if (!xdg.empty() && fs::path(xdg).is_absolute()) return fs::path(xdg) / "iploc";
    const Text home = EnvironmentValue("HOME");
    return fs::path(home.empty() ? "." : home) / ".local" / "share" / "iploc";
}

fs::path ProgramDirectory() {
    const Text home = EnvironmentValue("IPLOC_HOME");
    if (!home.empty()) return Prepared(fs::absolute(fs::path(home)));
    const fs::path executableDirectory = ExecutableDirectory();
    if (IsWritableDirectory(executableDirectory)) return executableDirectory;
    return Prepared(UserDataDirectory());
}

} // namespace

Text DefaultServiceHost() {
    return IPLOC_DEFAULT_SERVICE_HOST;
}

fs::path ExecutableDirectory() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : executable.parent_path();
}

Settings LoadSettings() {
    const Text host = EnvironmentValue("IPLOC_SERVICE_HOST");
    return Settings{host.empty() ? DefaultServiceHost() : host, ProgramDirectory()};
}

Text ServiceUrlPrefix(const Settings& settings) {
    return "https://" + settings.serviceHost + "/json?ip=";
}

fs::path StorePath(const Settings& settings) {
    return settings.programDirectory / fs::path("数据暂存库.edb");
}

const Text& StoreAlias() {
    static const Text alias = Utf8ToText("数据库");
    return alias;
}

fs::path ExportPath(const Settings& settings, const Text& timestampDigits) {
    return settings.programDirectory / fs::path("归属地查询结果" + TextToUtf8(timestampDigits) + ".xlsx");
}

} // namespace iploc
