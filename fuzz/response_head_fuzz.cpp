// The raw header block of an answer, as WebRequest takes it apart: the status text, the
// Location value and the Set-Cookie lines collected and merged into the cookies sent.
// WebRequest keeps that step to itself, so the same calls are made here over the lines.
//
// Input: the cookies sent, a zero byte, then the header block as it came off the wire.
#include "fuzz/fuzz_input.h"
#include "text/text.h"
#include "web/cookies.h"
#include "web/request_headers.h"

namespace {

using iploc::Text;
using iploc::fuzz::Expect;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto pieces = iploc::fuzz::Pieces(iploc::fuzz::AsView(data, size), 2);
    Text sent = pieces[0];
    const Text& head = pieces[1];

    Text received;
    Text location;
    for (const auto& line : iploc::Split(head, "\r\n")) {
        iploc::CollectSetCookies(line, received);
        if (iploc::StartsWith(line, "Location: ", true)) location = line.substr(10);
    }
    Expect(received.empty() || iploc::EndsWith(received, "; "), "every collected cookie ends in \"; \"");
    if (iploc::EndsWith(received, "; ")) received.resize(received.size() - 2);
    (void)iploc::HeaderValue(head, "Location");
    (void)iploc::HeaderValue(head, "Set-Cookie");
    const Text merged = iploc::MergeCookies(sent, received);
    Expect(merged == sent, "the merge is also left in the sent cookies");
    return 0;
}
