// The HTTP transport under WebRequest: one request on the calling thread's libcurl handle.
//
// Each thread keeps one easy handle (reset before every request, destroyed when the thread
// ends), so a thread's consecutive requests to the same host reuse one connection. TLS sessions
// and resolved names are shared by all threads; connections are not. Every request speaks
// HTTP/1.1, ignores certificate errors, keeps no cookies of its own, sends only the header lines
// it is given (besides Host and Content-Length) and can be aborted from another thread.
#pragma once

#include "text/text.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace iploc {

// Where a request is sent: an http or https URL as libcurl parsed it (no user information, no
// fragment), handed to the transport without being parsed again.
struct RequestTarget {
    std::shared_ptr<void> parsedUrl; // libcurl's URL handle
    bool secure = false;

    std::string Url() const; // the URL written out (UTF-8, escaped)
};

// Splits and checks a code page 936 URL: it needs the scheme http or https and a host. Spaces,
// control characters and non-ASCII characters behind the host are percent-encoded (as UTF-8);
// a URL without a path gets "/" before its query. Nothing when the URL is not usable.
std::optional<RequestTarget> CrackUrl(std::string_view url);

// How far a request got before it stopped.
enum class TransferStage {
    Sending,        // resolving, connecting, TLS, or sending the request
    AwaitingAnswer, // the request was sent; the final answer's head has not fully arrived
    ReadingBody,    // the final answer's head arrived; its body was being read
};

struct TransferResult {
    bool completed = false;                       // the whole final answer arrived
    bool aborted = false;                         // the abort flag ended it
    TransferStage stage = TransferStage::Sending; // where it ended (ReadingBody once answered)
    Text head;          // raw header block of the final answer: status line first, CR LF line
                        // ends, the blank line included; empty when no answer arrived
    TextList headLines; // the same lines as the transport delimited them, without line ends and
                        // without the blank line; their bytes are kept exactly as received
    Bytes body;         // the final answer's body as far as it was read

    // A final answer's head arrived (the body may still be incomplete).
    bool Answered() const { return stage == TransferStage::ReadingBody; }
};

struct TransferState;

// Basic credentials: a user and a password.
struct Credentials {
    std::string user;
    std::string password;
    bool operator==(const Credentials&) const = default;
};

// What a request asks of the transport besides its target and its body. A thread's handle keeps
// the options of its last request, so a request that asks for the same ones (the lookups send
// thousands alike) skips resetting the handle and setting every option again.
struct TransferOptions {
    std::string proxyServer; // "host:port" or "scheme://host:port"; empty: direct
    // Resolve plus connect, send and receive each get `timeout`; a send or receive that makes no
    // progress for that long ends the request (a slow but steady transfer is never cut off).
    std::chrono::milliseconds timeout{30000};
    std::string verb = "GET";
    bool withBody = false; // a body (possibly empty) goes with the verb; POST and PUT always carry one
    std::optional<Credentials> serverCredentials; // Basic
    std::optional<Credentials> proxyCredentials;  // Basic
    bool followRedirects = true;
    TextList headerLines; // "Name: value", sent as they are, in order
    bool operator==(const TransferOptions&) const = default;
};

// The groups of transport settings, in the order they are made; Configure names the one refused.
enum class OptionGroup {
    Handle, // the thread's handle, its callbacks or the proxy
    Timeout,
    Target, // the URL and the protocol
    Method,
    Credentials, // server or proxy credentials
    Certificate, // ignoring certificate errors
    Redirects,
    Headers,
    Body,
};

// One request on the calling thread's handle. Not copyable; use on one thread only.
class HttpTransfer {
public:
    // Initialises libcurl once per process; false when it cannot do HTTPS.
    static bool Available();

    HttpTransfer();
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Sets the thread's handle up for the request; the group the transport refused, if any.
    // `body` (sent only when the verb carries one) must stay alive until Perform returns.
    std::optional<OptionGroup> Configure(const RequestTarget& target, const TransferOptions& options,
                                         std::string_view body);

    // Runs the configured request. When `abortFlag` becomes true the request ends within about
    // 100 ms.
    TransferResult Perform(const std::atomic<bool>* abortFlag);

private:
    std::unique_ptr<TransferState> state_;
};

} // namespace iploc
