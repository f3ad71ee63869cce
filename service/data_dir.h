// Where the service keeps its certificate when no --data-dir is given.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace iploc {

// $XDG_DATA_HOME/iploc-service when XDG_DATA_HOME is an absolute path, else
// $HOME/.local/share/iploc-service; empty when neither is set. `getEnv` returns
// nullptr for a variable that is not set (std::getenv by default).
std::optional<std::filesystem::path> DefaultDataDir(const std::function<const char*(const char*)>& getEnv =
                                                        [](const char* name) { return std::getenv(name); });

} // namespace iploc
