#include "web/response_text.h"

#include "text/encoding.h"

#include <cstdint>
#include <string_view>

namespace iploc {
namespace {

const char* const kMetaCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";
// Only the head of a page is searched, however long the page is. The cut counts bytes
// and may split a two-byte character; the declaration itself is ASCII.
constexpr std::int64_t kCharsetSearchBytes = 1024;

Text UpToFirstZeroByte(std::string_view bytes) {
    return Text(bytes.substr(0, bytes.find('\0')));
}

// The charset named by the first meta declaration; empty when there is none.
Text DeclaredCharset(const Text& text, RegexObject& regex) {
    if (!regex.Execute(kMetaCharsetPattern, Left(text, kCharsetSearchBytes))) return {};
    return regex.GetSubMatchText(1, 1);
}

} // namespace

Text ResponseText(const Bytes& body, RegexObject& regex) {
    const Text text = UpToFirstZeroByte(body);
    const Text charset = DeclaredCharset(text, regex);
    if (charset.empty() || charset == "gbk" || charset == "gb2312") return text;

    // The decoder gets the whole body, since the declared charset defines its bytes; text
    // ends at a zero byte, so the decoded result is cut at the first one.
    Text decoded;
    if (!DecodeCharsetToText(body, charset, decoded)) return text;
    // Pending window events need no processing here: this runs on worker threads.
    return UpToFirstZeroByte(decoded);
}

} // namespace iploc
