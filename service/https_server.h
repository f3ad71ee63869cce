// The HTTPS front of the service: GET /json?ip=ADDRESS answered from a Locator.
#pragma once

#include "service/certificate.h"
#include "service/locator.h"

#include <memory>
#include <string>

namespace iploc {

class HttpsServer {
public:
    // `locator` must outlive the server. With `verbose`, every request is logged to stderr.
    HttpsServer(const Locator& locator, const CertificateFiles& certificate, bool verbose);
    ~HttpsServer();
    HttpsServer(const HttpsServer&) = delete;
    HttpsServer& operator=(const HttpsServer&) = delete;

    // False when the certificate could not be set up.
    bool IsValid() const;

    // Binds and starts listening on `address`:`port` (0 = a free port). Returns the
    // bound port, or -1 when the address cannot be bound.
    int Bind(const std::string& address, int port);

    // Serves connections until Stop(). False when serving ended on a fault.
    bool Run();

    // Stops taking connections and makes Run() return once the open ones have ended.
    // Safe from any thread; has no effect before Run() has begun.
    void Stop();
    // Shuts down every open client connection, so that Run() need not wait for idle
    // keep-alive connections to time out. Meant for after Stop(), once requests in
    // flight have had a moment to finish.
    static void DropConnections();
    bool IsRunning() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace iploc
