// Running a piece of work in a forked child process, so that a fault in a C library it uses
// (a crash, memory corruption, a hang on a crafted file) cannot take the program down.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace iploc::workbook {

// Runs `work` in a child process and returns the bytes it produced; nullopt when the work
// failed (returned nullopt), crashed, took longer than `timeLimit` or produced more than
// `maxBytes`. The child is always gone when this returns.
std::optional<std::string> RunInChildProcess(const std::function<std::optional<std::string>()>& work,
                                             std::chrono::milliseconds timeLimit, std::size_t maxBytes);

} // namespace iploc::workbook
