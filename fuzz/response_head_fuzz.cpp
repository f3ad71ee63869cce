// The raw header block of an answer, taken apart by WebRequest's own answer-head step: the
// status text, the Location value and the Set-Cookie lines collected and merged into the
// cookies sent.
//
// Input: the cookies sent, a zero byte, then the header block as it came off the wire.
#include "fuzz/fuzz_input.h"
#include "text/text.h"
#include "web/request_headers.h"
#include "web/web_request.h"

namespace {

using iploc::Text;
using iploc::fuzz::Expect;

// The lines as the transport delimits them: at every CR LF, byte for byte, blank lines left out.
iploc::TextList HeadLines(const Text& head) {
    iploc::TextList lines;
    std::size_t start = 0;
    for (std::size_t end; (end = head.find("\r\n", start)) != Text::npos; start = end + 2) {
        if (end > start) lines.push_back(head.substr(start, end - start));
    }
    if (start < head.size()) lines.push_back(head.substr(start));
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto pieces = iploc::fuzz::Pieces(iploc::fuzz::AsView(data, size), 2);
    Text sent = pieces[0];
    const Text& head = pieces[1];

    Text received, location, statusText;
    iploc::ReadAnswerHead({.cookies = &sent,
                           .returnedCookies = &received,
                           .location = &location,
                           .statusText = &statusText,
                           .mergeCookies = true},
                          HeadLines(head));
    Expect(sent.empty() || received == sent, "the merge is also left in the sent cookies");
    (void)iploc::HeaderValue(head, "Location");
    (void)iploc::HeaderValue(head, "Set-Cookie");
    return 0;
}
