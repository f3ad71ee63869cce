#include "web/web_request.h"

#include "regex/regex_object.h"
#include "text/encoding.h"
#include "web/cookies.h"
#include "web/http_transfer.h"
#include "web/proxy_setting.h"
#include "web/request_headers.h"
#include "web/response_text.h"

#include <array>
#include <chrono>
#include <optional>

namespace iploc {
namespace {

enum class Failure {
    Platform,    // 700
    Url,         // 701
    Session,     // 702
    Connection,  // 703
    Request,     // 704
    Timeouts,    // 705
    Credentials, // 707
    Certificate, // no number
    Redirects,   // 709
    Headers,     // 710
    Send,        // 711
    NoAnswer,    // 712
    Read,        // 713
};

const Text& FailureText(Failure failure) {
    static const std::array<Text, 13> texts{
        Utf8ToText("700 当前系统不支持WinHttp服务!"),
        Utf8ToText("701 解析URL地址失败!"),
        Utf8ToText("702 创建WinHttp会话失败!"),
        Utf8ToText("703 创建WinHttp连接失败!"),
        Utf8ToText("704 创建WinHttp请求失败!"),
        Utf8ToText("705 设置超时时间失败!"),
        Utf8ToText("707 设置代理凭证失败!"),
        Utf8ToText("忽略错误/证书错误  失败！"),
        Utf8ToText("709 重定向设置失败!"),
        Utf8ToText("710 设置协议头失败!"),
        Utf8ToText("711 发送请求失败!"),
        Utf8ToText("712 服务器未响应!"),
        Utf8ToText("713 读取数据失败!"),
    };
    return texts[static_cast<std::size_t>(failure)];
}

// A failed call reports in statusText alone and returns empty text.
Text Fail(const WebRequestParams& params, Failure failure) {
    if (params.statusText != nullptr) *params.statusText = FailureText(failure);
    return {};
}

Failure FailureAt(TransferStage stage) {
    switch (stage) {
    case TransferStage::Sending:
        return Failure::Send;
    case TransferStage::AwaitingAnswer:
        return Failure::NoAnswer;
    case TransferStage::ReadingBody:
        break;
    }
    return Failure::Read;
}

constexpr int kMethodPost = 1;

std::string_view VerbOf(int method) {
    static constexpr std::array<std::string_view, 8> verbs{"GET",     "POST",   "HEAD",  "PUT",
                                                           "OPTIONS", "DELETE", "TRACE", "CONNECT"};
    return method >= 0 && method < static_cast<int>(verbs.size()) ? verbs[method] : verbs[0];
}

std::chrono::milliseconds TimeoutOf(int seconds) {
    return std::chrono::milliseconds(seconds > 0 ? std::int64_t{seconds} * 1000 : 30000);
}

// Text is read up to its first zero byte; bytes are taken whole.
std::string_view AsText(const Text& text) {
    return std::string_view(text).substr(0, text.find('\0'));
}

// Credentials are offered only when both halves of the pair are given.
std::optional<Credentials> CredentialsOf(const Text& user, const Text& password) {
    const auto userText = AsText(user), passwordText = AsText(password);
    if (userText.empty() || passwordText.empty()) return std::nullopt;
    return Credentials{std::string(userText), std::string(passwordText)};
}

// The block's lines as they go on the wire. Empty lines are skipped; a line without a name and
// colon, or with a stray CR, LF or zero byte inside, cannot be sent and refuses the whole block.
std::optional<TextList> LinesToSend(const Text& block) {
    TextList lines;
    for (auto& line : Split(block, "\r\n")) {
        if (line.empty()) continue;
        const std::size_t colon = line.find(':');
        if (colon == 0 || colon == Text::npos ||
            line.find_first_of(std::string_view("\r\n\0", 3)) != Text::npos) {
            return std::nullopt;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// The header lines of a request. Without caller lines and cookies the block depends only on
// whether the method is POST and on the two header flags, so those eight blocks are built once
// (the lookups send one of them with every request).
std::optional<TextList> HeaderLines(const WebRequestParams& params) {
    const std::string_view cookies = params.cookies != nullptr ? AsText(*params.cookies) : std::string_view();
    if (!params.extraHeaders.empty() || !cookies.empty()) {
        return LinesToSend(BuildRequestHeaders(params.extraHeaders, cookies, params.method,
                                               params.completeHeaders, params.normalizeHeaderNames));
    }
    static const auto plainBlocks = [] {
        std::array<std::optional<TextList>, 8> blocks;
        for (int i = 0; i < 8; ++i) {
            blocks[i] = LinesToSend(BuildRequestHeaders("", "", (i & 1) ? kMethodPost : 0, i & 2, i & 4));
        }
        return blocks;
    }();
    return plainBlocks[(params.method == kMethodPost ? 1 : 0) + (params.completeHeaders ? 2 : 0) +
                       (params.normalizeHeaderNames ? 4 : 0)];
}

// From the status line's 10th character to its end: "200 OK" for "HTTP/1.1 200 OK".
Text StatusTextOf(const TextList& headLines) {
    return headLines.empty() ? Text{} : Mid(headLines[0], 10, headLines[0].size());
}

// The body as text. ResponseText's charset search can only match where "<meta" (in any case)
// stands in the first 1024 bytes; without it (every JSON answer) the text is the body up to its
// first zero byte, and the pattern compilation and UTF-16 conversion of the search are skipped.
// The check is a plain byte search on purpose: a character-wise search could step over a "<meta"
// behind a stray lead byte that the charset search would still see.
Text BodyText(const Bytes& body, RegexObject& regex) {
    if (ToLowerAscii(Left(body, 1024)).find("<meta") == Text::npos) return body.substr(0, body.find('\0'));
    return ResponseText(body, regex);
}

// The raw headers, the status, the cookies, the redirect target and the body of an answer.
Text DeliverAnswer(const WebRequestParams& params, const TransferResult& answer, RegexObject& regex) {
    if (params.returnedHeaders != nullptr) *params.returnedHeaders = answer.head;
    // The lines as the transport delimited them: header bytes that are not well-formed code page
    // 936 (say, UTF-8 in a cookie value) can then never swallow a line break.
    ReadAnswerHead(params, answer.headLines);
    if (params.responseBytes != nullptr) *params.responseBytes = answer.body;
    return BodyText(answer.body, regex);
}

Failure FailureOf(OptionGroup group) {
    switch (group) {
    case OptionGroup::Handle:
        return Failure::Session;
    case OptionGroup::Timeout:
        return Failure::Timeouts;
    case OptionGroup::Target:
        return Failure::Connection;
    case OptionGroup::Method:
        return Failure::Request;
    case OptionGroup::Credentials:
        return Failure::Credentials;
    case OptionGroup::Certificate:
        return Failure::Certificate;
    case OptionGroup::Redirects:
        return Failure::Redirects;
    case OptionGroup::Headers:
        return Failure::Headers;
    case OptionGroup::Body:
        break;
    }
    return Failure::Send;
}

// Everything up to the sending of the request; the failure that stops it, if any. Certificate
// errors are always ignored; the transport keeps no cookies of its own, so there is no cookie
// handling to switch off.
std::optional<Failure> Prepare(HttpTransfer& transfer, const RequestTarget& target,
                               const WebRequestParams& params, std::string_view body) {
    auto lines = HeaderLines(params);
    if (!lines) return Failure::Headers;
    TransferOptions options{
        .proxyServer = ProxyServerFor(ProxySetting(AsText(params.proxy), target.secure),
                                      target.secure ? "https" : "http"),
        .timeout = TimeoutOf(params.timeoutSeconds),
        .verb = std::string(VerbOf(params.method)),
        .withBody = !body.empty(),
        .serverCredentials = CredentialsOf(params.serverUser, params.serverPassword),
        .proxyCredentials = CredentialsOf(params.proxyUser, params.proxyPassword),
        .followRedirects = !params.noRedirect,
        .headerLines = std::move(*lines),
    };
    if (const auto refused = transfer.Configure(target, options, body)) return FailureOf(*refused);
    return std::nullopt;
}

} // namespace

Text WebRequest(const WebRequestParams& params) {
    RegexObject regex; // serves ResponseText's charset search
    if (!HttpTransfer::Available()) return Fail(params, Failure::Platform);
    const auto target = CrackUrl(params.url);
    if (!target) return Fail(params, Failure::Url);
    const std::string_view body =
        params.postBytes.empty() ? AsText(params.postText) : std::string_view(params.postBytes);
    HttpTransfer transfer;
    if (const auto failure = Prepare(transfer, *target, params, body)) return Fail(params, *failure);
    const TransferResult answer = transfer.Perform(params.abortFlag);
    // Pending window events would be served before a failure exit; worker threads have none.
    if (answer.aborted || !answer.Answered()) return Fail(params, FailureAt(answer.stage));
    const Text text = DeliverAnswer(params, answer, regex);
    // Pending window events would be served before the handles close; worker threads have none.
    return text;
}

void ReadAnswerHead(const WebRequestParams& params, const TextList& headLines) {
    // This also replaces the 713 text of a body that broke off: the answer is what counts.
    if (params.statusText != nullptr) *params.statusText = StatusTextOf(headLines);
    Text received = params.returnedCookies != nullptr ? *params.returnedCookies : Text{};
    // Cookies the variable already holds stay separate items (a trailing "; " is removed again below).
    if (!received.empty() && !EndsWith(received, "; ")) received.append(EndsWith(received, ";") ? " " : "; ");
    for (const auto& line : headLines) {
        CollectSetCookies(line, received);
        if (params.location != nullptr && StartsWith(line, "Location: ", true))
            *params.location = line.substr(10);
        // Pending window events would be served here; worker threads have no window.
    }
    if (EndsWith(received, "; ")) received.resize(received.size() - 2);
    if (params.mergeCookies && params.cookies != nullptr && !params.cookies->empty()) {
        received = MergeCookies(*params.cookies, received);
    }
    if (params.returnedCookies != nullptr) *params.returnedCookies = received;
}

} // namespace iploc
