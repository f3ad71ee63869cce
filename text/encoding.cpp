#include "text/encoding.h"

#include <unicode/ucnv.h>

#include <bit>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

namespace iploc {
namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// ICU's name for a Windows code page number; empty when it has none.
std::string IcuNameOf(int codePage) {
    switch (codePage) {
    case kCodePageAnsi: // the system's ANSI code page is code page 936 here
    case kCodePage936:
        return "windows-936-2000";
    case kCodePageUtf8:
        return "UTF-8";
    case 1200:
        return "UTF-16LE";
    case 1201:
        return "UTF-16BE";
    case 20127:
        return "US-ASCII";
    case 54936:
        return "gb18030";
    default:
        return "windows-" + std::to_string(codePage);
    }
}

ConverterPtr OpenConverter(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(name, &status));
    if (U_FAILURE(status)) return nullptr;
    // Characters the target lacks become "?", as the Windows functions' default character.
    status = U_ZERO_ERROR;
    ucnv_setSubstChars(converter.get(), "?", 1, &status);
    return converter;
}

UConverter* Reset(UConverter* converter) {
    if (converter != nullptr) ucnv_reset(converter);
    return converter;
}

// One converter per code page and thread, reset before each use: opening is the costly
// part. Keyed by number so that a lookup allocates nothing.
UConverter* CodePageConverter(int codePage) {
    thread_local std::map<int, ConverterPtr> cache;
    auto it = cache.find(codePage);
    if (it == cache.end()) it = cache.emplace(codePage, OpenConverter(IcuNameOf(codePage).c_str())).first;
    return Reset(it->second.get());
}

// Converters for charset names that pages declare. Names that do not open are not kept,
// and the cache stays small however many different names come along.
UConverter* NamedConverter(std::string_view name) {
    constexpr std::size_t kMaxNamed = 8;
    thread_local std::map<std::string, ConverterPtr, std::less<>> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        ConverterPtr converter = OpenConverter(std::string(name).c_str());
        if (!converter) return nullptr;
        if (cache.size() >= kMaxNamed) cache.clear();
        it = cache.emplace(std::string(name), std::move(converter)).first;
    }
    return Reset(it->second.get());
}

// Whole-buffer decode; returns false only when the converter could not be opened.
bool Decode(UConverter* converter, std::string_view bytes, std::u16string& out) {
    if (converter == nullptr) return false;
    out.resize(bytes.size() + 1);
    UErrorCode status = U_ZERO_ERROR;
    auto length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                static_cast<int32_t>(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(length + 1);
        status = U_ZERO_ERROR;
        ucnv_reset(converter);
        length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                               static_cast<int32_t>(bytes.size()), &status);
    }
    out.resize(U_SUCCESS(status) ? length : 0);
    return true;
}

std::string Encode(UConverter* converter, std::u16string_view units) {
    if (converter == nullptr || units.empty()) return {};
    std::string out(units.size() * ucnv_getMaxCharSize(converter) + 1, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const auto length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                        units.data(), static_cast<int32_t>(units.size()), &status);
    out.resize(U_SUCCESS(status) ? length : 0);
    return out;
}

// UTF-8 to code page 936 through a small pivot buffer. No character takes more bytes in
// code page 936 than in UTF-8 (a replacement "?" takes one), so the output fits in the
// input's size.
Text Utf8To936(UConverter* utf8, UConverter* cp936, std::string_view input) {
    if (utf8 == nullptr || cp936 == nullptr) return {};
    Text out(input.size(), '\0');
    UChar pivot[512];
    UChar* pivotSource = pivot;
    UChar* pivotTarget = pivot;
    char* target = out.data();
    const char* source = input.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(cp936, utf8, &target, out.data() + out.size(), &source, input.data() + input.size(), pivot,
                   &pivotSource, &pivotTarget, pivot + std::size(pivot), true, true, &status);
    out.resize(U_SUCCESS(status) ? target - out.data() : 0);
    return out;
}

std::string_view UpToFirstZeroByte(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

std::u16string_view UpToFirstZeroUnit(std::u16string_view units) {
    return units.substr(0, units.find(u'\0'));
}

std::u16string DecodeCodePage(std::string_view bytes, int codePage, bool& known) {
    std::u16string units;
    known = Decode(CodePageConverter(codePage), bytes, units);
    return units;
}

} // namespace

// UTF-16 buffers are little-endian, as the units lie in memory on this host.
static_assert(std::endian::native == std::endian::little, "UTF-16 buffers are copied as they lie in memory");

std::u16string Utf16BufferToU16(std::string_view buffer) {
    std::u16string units(buffer.size() / 2, u'\0');
    std::memcpy(units.data(), buffer.data(), units.size() * 2);
    return units;
}

Bytes U16ToUtf16Buffer(std::u16string_view units, bool withTerminator) {
    Bytes buffer((units.size() + (withTerminator ? 1 : 0)) * 2, '\0');
    std::memcpy(buffer.data(), units.data(), units.size() * 2);
    return buffer;
}

Bytes MultiByteToUtf16(std::string_view bytes, int codePage) {
    const auto input = UpToFirstZeroByte(bytes);
    if (input.empty()) return {};
    bool known = false;
    const auto units = DecodeCodePage(input, codePage, known);
    if (!known) return {};
    return U16ToUtf16Buffer(units, true);
}

Bytes AnsiToUtf16(std::string_view text, bool cutAtNul) {
    auto buffer = MultiByteToUtf16(text, kCodePage936);
    return cutAtNul ? CutUtf16AtNul(buffer, false) : buffer;
}

Bytes TextToUtf16(std::string_view text, int codePage) { return MultiByteToUtf16(text, codePage); }

Bytes CutUtf16AtNul(std::string_view buffer, bool withTerminator) {
    if (buffer.size() < 2) return {};
    std::size_t i = 0;
    while (i + 2 <= buffer.size() && (buffer[i] != '\0' || buffer[i + 1] != '\0')) i += 2;
    if (i == 0) return {};
    Bytes out(buffer.substr(0, i));
    if (withTerminator) out.append(2, '\0');
    return out;
}

Bytes Utf16ToMultiByte(std::string_view buffer, int codePage) {
    const auto units = Utf16BufferToU16(buffer);
    const auto input = UpToFirstZeroUnit(units);
    if (input.empty()) return {};
    auto bytes = Encode(CodePageConverter(codePage), input);
    bytes.resize(UpToFirstZeroByte(bytes).size());
    return bytes;
}

Text Utf16ToText(std::string_view buffer, int codePage) { return Utf16ToMultiByte(buffer, codePage); }

Text Utf16ToAnsi(std::string_view buffer) { return Utf16ToText(buffer, kCodePage936); }

// Same result as TextToUtf16 followed by Utf16ToAnsi, in one pass: ICU converts UTF-8
// straight to code page 936 without building the intermediate buffers.
Text Utf8ToAnsi(std::string_view utf8) {
    const auto input = UpToFirstZeroByte(utf8);
    if (input.empty()) return {};
    return Utf8To936(CodePageConverter(kCodePageUtf8), CodePageConverter(kCodePage936), input);
}

std::u16string TextToU16(std::string_view text) {
    bool known = false;
    return DecodeCodePage(text, kCodePage936, known);
}

Text U16ToText(std::u16string_view units) { return Encode(CodePageConverter(kCodePage936), units); }

std::u16string Utf8ToU16(std::string_view utf8) {
    bool known = false;
    return DecodeCodePage(utf8, kCodePageUtf8, known);
}

std::string U16ToUtf8(std::u16string_view units) {
    return Encode(CodePageConverter(kCodePageUtf8), units);
}

std::string TextToUtf8(std::string_view text) { return U16ToUtf8(TextToU16(text)); }

Text Utf8ToText(std::string_view utf8) { return U16ToText(Utf8ToU16(utf8)); }

bool DecodeCharsetToText(std::string_view bytes, std::string_view charset, Text& out) {
    std::u16string units;
    if (!Decode(NamedConverter(charset), bytes, units)) return false;
    out = U16ToText(units);
    return true;
}

} // namespace iploc
