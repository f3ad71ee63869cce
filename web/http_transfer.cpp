#include "web/http_transfer.h"

#include <array>
#include <curl/curl.h>
#include <mutex>
#include <optional>

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
// requests reuse the connections cached in the multi handle. The options of the last request
// stay applied, with their header list: a thread's requests usually ask for the same ones,
// which then need neither a reset of the handle nor a single option set again.
struct ThreadHandles {
    CURLM* multi = curl_multi_init();
    CURL* easy = curl_easy_init();
    std::optional<TransferOptions> applied;
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

HttpTransfer::HttpTransfer() : state_(std::make_unique<TransferState>()) {}

HttpTransfer::~HttpTransfer() = default;

namespace {

bool SetCallbacks(CURL* easy) {
    return Set(easy, CURLOPT_SHARE, Process().share) && Set(easy, CURLOPT_NOSIGNAL, 1L) &&
           Set(easy, CURLOPT_PREREQFUNCTION, OnRequestStart) &&
           Set(easy, CURLOPT_HEADERFUNCTION, OnHeaderLine) && Set(easy, CURLOPT_WRITEFUNCTION, OnBodyBytes);
}

bool SetProxy(CURL* easy, const std::string& proxyServer) {
    // An empty proxy also keeps libcurl from taking one from the environment.
    return Set(easy, CURLOPT_PROXY, proxyServer.c_str()) && Set(easy, CURLOPT_NOPROXY, "");
}

bool SetProtocol(CURL* easy) {
    return Set(easy, CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_1}) &&
           Set(easy, CURLOPT_PROTOCOLS_STR, "http,https");
}

bool NeedsBody(const TransferOptions& options) {
    return options.withBody || options.verb == "POST" || options.verb == "PUT";
}

bool SetMethod(CURL* easy, const TransferOptions& options) {
    const std::string& verb = options.verb;
    const bool needsBody = NeedsBody(options);
    if (verb == "HEAD") {
        // No body comes back; a body sent with HEAD keeps the verb through the custom request.
        return Set(easy, CURLOPT_NOBODY, 1L) &&
               (!needsBody || Set(easy, CURLOPT_CUSTOMREQUEST, verb.c_str()));
    }
    if (verb == "POST") return Set(easy, CURLOPT_POST, 1L);
    if (verb == "GET" && !needsBody) return Set(easy, CURLOPT_HTTPGET, 1L);
    // The body (set per request) makes libcurl send it; the custom request gives the verb.
    return (needsBody || Set(easy, CURLOPT_HTTPGET, 1L)) && Set(easy, CURLOPT_CUSTOMREQUEST, verb.c_str());
}

bool SetCredentials(CURL* easy, const TransferOptions& options) {
    if (const auto& server = options.serverCredentials) {
        if (!Set(easy, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_BASIC)) ||
            !Set(easy, CURLOPT_USERNAME, server->user.c_str()) ||
            !Set(easy, CURLOPT_PASSWORD, server->password.c_str())) {
            return false;
        }
    }
    const auto& proxy = options.proxyCredentials;
    return !proxy || (Set(easy, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC)) &&
                      Set(easy, CURLOPT_PROXYUSERNAME, proxy->user.c_str()) &&
                      Set(easy, CURLOPT_PROXYPASSWORD, proxy->password.c_str()));
}

bool IgnoreCertificateErrors(CURL* easy) {
    return Set(easy, CURLOPT_SSL_VERIFYPEER, 0L) && Set(easy, CURLOPT_SSL_VERIFYHOST, 0L) &&
           Set(easy, CURLOPT_PROXY_SSL_VERIFYPEER, 0L) && Set(easy, CURLOPT_PROXY_SSL_VERIFYHOST, 0L);
}

bool SetRedirects(CURL* easy, bool follow) {
    return Set(easy, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L) &&
           Set(easy, CURLOPT_MAXREDIRS, kMaxRedirects) &&
           Set(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
}

bool SetHeaderLines(CURL* easy, const TextList& lines, HeaderList& kept) {
    HeaderList list = CurlHeaderList(lines);
    if (!list || !Set(easy, CURLOPT_HTTPHEADER, list.get())) return false;
    kept = std::move(list);
    return true;
}

// Resets the handle and makes every setting of `options`, in the order of the groups.
std::optional<OptionGroup> Apply(ThreadHandles& handles, const TransferOptions& options) {
    CURL* easy = handles.easy;
    curl_easy_reset(easy);
    if (!SetCallbacks(easy) || !SetProxy(easy, options.proxyServer)) return OptionGroup::Handle;
    if (!Set(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.timeout.count())))
        return OptionGroup::Timeout;
    if (!SetProtocol(easy)) return OptionGroup::Target;
    if (!SetMethod(easy, options)) return OptionGroup::Method;
    if (!SetCredentials(easy, options)) return OptionGroup::Credentials;
    if (!IgnoreCertificateErrors(easy)) return OptionGroup::Certificate;
    if (!SetRedirects(easy, options.followRedirects)) return OptionGroup::Redirects;
    if (!SetHeaderLines(easy, options.headerLines, handles.headerList)) return OptionGroup::Headers;
    return std::nullopt;
}

} // namespace

std::optional<OptionGroup> HttpTransfer::Configure(const RequestTarget& target,
                                                   const TransferOptions& options, std::string_view body) {
    ThreadHandles& handles = ThisThread();
    if (!Available() || handles.easy == nullptr || handles.multi == nullptr) return OptionGroup::Handle;
    if (!handles.applied || *handles.applied != options) {
        handles.applied.reset(); // a handle left half set up is set up afresh next time
        if (const auto refused = Apply(handles, options)) return refused;
        handles.applied = options;
    }
    TransferState& s = *state_;
    CURL* easy = handles.easy;
    if (!Set(easy, CURLOPT_PREREQDATA, &s) || !Set(easy, CURLOPT_HEADERDATA, &s) ||
        !Set(easy, CURLOPT_WRITEDATA, &s))
        return OptionGroup::Handle;
    if (!Set(easy, CURLOPT_CURLU, static_cast<CURLU*>(target.parsedUrl.get()))) return OptionGroup::Target;
    s.needsBody = NeedsBody(options);
    s.follow = options.followRedirects;
    s.timeout = options.timeout;
    if (s.needsBody) {
        s.bodySize = static_cast<curl_off_t>(body.size());
        if (!Set(easy, CURLOPT_POSTFIELDSIZE_LARGE, s.bodySize) ||
            !Set(easy, CURLOPT_POSTFIELDS, body.empty() ? "" : body.data())) {
            return OptionGroup::Body;
        }
    }
    s.easy = easy;
    s.multi = handles.multi;
    return std::nullopt;
}

TransferResult HttpTransfer::Perform(const std::atomic<bool>* abortFlag) {
    TransferState& s = *state_;
    if (s.easy == nullptr) return std::move(s.result); // not configured
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
