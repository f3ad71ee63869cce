// Where the program keeps its files and which location service it asks.
#pragma once

#include "text/text.h"

#include <filesystem>

namespace iploc {

struct Settings {
    // host[:port] of the location service, e.g. "127.0.0.1:8443".
    Text serviceHost;
    // The program directory: the store and the exported workbooks live here.
    std::filesystem::path programDirectory;
};

// The settings of this process:
// - serviceHost: the environment variable IPLOC_SERVICE_HOST when set and not empty,
//   else the build's default (CMake cache variable IPLOC_SERVICE_HOST);
// - programDirectory: IPLOC_HOME when set and not empty (created when missing), else the
//   executable's directory when it is writable, else $XDG_DATA_HOME/iploc (default
//   ~/.local/share/iploc), created when missing.
Settings LoadSettings();

// The build's default service host.
Text DefaultServiceHost();

// The executable's directory, from /proc/self/exe; empty when it cannot be read.
std::filesystem::path ExecutableDirectory();

// "https://" + host + "/json?ip=": the request address is this followed by the address.
Text ServiceUrlPrefix(const Settings& settings);

// The store file "数据暂存库.edb" in the program directory.
std::filesystem::path StorePath(const Settings& settings);
// The alias under which the store is opened, "数据库" (code page 936).
const Text& StoreAlias();

// The program directory + "/归属地查询结果" + `timestampDigits` + ".xlsx".
std::filesystem::path ExportPath(const Settings& settings, const Text& timestampDigits);

} // namespace iploc
