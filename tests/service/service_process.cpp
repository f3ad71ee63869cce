#include "service_process.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace iploc {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 10s;
constexpr auto kPollInterval = 10ms;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace

fs::path BinDir() {
    if (const char* dir = std::getenv("IPLOC_BIN_DIR"); dir && *dir) return dir;
    return fs::read_symlink("/proc/self/exe").parent_path();
}

ServiceProcess::~ServiceProcess() {
    if (pid_ > 0 && !exitStatus_) Stop();
}

bool ServiceProcess::Start(const fs::path& workDir, const std::vector<std::string>& args) {
    portFile_ = workDir / "port";
    logFile_ = workDir / "service.log";
    fs::remove(portFile_);
    const std::string program = (BinDir() / "iploc-service").string();
    std::vector<std::string> all = {program, "--port-file", portFile_.string()};
    if (std::find(args.begin(), args.end(), "--port") == args.end()) all.insert(all.end(), {"--port", "0"});
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        return false;
    }
    exitStatus_.reset();
    for (auto waited = 0ms; waited < kPatience; waited += kPollInterval) {
        std::istringstream text(ReadFile(portFile_));
        if (text >> port_ && port_ > 0) return true;
        if (Reap(0ms)) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    Stop(SIGKILL);
    return false;
}

int ServiceProcess::Stop(int signal) {
    if (pid_ <= 0) return -1;
    if (!exitStatus_) {
        ::kill(pid_, signal);
        if (!Reap(kPatience)) {
            ::kill(pid_, SIGKILL);
            Reap(kPatience);
        }
    }
    return exitStatus_.value_or(-1);
}

bool ServiceProcess::Reap(std::chrono::milliseconds timeout) {
    for (auto waited = 0ms;; waited += kPollInterval) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exitStatus_ = status;
            return true;
        }
        if (waited >= timeout) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::string ServiceProcess::log() const {
    return ReadFile(logFile_);
}

} // namespace iploc
