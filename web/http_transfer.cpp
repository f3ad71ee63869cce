#include "web/http_transfer.h"

#include <array>
#include <curl/curl.h>
#include <mutex>

namespace iploc {
namespace {

using Clock = std::chrono::steady_clock;

// How often a running request looks at its abort flag and its stall timer while nothing happens.
constexpr int kPollMilliseconds = 100;
// Redirects followed before a request gives up.
constexpr long kMaxRedirects = 10;

// Process-wide libcurl state: initialised once and never torn down, because detached worker
// threads may still hold handles while the process exits.
struct CurlProcess {
    bool usable = false;
    CURLSH* share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;
};

void LockShared(CURL*, curl_lock_data data, curl_lock_access, void* process) {
    static_cast<CurlProcess*>(process)->locks[data].lock();
}

void UnlockShared(CURL*, curl_lock_data data, void* process) {
    static_cast<CurlProcess*>(process)->locks[data].unlock();
}

// TLS sessions and resolved names are shared by every thread. The connection cache is not:
// libcurl does not support sharing it between threads that run at the same time.
CURLSH* MakeShare(CurlProcess& process) {
    CURLSH* share = curl_share_init();
    if (share == nullptr) return nullptr;
    const bool ok = curl_share_setopt(share, CURLSHOPT_LOCKFUNC, LockShared) == CURLSHE_OK &&
                    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, UnlockShared) == CURLSHE_OK &&
                    curl_share_setopt(share, CURLSHOPT_USERDATA, &process) == CURLSHE_OK &&
                    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) == CURLSHE_OK &&
                    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION) == CURLSHE_OK;
    if (ok) return share;
    curl_share_cleanup(share);
    return nullptr;
}

CurlProcess& Process() {
    static CurlProcess* const process = [] {
        auto* created = new CurlProcess;
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return created;
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        created->share = MakeShare(*created);
        created->usable = info != nullptr && (info->features & CURL_VERSION_SSL) != 0 && created->share;
        return created;
    }();
    return *process;
}

using HeaderList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

// The calling thread's handles, kept from its first request to its end, so that consecutive
// requests reuse the connections cached in the multi handle. The header list of the last request
// is kept too: a thread's requests usually send the same lines, which then need no new list.
struct ThreadHandles {
    CURLM* multi = curl_multi_init();
    CURL* easy = curl_easy_init();
    TextList headerLines;
    HeaderList headerList{nullptr, curl_slist_free_all};
    ~ThreadHandles() {
        if (easy != nullptr) curl_easy_cleanup(easy);
        if (multi != nullptr) curl_multi_cleanup(multi);
    }
};

ThreadHandles& ThisThread() {
    thread_local ThreadHandles handles;
    return handles;
}

template <typename Value>
bool Set(CURL* easy, CURLoption option, Value value) {
    return curl_easy_setopt(easy, option, value) == CURLE_OK;
}

bool SetText(CURL* easy, CURLoption option, std::string_view value) {
    return Set(easy, option, std::string(value).c_str()); // libcurl copies string options
}

int StatusCodeOf(std::string_view statusLine) {
    const std::size_t blank = statusLine.find(' ');
    int code = 0;
    for (std::size_t i = blank + 1; blank != std::string_view::npos && i < statusLine.size(); ++i) {
        if (statusLine[i] < '0' || statusLine[i] > '9') break;
        code = code * 10 + (statusLine[i] - '0');
    }
    return code;
}

// Headers libcurl adds by itself unless the request names them.
constexpr std::array<std::string_view, 4> kCurlOwnHeaders{"Accept", "Content-Type", "Expect",
                                                          "Proxy-Connection"};

// libcurl treats a header whose value is only blanks as "do not send this header".
bool HasBlankValue(std::string_view line, std::size_t colon) {
    return line.find_first_not_of(" \t\v\f", colon + 1) == std::string_view::npos;
}

bool Append(HeaderList& list, const char* line) {
    curl_slist* head = curl_slist_append(list.get(), line); // the same head once the list exists
    if (head == nullptr) return false;
    if (!list) list.reset(head);
    return true;
}

// The lines as libcurl is to send them, followed by the switches for its own headers.
HeaderList CurlHeaderList(const TextList& lines) {
    std::array<bool, kCurlOwnHeaders.size()> named{};
    HeaderList list(nullptr, curl_slist_free_all);
    for (const auto& line : lines) {
        // A colon (0x3A) is never the second byte of a two-byte character, so a byte search will do.
        const std::size_t colon = line.find(':');
        const std::string_view name = std::string_view(line).substr(0, colon);
        for (std::size_t i = 0; i < kCurlOwnHeaders.size(); ++i) {
            named[i] |= EqualsIgnoreCase(name, kCurlOwnHeaders[i]);
        }
        // "Name;" is libcurl's way to send a header with an empty value.
        const bool ok = HasBlankValue(line, colon) ? Append(list, (Text(name) + ";").c_str())
                                                   : Append(list, line.c_str());
        if (!ok) return {nullptr, curl_slist_free_all};
    }
    for (std::size_t i = 0; i < kCurlOwnHeaders.size(); ++i) {
        if (!named[i] && !Append(list, (Text(kCurlOwnHeaders[i]) + ":").c_str())) {
            return {nullptr, curl_slist_free_all};
        }
    }
    return list;
}

} // namespace

struct TransferState {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    bool needsBody = false;
    bool follow = true;
    curl_off_t bodySize = 0;
    std::chrono::milliseconds timeout{30000};

    // What the running request has seen so far.
    TransferResult result;
    bool requestStarted = false; // connected (through any tunnel) and sending
    bool headStarted = false;
    bool headComplete = false;
    int status = 0;
    curl_off_t uploaded = 0;
    Clock::time_point lastActivity;

    void Touch() { lastActivity = Clock::now(); }
    bool Stalled() {
        curl_off_t sent = 0;
        if (curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent) == CURLE_OK && sent != uploaded) {
            uploaded = sent;
            Touch();
        }
        return Clock::now() - lastActivity > timeout;
    }
    void Classify(CURLcode code);
};

namespace {

// Called once the connection (and any proxy tunnel) is ready, before each request is sent,
// also for every redirect hop: what arrived before belongs to no answer of ours.
int OnRequestStart(void* user, char*, char*, int, int) {
    auto& state = *static_cast<TransferState*>(user);
    state.requestStarted = true;
    state.headStarted = state.headComplete = false;
    state.result.head.clear();
    state.result.headLines.clear();
    state.result.body.clear();
    state.Touch();
    return CURL_PREREQFUNC_OK;
}

std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
    auto& state = *static_cast<TransferState*>(user);
    const std::size_t length = size * count;
    state.Touch();
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.starts_with("HTTP/")) { // a new answer: interim (1xx), tunnel, redirect or final
        state.result.head.clear();
        state.result.headLines.clear();
        state.result.body.clear();
        state.headStarted = true;
        state.headComplete = false;
        state.status = StatusCodeOf(line);
    } else if (state.headComplete || !state.headStarted) {
        return length; // trailers behind a chunked body are not part of the head
    }
    state.result.head.append(line).append("\r\n");
    if (!line.empty()) state.result.headLines.emplace_back(line);
    if (line.empty() && state.status >= 200) state.headComplete = true;
    return length;
}

std::size_t OnBodyBytes(char* data, std::size_t size, std::size_t count, void* user) {
    auto& state = *static_cast<TransferState*>(user);
    state.result.body.append(data, size * count);
    state.Touch();
    return size * count;
}

CURLcode DoneCode(CURLM* multi, CURL* easy) {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) return message->data.result;
    }
    return CURLE_RECV_ERROR;
}

} // namespace

// Decides how far the request got. A final answer's head makes it answered even when the body
// broke off; a proxy's refusal of the tunnel counts as the answer too. A redirect that was to
// be followed but failed is no answer.
void TransferState::Classify(CURLcode code) {
    long tunnelCode = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &tunnelCode);
    char* redirect = nullptr;
    curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &redirect);
    const bool redirectPending = follow && status / 100 == 3 && redirect != nullptr;
    const bool tunnelRefused = !requestStarted && tunnelCode >= 400;
    if (headComplete && (requestStarted || tunnelRefused) && !redirectPending) {
        result.stage = TransferStage::ReadingBody;
        result.completed = code == CURLE_OK;
        return;
    }
    result.head.clear();
    result.headLines.clear();
    result.body.clear();
    if (!requestStarted) {
        result.stage = TransferStage::Sending;
    } else if (headStarted || redirectPending) {
        result.stage = TransferStage::AwaitingAnswer;
    } else if (code == CURLE_SEND_ERROR || uploaded < bodySize) {
        result.stage = TransferStage::Sending;
    } else {
        result.stage = TransferStage::AwaitingAnswer;
    }
}

bool HttpTransfer::Available() {
    return Process().usable;
}

HttpTransfer::HttpTransfer() : state_(std::make_unique<TransferState>()) {
    if (!Available()) return;
    ThreadHandles& handles = ThisThread();
    if (handles.easy == nullptr || handles.multi == nullptr) return;
    curl_easy_reset(handles.easy);
    TransferState& s = *state_;
    const bool ok =
        Set(handles.easy, CURLOPT_SHARE, Process().share) && Set(handles.easy, CURLOPT_NOSIGNAL, 1L) &&
        Set(handles.easy, CURLOPT_PREREQFUNCTION, OnRequestStart) &&
        Set(handles.easy, CURLOPT_PREREQDATA, &s) &&
        Set(handles.easy, CURLOPT_HEADERFUNCTION, OnHeaderLine) &&
        Set(handles.easy, CURLOPT_HEADERDATA, &s) && Set(handles.easy, CURLOPT_WRITEFUNCTION, OnBodyBytes) &&
        Set(handles.easy, CURLOPT_WRITEDATA, &s) && SetText(handles.easy, CURLOPT_PROXY, "");
    if (!ok) return;
    s.easy = handles.easy;
    s.multi = handles.multi;
}

HttpTransfer::~HttpTransfer() = default;

bool HttpTransfer::Ready() const {
    return state_->easy != nullptr;
}

bool HttpTransfer::SetTarget(const RequestTarget& target) {
    CURL* easy = state_->easy;
    return Set(easy, CURLOPT_CURLU, static_cast<CURLU*>(target.parsedUrl.get())) &&
           Set(easy, CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_1}) &&
           Set(easy, CURLOPT_PROTOCOLS_STR, "http,https");
}

bool HttpTransfer::SetProxy(std::string_view proxyServer) {
    // An empty proxy also keeps libcurl from taking one from the environment.
    return SetText(state_->easy, CURLOPT_PROXY, proxyServer) && SetText(state_->easy, CURLOPT_NOPROXY, "");
}

bool HttpTransfer::SetTimeout(std::chrono::milliseconds timeout) {
    state_->timeout = timeout;
    return Set(state_->easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()));
}

bool HttpTransfer::SetMethod(std::string_view verb, bool withBody) {
    TransferState& s = *state_;
    s.needsBody = withBody || verb == "POST" || verb == "PUT";
    if (verb == "HEAD") {
        // No body comes back; a body sent with HEAD keeps the verb through the custom request.
        return Set(s.easy, CURLOPT_NOBODY, 1L) && (!withBody || SetText(s.easy, CURLOPT_CUSTOMREQUEST, verb));
    }
    if (verb == "POST") return Set(s.easy, CURLOPT_POST, 1L);
    if (verb == "GET" && !s.needsBody) return Set(s.easy, CURLOPT_HTTPGET, 1L);
    // The body (set later) makes libcurl send it; the custom request gives the verb.
    return (s.needsBody || Set(s.easy, CURLOPT_HTTPGET, 1L)) && SetText(s.easy, CURLOPT_CUSTOMREQUEST, verb);
}

bool HttpTransfer::SetServerCredentials(std::string_view user, std::string_view password) {
    CURL* easy = state_->easy;
    return Set(easy, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_BASIC)) &&
           SetText(easy, CURLOPT_USERNAME, user) && SetText(easy, CURLOPT_PASSWORD, password);
}

bool HttpTransfer::SetProxyCredentials(std::string_view user, std::string_view password) {
    CURL* easy = state_->easy;
    return Set(easy, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC)) &&
           SetText(easy, CURLOPT_PROXYUSERNAME, user) && SetText(easy, CURLOPT_PROXYPASSWORD, password);
}

bool HttpTransfer::IgnoreCertificateErrors() {
    CURL* easy = state_->easy;
    return Set(easy, CURLOPT_SSL_VERIFYPEER, 0L) && Set(easy, CURLOPT_SSL_VERIFYHOST, 0L) &&
           Set(easy, CURLOPT_PROXY_SSL_VERIFYPEER, 0L) && Set(easy, CURLOPT_PROXY_SSL_VERIFYHOST, 0L);
}

bool HttpTransfer::SetFollowRedirects(bool follow) {
    CURL* easy = state_->easy;
    state_->follow = follow;
    return Set(easy, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L) &&
           Set(easy, CURLOPT_MAXREDIRS, kMaxRedirects) &&
           Set(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
}

bool HttpTransfer::SetHeaderLines(const TextList& lines) {
    ThreadHandles& handles = ThisThread();
    if (!handles.headerList || lines != handles.headerLines) {
        HeaderList list = CurlHeaderList(lines);
        if (!list) return false;
        handles.headerList = std::move(list);
        handles.headerLines = lines;
    }
    return Set(state_->easy, CURLOPT_HTTPHEADER, handles.headerList.get());
}

bool HttpTransfer::SetBody(std::string_view body) {
    TransferState& s = *state_;
    if (!s.needsBody) return true;
    s.bodySize = static_cast<curl_off_t>(body.size());
    return Set(s.easy, CURLOPT_POSTFIELDSIZE_LARGE, s.bodySize) &&
           Set(s.easy, CURLOPT_POSTFIELDS, body.empty() ? "" : body.data());
}

TransferResult HttpTransfer::Perform(const std::atomic<bool>* abortFlag) {
    TransferState& s = *state_;
    s.Touch();
    if (curl_multi_add_handle(s.multi, s.easy) != CURLM_OK) return s.result;
    CURLcode code = CURLE_OK;
    for (;;) {
        if (abortFlag != nullptr && abortFlag->load()) {
            s.result.aborted = true;
            break;
        }
        int running = 0;
        if (curl_multi_perform(s.multi, &running) != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            code = DoneCode(s.multi, s.easy);
            break;
        }
        if (s.Stalled()) {
            code = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        if (curl_multi_poll(s.multi, nullptr, 0, kPollMilliseconds, nullptr) != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            break;
        }
    }
    // Removing a handle in the middle of a transfer ends it and closes its connection.
    curl_multi_remove_handle(s.multi, s.easy);
    s.Classify(s.result.aborted ? CURLE_ABORTED_BY_CALLBACK : code);
    return std::move(s.result);
}

} // namespace iploc
