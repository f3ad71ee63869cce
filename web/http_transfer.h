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

// One request. The setters return false when the transport refuses a setting; Perform runs the
// request once. Not copyable; use on one thread only.
class HttpTransfer {
public:
    // Initialises libcurl once per process; false when it cannot do HTTPS.
    static bool Available();

    HttpTransfer();
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    bool Ready() const; // the thread's handle exists
    bool SetTarget(const RequestTarget& target);
    bool SetProxy(std::string_view proxyServer); // "host:port" or "scheme://host:port"; empty: direct
    // Resolve plus connect, send and receive each get `timeout`; a send or receive that makes no
    // progress for that long ends the request (a slow but steady transfer is never cut off).
    bool SetTimeout(std::chrono::milliseconds timeout);
    // The verb, and whether a body (possibly empty) goes with it. POST and PUT always carry one.
    bool SetMethod(std::string_view verb, bool withBody);
    bool SetServerCredentials(std::string_view user, std::string_view password); // Basic
    bool SetProxyCredentials(std::string_view user, std::string_view password);  // Basic
    bool IgnoreCertificateErrors();
    bool SetFollowRedirects(bool follow);
    // Header lines "Name: value" sent as they are, in order.
    bool SetHeaderLines(const TextList& lines);
    // The body; must stay alive until Perform returns.
    bool SetBody(std::string_view body);

    // Runs the request. When `abortFlag` becomes true the request ends within about 100 ms.
    TransferResult Perform(const std::atomic<bool>* abortFlag);

private:
    std::unique_ptr<TransferState> state_;
};

} // namespace iploc
