#include "app/service_lookup.h"

#include "text/encoding.h"
#include "web/web_request.h"

#include <utility>

namespace iploc {

const std::array<Text, 5>& AnswerKeys() {
    static const std::array<Text, 5> keys{"country", "province", "city", "area", "isp"};
    return keys;
}

Text ResultText(const AnswerValues& values) {
    Text joined;
    for (const Text& value : values)
        joined += value;
    return joined;
}

ServiceLookup::ServiceLookup(Text urlPrefix) : urlPrefix_(std::move(urlPrefix)) {}

std::optional<AnswerValues> ServiceLookup::Attempt(const Text& address, const std::atomic<bool>* abortFlag) {
    const Text reply = WebRequest({.url = urlPrefix_ + address, .method = 0, .abortFlag = abortFlag});
    const bool parsed = json_.Parse(Utf8ToAnsi(reply));
    if (!parsed) return std::nullopt;
    AnswerValues values;
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = json_.GetText(AnswerKeys()[i]);
    json_.Clear();
    return values;
}

} // namespace iploc
