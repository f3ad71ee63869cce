// A real forward proxy for tests: Debian's tinyproxy, started on a free port of 127.0.0.1 with a
// configuration written to a temporary directory, and stopped when the object goes. It forwards
// plain http requests (adding a "Via" header) and tunnels https through CONNECT to any port.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace iploc::test {

class TinyProxy {
public:
    struct Credentials {
        std::string user;
        std::string password;
    };

    // An open proxy, or one that demands these Basic credentials (407 without them).
    // Throws std::runtime_error when tinyproxy cannot be started.
    explicit TinyProxy(std::optional<Credentials> basicAuth = std::nullopt);
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    // What tinyproxy has logged so far (connections and requests at level Connect).
    std::string Log() const;

private:
    bool TryStart(const std::optional<Credentials>& basicAuth);
    void Terminate();

    std::string directory_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

} // namespace iploc::test
