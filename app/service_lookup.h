// One lookup attempt at the location service, shared by the single lookup and the batch run.
#pragma once

#include "text/text.h"

#include "json/json_object.h"
#include <array>
#include <atomic>
#include <optional>

namespace iploc {

// The values of the answer keys "country", "province", "city", "area", "isp", in this order.
using AnswerValues = std::array<Text, 5>;

// The answer keys, in the order above.
const std::array<Text, 5>& AnswerKeys();

// The five values joined without any separator: the single lookup's result text.
Text ResultText(const AnswerValues& values);

// Owns the JSON object of one workflow run; use it on one thread.
class ServiceLookup {
public:
    // `urlPrefix` is ServiceUrlPrefix(settings).
    explicit ServiceLookup(Text urlPrefix);

    // GET of urlPrefix + address (neither trimmed nor escaped), the reply converted from
    // UTF-8 to code page 936 and parsed as JSON; the five values when it parses, else
    // nullopt. Only the parse decides: the request's own outcome is not examined.
    // `abortFlag`, when set, aborts the request in flight.
    std::optional<AnswerValues> Attempt(const Text& address, const std::atomic<bool>* abortFlag = nullptr);

private:
    Text urlPrefix_;
    JsonObject json_;
};

} // namespace iploc
