// The service's answers: UTF-8 JSON bodies and their HTTP status codes.
#pragma once

#include "service/locator.h"

#include <string>
#include <string_view>

namespace iploc {

struct HttpAnswer {
    int status = 200;
    std::string body; // JSON, UTF-8
};

// The answer to GET /json?ip=<ip>; `ip` is nullptr when the request has no ip parameter.
// 200 with {"ip","country","province","city","area","isp"} (in that order) for a
// dotted-quad address, 400 with {"error","ip"} otherwise.
HttpAnswer AnswerLookup(const Locator& locator, const std::string* ip);

// {"ip":...,"country":...,"province":...,"city":...,"area":...,"isp":...}
std::string LocationJson(std::string_view ip, const Location& location);

// {"error":<error>} followed by "ip" when `ip` is given. Bytes of `ip` that are not
// UTF-8 become U+FFFD, so the body stays valid JSON whatever the client sent.
std::string ErrorJson(std::string_view error, const std::string* ip = nullptr);

bool IsValidUtf8(std::string_view text);

} // namespace iploc
