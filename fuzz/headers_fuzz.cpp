// The request header block, header names, cookie collection and merging, and text cutting,
// on fuzzed texts.
//
// Input: one byte of options (bits 0-2 the method, 3 complete headers, 4 normalize names,
// 5 ignore case, the byte itself as a signed start position), then header lines, cookies,
// a Set-Cookie block, a left and a right marker, separated by zero bytes.
#include "fuzz/fuzz_input.h"
#include "web/cookies.h"
#include "web/request_headers.h"
#include "web/text_pieces.h"

namespace {

using iploc::Text;
using iploc::fuzz::Expect;

void CheckHeaders(const Text& lines, const Text& cookies, std::uint8_t options) {
    const Text block = iploc::BuildRequestHeaders(lines, cookies, options & 7, options & 8, options & 16);
    (void)iploc::HeaderValue(block, "Cookie");
    const Text normalized = iploc::NormalizeHeaderNames(lines);
    Expect(iploc::NormalizeHeaderNames(normalized) == normalized, "normalized names stay as they are");
    (void)iploc::CapitalizeFirst(lines);
}

void CheckCookies(Text sent, const Text& setCookieBlock) {
    Text received;
    for (const auto& line : iploc::Split(setCookieBlock, "\r\n"))
        iploc::CollectSetCookies(line, received);
    const Text merged = iploc::MergeCookies(sent, received);
    Expect(merged == sent, "the merge is also left in the sent cookies");
    const iploc::TextList items = iploc::Split(merged, "; ");
    for (const auto& item : items)
        (void)iploc::HasCookieName(items, iploc::CookieName(item));
}

void CheckCutting(const Text& text, const Text& left, const Text& right, std::uint8_t options) {
    const std::int64_t start = static_cast<std::int8_t>(options);
    const bool ignoreCase = options & 32;
    const Text between = iploc::TextBetween(text, left, right, start, ignoreCase);
    Expect(text.find(between) != Text::npos, "the text between markers is part of the text");
    const Text before = iploc::TextBefore(text, left, start, ignoreCase);
    Expect(text.compare(0, before.size(), before) == 0, "the text before a marker starts the text");
    const Text after = iploc::TextAfter(text, right, start, ignoreCase);
    Expect(after.size() <= text.size() && text.compare(text.size() - after.size(), after.size(), after) == 0,
           "the text after a marker ends the text");
    (void)iploc::RemoveDuplicateItems(text, left, options & 64);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t options = data[0];
    const auto pieces = iploc::fuzz::Pieces(iploc::fuzz::AsView(data + 1, size - 1), 5);
    CheckHeaders(pieces[0], pieces[1], options);
    CheckCookies(pieces[1], pieces[2]);
    CheckCutting(pieces[0], pieces[3], pieces[4], options);
    return 0;
}
