// Runs the real iploc-service executable for a test: on a free port of 127.0.0.1,
// learnt through --port-file, with its output kept in a log file.
#pragma once

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace iploc {

// The directory of the built executables: $IPLOC_BIN_DIR (set by CTest), else the
// directory of the running test, which the build puts next to them.
std::filesystem::path BinDir();

class ServiceProcess {
public:
    ServiceProcess() = default;
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Starts iploc-service with `args` plus a port file in `workDir` (and --port 0
    // unless `args` name a port),
    // and waits (up to 10 s) until it listens. False when it ends or times out first;
    // exitStatus() and log() then tell why.
    bool Start(const std::filesystem::path& workDir, const std::vector<std::string>& args);

    // Sends `signal` and waits up to 10 s for the process to end, then kills it.
    // Returns the wait status (see exitStatus()).
    int Stop(int signal = SIGTERM);

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // The raw wait status once the process has ended.
    std::optional<int> exitStatus() const { return exitStatus_; }
    // Everything the process wrote to stdout and stderr.
    std::string log() const;

private:
    bool Reap(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int port_ = 0;
    std::optional<int> exitStatus_;
    std::filesystem::path portFile_;
    std::filesystem::path logFile_;
};

} // namespace iploc
