// ResponseText over an answer body, and the code-page conversions over the same bytes.
#include "fuzz/fuzz_input.h"
#include "regex/regex_object.h"
#include "text/encoding.h"
#include "web/response_text.h"

namespace {

using iploc::Bytes;
using iploc::Text;
using iploc::fuzz::Expect;

void Convert(std::string_view bytes) {
    const Text fromUtf8 = iploc::Utf8ToAnsi(bytes);
    Expect(fromUtf8.find('\0') == Text::npos, "converted text holds no zero byte");
    const Bytes utf16 = iploc::AnsiToUtf16(bytes);
    Expect(utf16.size() % 2 == 0, "UTF-16 buffers hold whole units");
    (void)iploc::AnsiToUtf16(bytes, true);
    (void)iploc::Utf16ToAnsi(bytes);
    (void)iploc::Utf16ToAnsi(utf16);
    (void)iploc::MultiByteToUtf16(bytes, iploc::kCodePageUtf8);
    (void)iploc::TextToUtf16(bytes);
    (void)iploc::CutUtf16AtNul(bytes, true);
    (void)iploc::Utf16ToMultiByte(bytes, iploc::kCodePageUtf8);
    (void)iploc::Utf16ToText(bytes, iploc::kCodePage936);
    (void)iploc::U16ToText(iploc::TextToU16(bytes));
    (void)iploc::Utf8ToText(iploc::TextToUtf8(bytes));
    (void)iploc::U16ToUtf8(iploc::Utf8ToU16(bytes));
    (void)iploc::U16ToUtf16Buffer(iploc::Utf16BufferToU16(bytes), true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes body(iploc::fuzz::AsView(data, size));
    iploc::RegexObject regex;
    const Text text = iploc::ResponseText(body, regex);
    Expect(text.find('\0') == Text::npos, "response text ends at its first zero byte");
    Convert(body);
    return 0;
}
