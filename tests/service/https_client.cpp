#include "https_client.h"

#include <curl/curl.h>
#include <stdexcept>

namespace iploc {

namespace {

std::size_t Append(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

void Check(CURLcode code) {
    if (code != CURLE_OK) throw std::runtime_error(curl_easy_strerror(code));
}

} // namespace

struct HttpsClient::Handle {
    struct Cleanup {
        void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    };
    std::unique_ptr<CURL, Cleanup> curl{curl_easy_init()};
};

HttpsClient::HttpsClient(int port) : handle_(std::make_unique<Handle>()), port_(port) {
    CURL* curl = handle_->curl.get();
    if (!curl) throw std::runtime_error("curl_easy_init failed");
    Check(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L));
    Check(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L));
    Check(curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L)); // bounds a hang, measures nothing
    Check(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L));
    Check(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append));
}

HttpsClient::~HttpsClient() = default;

Reply HttpsClient::Get(const std::string& target) {
    return Perform("https://127.0.0.1:" + std::to_string(port_) + target, nullptr);
}

Reply HttpsClient::GetRaw(const std::string& requestTarget) {
    return Perform("https://127.0.0.1:" + std::to_string(port_) + "/", requestTarget.c_str());
}

void HttpsClient::Trust(const std::filesystem::path& caFile) {
    CURL* curl = handle_->curl.get();
    Check(curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str()));
    Check(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L));
    Check(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L));
}

Reply HttpsClient::Perform(const std::string& url, const char* requestTarget) {
    CURL* curl = handle_->curl.get();
    Reply reply;
    Check(curl_easy_setopt(curl, CURLOPT_URL, url.c_str()));
    Check(curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, requestTarget));
    Check(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body));
    reply.curlCode = curl_easy_perform(curl);
    Check(curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status));
    Check(curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &reply.newConnections));
    const char* contentType = nullptr;
    Check(curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType));
    if (contentType) reply.contentType = contentType;
    return reply;
}

} // namespace iploc
