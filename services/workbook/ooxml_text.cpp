#include "services/workbook/ooxml_text.h"

#include "services/workbook/xml_scanner.h"

#include <cstdio>

namespace iploc::workbook {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

// The code unit of an escape starting at `pos` ("_x" 4 hex digits "_"), or -1.
int EscapeAt(std::string_view text, std::size_t pos) {
    if (pos + 7 > text.size() || text[pos] != '_' || text[pos + 1] != 'x' || text[pos + 6] != '_') return -1;
    int value = 0;
    for (std::size_t i = pos + 2; i < pos + 6; ++i) {
        const int digit = HexValue(text[i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

void AppendUtf8(unsigned cp, std::string& out) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool IsXmlControl(unsigned char c) {
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

} // namespace

void DecodeCharacterEscapes(std::string& text) {
    if (text.find("_x") == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const int unit = EscapeAt(text, i);
        // Lone surrogates cannot be carried in UTF-8; such escapes stay as written.
        if (unit < 0 || (unit >= 0xD800 && unit <= 0xDFFF)) {
            out += text[i++];
            continue;
        }
        AppendUtf8(unsigned(unit), out);
        i += 7;
    }
    text = std::move(out);
}

void AppendCellXmlText(std::string_view text, std::string& out) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool control = IsXmlControl(c);
        if (!control && !(c == '_' && EscapeAt(text, i) >= 0)) continue;
        AppendEscapedXml(text.substr(run, i - run), out);
        char escape[8];
        std::snprintf(escape, sizeof escape, "_x%04X_", control ? unsigned(c) : 0x5Fu);
        out += escape;
        run = i + 1;
    }
    AppendEscapedXml(text.substr(run), out);
}

std::string_view LimitCellText(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) continue;            // continuation byte
        const std::size_t width = c >= 0xF0 ? 2 : 1; // 4-byte sequences are surrogate pairs
        if (units + width > kMaxCellCharacters) return text.substr(0, i);
        units += width;
    }
    return text;
}

bool NeedsSpacePreserve(std::string_view text) {
    if (text.empty()) return false;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    return blank(text.front()) || blank(text.back()) || text.find("  ") != std::string_view::npos ||
           text.find('\n') != std::string_view::npos;
}

} // namespace iploc::workbook
