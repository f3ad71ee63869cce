#include "services/workbook/xml_scanner.h"

#include <array>
#include <cstring>

namespace iploc::workbook {
namespace {

constexpr std::size_t kMaxDepth = 256;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Bytes that end a name, as a table: names are scanned byte by byte on every tag.
constexpr auto kNameEnds = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : std::string_view(" \t\r\n/>=<\"'"))
        table[c] = true;
    return table;
}();
bool EndsName(char c) {
    return kNameEnds[static_cast<unsigned char>(c)];
}

bool AllSpace(std::string_view text) {
    for (char c : text)
        if (!IsSpace(c)) return false;
    return true;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Decodes the reference `ref` (the text between '&' and ';'); false when it is not valid.
bool DecodeReference(std::string_view ref, std::string* out) {
    static constexpr struct {
        std::string_view name;
        char value;
    } kNamed[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& named : kNamed)
        if (ref == named.name) {
            if (out) *out += named.value;
            return true;
        }
    if (ref.size() < 2 || ref[0] != '#') return false;
    const bool hex = ref[1] == 'x';
    std::string_view digits = ref.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return false;
    char32_t cp = 0;
    for (char c : digits) {
        int v = (c >= '0' && c <= '9') ? c - '0' : -1;
        if (hex && v < 0 && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') v = (c | 0x20) - 'a' + 10;
        if (v < 0) return false;
        cp = cp * (hex ? 16 : 10) + char32_t(v);
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (out) AppendUtf8(cp, *out);
    return true;
}

// Walks the references of `raw`, decoding into `out` when given; false on a bad one.
bool WalkReferences(std::string_view raw, std::string* out) {
    std::size_t pos = 0;
    while (pos < raw.size()) {
        const std::size_t amp = raw.find('&', pos);
        if (out) out->append(raw.substr(pos, amp == std::string_view::npos ? raw.npos : amp - pos));
        if (amp == std::string_view::npos) break;
        const std::size_t semi = raw.find(';', amp);
        if (semi == std::string_view::npos || semi - amp > 12) return false;
        if (!DecodeReference(raw.substr(amp + 1, semi - amp - 1), out)) return false;
        pos = semi + 1;
    }
    return true;
}

} // namespace

bool DecodeXmlText(std::string_view raw, std::string& out) {
    return WalkReferences(raw, &out);
}

void AppendEscapedXml(std::string_view text, std::string& out, bool inAttribute) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* replacement = c == '<'                     ? "&lt;"
                                  : c == '>'                   ? "&gt;"
                                  : c == '&'                   ? "&amp;"
                                  : (inAttribute && c == '"')  ? "&quot;"
                                  : (inAttribute && c == '\n') ? "&#10;"
                                  : (inAttribute && c == '\t') ? "&#9;"
                                  : (c == '\r')                ? "&#13;"
                                                               : nullptr;
        if (!replacement) continue;
        out.append(text.substr(run, i - run));
        out += replacement;
        run = i + 1;
    }
    out.append(text.substr(run));
}

XmlScanner::XmlScanner(std::string_view document) {
    Reset(document);
}

void XmlScanner::Reset(std::string_view document) {
    doc_ = document;
    pos_ = tokenBegin_ = 0;
    name_ = text_ = {};
    cdata_ = emptyElement_ = pendingEnd_ = rootSeen_ = failed_ = false;
    open_.clear();
    attributes_.clear();
    // A byte order mark may precede the document.
    if (doc_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
}

std::string_view XmlScanner::LocalName() const {
    const std::size_t colon = name_.find(':');
    return colon == std::string_view::npos ? name_ : name_.substr(colon + 1);
}

std::string_view XmlScanner::Prefix() const {
    const std::size_t colon = name_.find(':');
    return colon == std::string_view::npos ? std::string_view() : name_.substr(0, colon);
}

const XmlAttribute* XmlScanner::FindAttribute(std::string_view localName) const {
    for (const auto& attribute : attributes_)
        if (attribute.localName == localName) return &attribute;
    return nullptr;
}

std::string XmlScanner::AttributeValue(std::string_view localName) const {
    std::string value;
    if (const XmlAttribute* attribute = FindAttribute(localName)) DecodeXmlText(attribute->rawValue, value);
    return value;
}

void XmlScanner::AppendText(std::string& out) const {
    if (cdata_)
        out.append(text_);
    else
        DecodeXmlText(text_, out);
}

XmlScanner::Token XmlScanner::Fail() {
    failed_ = true;
    return Token::Error;
}

XmlScanner::Token XmlScanner::Next() {
    if (failed_) return Token::Error;
    if (pendingEnd_) {
        pendingEnd_ = false;
        emptyElement_ = false;
        attributes_.clear();
        open_.pop_back();
        return Token::EndElement;
    }
    while (pos_ < doc_.size()) {
        tokenBegin_ = pos_;
        if (doc_[pos_] != '<') {
            const Token token = ReadText();
            if (token == Token::Text && open_.empty()) continue; // blanks between top-level markup
            return token;
        }
        const char next = pos_ + 1 < doc_.size() ? doc_[pos_ + 1] : '\0';
        if (next == '?') {
            if (!SkipPast("?>")) return Fail();
        } else if (next == '!' && doc_.compare(pos_, 4, "<!--") == 0) {
            if (!SkipPast("-->")) return Fail();
        } else {
            return ReadMarkup();
        }
    }
    return open_.empty() && rootSeen_ ? Token::End : Fail();
}

XmlScanner::Token XmlScanner::ReadText() {
    const char* lt = static_cast<const char*>(std::memchr(doc_.data() + pos_, '<', doc_.size() - pos_));
    const std::size_t end = lt ? std::size_t(lt - doc_.data()) : doc_.size();
    text_ = doc_.substr(pos_, end - pos_);
    cdata_ = false;
    pos_ = end;
    if (open_.empty()) return AllSpace(text_) ? Token::Text : Fail();
    if (!WalkReferences(text_, nullptr)) return Fail();
    return Token::Text;
}

XmlScanner::Token XmlScanner::ReadMarkup() {
    const char next = pos_ + 1 < doc_.size() ? doc_[pos_ + 1] : '\0';
    if (next == '/') return ReadEndTag();
    if (next != '!') return ReadStartTag();
    if (doc_.compare(pos_, 9, "<![CDATA[") == 0) {
        if (open_.empty()) return Fail();
        const std::size_t end = doc_.find("]]>", pos_ + 9);
        if (end == std::string_view::npos) return Fail();
        text_ = doc_.substr(pos_ + 9, end - pos_ - 9);
        cdata_ = true;
        pos_ = end + 3;
        return Token::Text;
    }
    return Fail(); // document type declarations are refused
}

XmlScanner::Token XmlScanner::ReadEndTag() {
    pos_ += 2;
    name_ = ReadName();
    SkipSpace();
    if (name_.empty() || pos_ >= doc_.size() || doc_[pos_] != '>') return Fail();
    ++pos_;
    if (open_.empty() || open_.back() != name_) return Fail();
    open_.pop_back();
    attributes_.clear();
    emptyElement_ = false;
    return Token::EndElement;
}

XmlScanner::Token XmlScanner::ReadStartTag() {
    ++pos_;
    if (open_.empty() && rootSeen_) return Fail(); // a second root element
    name_ = ReadName();
    if (name_.empty() || open_.size() >= kMaxDepth || !ReadAttributes()) return Fail();
    rootSeen_ = true;
    open_.push_back(name_);
    pendingEnd_ = emptyElement_;
    return Token::StartElement;
}

bool XmlScanner::ReadAttributes() {
    attributes_.clear();
    emptyElement_ = false;
    while (true) {
        const std::size_t before = pos_;
        SkipSpace();
        if (pos_ >= doc_.size()) return false;
        if (doc_[pos_] == '>') return ++pos_, true;
        if (doc_[pos_] == '/' && pos_ + 1 < doc_.size() && doc_[pos_ + 1] == '>')
            return pos_ += 2, emptyElement_ = true;
        if (pos_ == before) return false; // attributes must be separated by blanks
        const std::string_view name = ReadName();
        SkipSpace();
        if (name.empty() || pos_ >= doc_.size() || doc_[pos_] != '=') return false;
        ++pos_;
        SkipSpace();
        if (pos_ >= doc_.size() || (doc_[pos_] != '"' && doc_[pos_] != '\'')) return false;
        // One pass over the (short) value: its end, and whether it holds '<' or references.
        const char quote = doc_[pos_];
        std::size_t close = pos_ + 1;
        bool references = false;
        for (; close < doc_.size() && doc_[close] != quote; ++close) {
            if (doc_[close] == '<') return false;
            references = references || doc_[close] == '&';
        }
        if (close >= doc_.size()) return false;
        const std::string_view value = doc_.substr(pos_ + 1, close - pos_ - 1);
        if (references && !WalkReferences(value, nullptr)) return false;
        const std::size_t colon = name.find(':');
        attributes_.push_back({colon == name.npos ? name : name.substr(colon + 1), value, pos_ + 1});
        pos_ = close + 1;
    }
}

bool XmlScanner::SkipPast(std::string_view terminator) {
    const std::size_t end = doc_.find(terminator, pos_ + 2);
    if (end == std::string_view::npos) return false;
    pos_ = end + terminator.size();
    return true;
}

std::string_view XmlScanner::ReadName() {
    const std::size_t begin = pos_;
    while (pos_ < doc_.size() && !EndsName(doc_[pos_]))
        ++pos_;
    return doc_.substr(begin, pos_ - begin);
}

void XmlScanner::SkipSpace() {
    while (pos_ < doc_.size() && IsSpace(doc_[pos_]))
        ++pos_;
}

} // namespace iploc::workbook
