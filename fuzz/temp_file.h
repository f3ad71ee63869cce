// A scratch file per fuzz process, for readers that only take a path.
#pragma once

#include <filesystem>
#include <string_view>

namespace iploc::fuzz {

// A path in a directory of this process's own (made on first use, removed at exit).
std::filesystem::path ScratchPath(std::string_view fileName);
// Writes `bytes` to ScratchPath(fileName) and returns the path; stops the run when it cannot.
std::filesystem::path WriteScratchFile(std::string_view fileName, std::string_view bytes);

} // namespace iploc::fuzz
