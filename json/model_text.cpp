#include "json/model_text.h"

#include "text/encoding.h"

#include <algorithm>

namespace iploc {
namespace {

// ASCII is the same in both encodings; most member names and many values are plain ASCII,
// so they skip the conversion.
bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string ToModelText(std::string_view text) {
    return IsAscii(text) ? std::string(text) : TextToUtf8(text);
}

Text FromModelText(std::string_view utf8) {
    return IsAscii(utf8) ? Text(utf8) : Utf8ToText(utf8);
}

} // namespace iploc
