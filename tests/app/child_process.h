// Real processes for tests: a temporary directory, a child process, the location service.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace iploc::test {

// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The directory of the project's executables (IPLOC_BIN_DIR, set by CTest).
std::filesystem::path BinDir();

// A child process with its own stdout and stderr files.
class ChildProcess {
public:
    // Starts `argv` with the current environment plus `environment` ("NAME=value").
    // stdin is /dev/null; stdout and stderr go to the given files.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 const std::filesystem::path& stdoutFile, const std::filesystem::path& stderrFile);
    ~ChildProcess(); // kills (SIGKILL) and reaps a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    void Signal(int signal) const;
    // The exit status (128 + signal for a killed child); nullopt when it is still running
    // after `limit`.
    std::optional<int> Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// The result of a program run to its end.
struct RunResult {
    int status = -1; // exit status, 128 + signal when killed, -1 when it hung
    std::string out;
    std::string err;
};

// Runs `argv` to its end (bounded by `limit`), capturing stdout and stderr.
RunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                     std::chrono::milliseconds limit = std::chrono::seconds(120));

std::string ReadFile(const std::filesystem::path& path);

// iploc-service on a free port of 127.0.0.1, stopped with SIGTERM when destroyed.
class ServiceProcess {
public:
    // `ranges` is a CSV range table (empty: the service's built-in table only).
    explicit ServiceProcess(const std::filesystem::path& ranges = {});
    ~ServiceProcess();
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    TempDir dir_;
    std::optional<ChildProcess> process_;
    int port_ = 0;
};

// A port of 127.0.0.1 where nothing listens (bound, then closed).
int UnusedPort();

} // namespace iploc::test
