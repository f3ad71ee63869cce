// iploc-service: a small HTTPS location service for local use, demos and tests.
// Answers GET /json?ip=ADDRESS on 127.0.0.1 (see docs/service.md).
#include "service/certificate.h"
#include "service/data_dir.h"
#include "service/https_server.h"
#include "service/range_file.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <pthread.h>
#include <signal.h>
#include <thread>

namespace iploc {
namespace {

constexpr auto kGracePeriod = std::chrono::milliseconds(500);

struct Options {
    int port = 8443;
    std::string bindAddress = "127.0.0.1";
    std::string rangeFile;
    std::string dataDir;
    std::string portFile;
    bool verbose = false;
};

int Fail(const std::string& message) {
    std::cerr << "iploc-service: " << message << "\n";
    return 1;
}

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

// Waits for SIGINT or SIGTERM on its own thread and stops the server. The signals
// must be blocked in every thread (BlockStopSignals) so that only sigwait sees them.
class StopOnSignal {
public:
    explicit StopOnSignal(HttpsServer& server) : thread_([this, &server] { Watch(server); }) {}
    ~StopOnSignal() {
        done_ = true;
        pthread_kill(thread_.native_handle(), SIGTERM); // wakes sigwait if no signal came
        thread_.join();
    }

private:
    void Watch(HttpsServer& server) {
        const sigset_t signals = StopSignals();
        int signal = 0;
        sigwait(&signals, &signal);
        // A stop before the server runs has no effect, so keep asking until it has ended.
        // Requests in flight get a moment to finish; then idle keep-alive connections
        // are cut instead of waiting out their time-out.
        const auto graceEnd = std::chrono::steady_clock::now() + kGracePeriod;
        while (!done_) {
            server.Stop();
            if (std::chrono::steady_clock::now() >= graceEnd) HttpsServer::DropConnections();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::atomic<bool> done_ = false;
    std::thread thread_;
};

void BlockStopSignals() {
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that drops its connection must not end the service.
    signal(SIGPIPE, SIG_IGN);
}

// Written whole under a temporary name and renamed, so a reader never sees half a number.
bool WritePortFile(const std::string& path, int port) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << port << "\n";
        if (!out.flush()) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    return !ec;
}

bool LoadLocator(const Options& options, Locator& locator, std::string& error) {
    if (options.rangeFile.empty()) return true;
    auto table = LoadRangeFile(options.rangeFile, error);
    if (!table) return false;
    locator = Locator(std::move(*table));
    return true;
}

std::optional<CertificateFiles> PrepareCertificate(const Options& options, std::string& error) {
    auto dir = options.dataDir.empty() ? DefaultDataDir() : std::filesystem::path(options.dataDir);
    if (!dir) {
        error = "no data directory: set HOME or XDG_DATA_HOME, or give --data-dir";
        return std::nullopt;
    }
    auto files = EnsureCertificate(*dir, error);
    if (files && !CheckCertificate(*files, error)) return std::nullopt;
    return files;
}

void LogStart(const Options& options, int port, const Locator& locator, const CertificateFiles& files) {
    std::cerr << "iploc-service: listening on https://" << options.bindAddress << ":" << port << "/json?ip= ("
              << locator.loadedRanges() << " ranges"
              << (options.rangeFile.empty() ? std::string() : " from " + options.rangeFile)
              << "; certificate " << files.certificate.string() << (files.created ? ", newly made" : "")
              << ")" << std::endl;
}

int Serve(const Options& options) {
    BlockStopSignals();
    std::string error;
    Locator locator;
    if (!LoadLocator(options, locator, error)) return Fail(error);
    const auto certificate = PrepareCertificate(options, error);
    if (!certificate) return Fail(error);
    HttpsServer server(locator, *certificate, options.verbose);
    if (!server.IsValid()) return Fail("cannot set up TLS with " + certificate->certificate.string());
    const int port = server.Bind(options.bindAddress, options.port);
    if (port < 0) return Fail("cannot listen on " + options.bindAddress + ":" + std::to_string(options.port));
    if (!options.portFile.empty() && !WritePortFile(options.portFile, port))
        return Fail("cannot write the port file " + options.portFile);
    LogStart(options, port, locator, *certificate);
    bool served = false;
    {
        StopOnSignal stopOnSignal(server);
        served = server.Run();
    }
    return served ? 0 : Fail("serving stopped on a fault");
}

} // namespace
} // namespace iploc

int main(int argc, char** argv) {
    iploc::Options options;
    CLI::App app{
        "iploc-service: answers GET /json?ip=ADDRESS over HTTPS with the address's location as JSON."};
    app.add_option("--port", options.port, "Port to listen on; 0 picks a free one")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_option("--bind", options.bindAddress, "Address to listen on")->capture_default_str();
    app.add_option("--ranges", options.rangeFile, "CSV range table: start,end,country,province,city,area,isp")
        ->check(CLI::ExistingFile);
    app.add_option("--data-dir", options.dataDir,
                   "Where cert.pem and key.pem are kept (default: $XDG_DATA_HOME/iploc-service "
                   "or ~/.local/share/iploc-service)");
    app.add_option("--port-file", options.portFile, "Write the bound port to this file once listening");
    app.add_flag("--verbose", options.verbose, "Log every request to stderr");
    CLI11_PARSE(app, argc, argv);
    return iploc::Serve(options);
}
