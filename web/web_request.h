// WebRequest: one HTTP or HTTPS request, synchronous on the calling thread, returning the
// answer's body as code page 936 text (empty on every failure).
//
// The request carries the default header block (request_headers.h) and the caller's cookies;
// the answer's cookies, raw headers, redirect target, status and raw body can be asked for.
// A status of 400 or above is an answer like any other. A failure leaves a numbered text
// (such as "712 服务器未响应!") in `statusText`; see docs/web.md for what each number means here.
// Consecutive calls on one thread reuse their connection; nothing else survives a call.
#pragma once

#include "text/text.h"

#include <atomic>

namespace iploc {

// The request's parameters, in their fixed order; any of them may be left out, e.g.
// WebRequest({.url = address, .method = 0}). Every member has a default initializer, so that
// leaving members out of a designated initializer draws no warning. Pointers are the caller's variables:
// nullptr means left out (not read, not written); in/out parameters read their input from *ptr.
struct WebRequestParams {
    Text url{};                       // 1 scheme http or https
    int method = 0;                   // 2 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE,
                                      //   6 TRACE, 7 CONNECT; any other value GET
    Text postText{};                  // 3 body, used when postBytes is empty
    Text* cookies = nullptr;          // 4 in/out "a=1; b=2" to send; receives the merge
    Text* returnedCookies = nullptr;  // 5 in/out the answer's cookies are appended
    Text extraHeaders{};              // 6 request header lines separated by CR LF
    Text* returnedHeaders = nullptr;  // 7 out the answer's raw header block
    bool noRedirect = false;          // 8 do not follow redirects
    Text serverUser{};                // 9 Basic credentials for the server (both or none)
    Text serverPassword{};            // 10
    Text proxy{};                     // 11 "host:port"; empty: direct
    Text proxyUser{};                 // 12 Basic credentials for the proxy (both or none)
    Text proxyPassword{};             // 13
    int timeoutSeconds = 0;           // 14 0 or less: 30 seconds
    Text* location = nullptr;         // 15 out the answer's Location value
    Text* statusText = nullptr;       // 16 out "200 OK", or a numbered failure text
    Bytes* responseBytes = nullptr;   // 17 out the body, unconverted
    bool mergeCookies = true;         // 18 merge the received cookies into *cookies
    bool completeHeaders = true;      // 19 add the default headers the caller did not give
    Bytes postBytes{};                // 20 body as bytes; wins over postText when not empty
    bool normalizeHeaderNames = true; // 21 rewrite request header names with capitals
    // Transport extension, not one of the 21: when it becomes true, the call in flight is aborted
    // within about a second (it is looked at while the call waits) and returns empty text, with
    // the failure text of the step it was in.
    const std::atomic<bool>* abortFlag = nullptr;
};

Text WebRequest(const WebRequestParams& params);

// The step of WebRequest that reads an answer's head, given its header lines as the transport
// delimited them (without line ends, status line first): writes `statusText` (from the status
// line's 10th character), `location` (the last "Location: " line), appends the Set-Cookie items
// to `returnedCookies` and merges them into `cookies` when asked, as WebRequest does.
void ReadAnswerHead(const WebRequestParams& params, const TextList& headLines);

} // namespace iploc
