// A libcurl client for the service tests: GET requests to 127.0.0.1:<port> over one
// reused connection (as the lookup tool sends them), the certificate not checked
// unless a trusted certificate file is given.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace iploc {

struct Reply {
    int curlCode = 0; // CURLE_OK = 0
    long status = 0;
    std::string body;
    std::string contentType;
    long newConnections = 0; // connections opened for this request (0 = reused)
};

class HttpsClient {
public:
    explicit HttpsClient(int port);
    ~HttpsClient();

    // GET https://127.0.0.1:<port><target>.
    Reply Get(const std::string& target);
    // Sends `requestTarget` verbatim in the request line, blanks and all, which a URL
    // cannot carry.
    Reply GetRaw(const std::string& requestTarget);
    // Checks the server's certificate against `caFile` from now on.
    void Trust(const std::filesystem::path& caFile);

private:
    Reply Perform(const std::string& url, const char* requestTarget);

    struct Handle;
    std::unique_ptr<Handle> handle_;
    int port_;
};

} // namespace iploc
