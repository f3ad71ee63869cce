#include "fuzz/temp_file.h"

#include "fuzz/fuzz_input.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace iploc::fuzz {
namespace {

std::filesystem::path& ScratchDirectory() {
    static std::filesystem::path directory;
    return directory;
}

void RemoveScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(ScratchDirectory(), ignored);
}

const std::filesystem::path& MakeScratchDirectory() {
    auto& directory = ScratchDirectory();
    if (!directory.empty()) return directory;
    std::string name = (std::filesystem::temp_directory_path() / "iploc-fuzz-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) Fail("cannot make a scratch directory");
    directory = name;
    std::atexit(RemoveScratchDirectory);
    return directory;
}

} // namespace

std::filesystem::path ScratchPath(std::string_view fileName) {
    return MakeScratchDirectory() / std::filesystem::path(fileName);
}

std::filesystem::path WriteScratchFile(std::string_view fileName, std::string_view bytes) {
    const auto path = ScratchPath(fileName);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) Fail("cannot write the scratch file");
    return path;
}

} // namespace iploc::fuzz
