// A small pull parser for the XML parts of a workbook package.
//
// It reads the document in place (no tree, no copies), so a sheet of a million rows costs
// no more than its text. Elements and attributes are matched by local name: producers may
// put any prefix on the spreadsheet namespace. It checks what a well-formed document needs
// for our purposes (matching end tags, quoted attributes, valid character references, a
// single root, a bounded depth) and stops with Token::Error at the first fault. Document
// type declarations are refused: a workbook part has none, and entity expansion is a known
// way to blow up a parser.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace iploc::workbook {

struct XmlAttribute {
    std::string_view localName;
    std::string_view rawValue;   // entity references not yet decoded
    std::size_t valueOffset = 0; // where rawValue starts in the document
};

class XmlScanner {
public:
    enum class Token { StartElement, EndElement, Text, End, Error };

    explicit XmlScanner(std::string_view document = {});
    // Starts over on another document, keeping the buffers (for many small documents).
    void Reset(std::string_view document);

    Token Next();

    // For StartElement and EndElement.
    std::string_view QualifiedName() const { return name_; }
    std::string_view LocalName() const;
    std::string_view Prefix() const; // empty when the name has none
    // A StartElement written as <x/>; its EndElement is the next token.
    bool IsEmptyElement() const { return emptyElement_; }
    const std::vector<XmlAttribute>& Attributes() const { return attributes_; }
    // The first attribute with that local name; nullptr when there is none.
    const XmlAttribute* FindAttribute(std::string_view localName) const;
    // The attribute's decoded value; empty when absent.
    std::string AttributeValue(std::string_view localName) const;

    // For Text (character data or a CDATA section): the raw text.
    std::string_view RawText() const { return text_; }
    bool IsCData() const { return cdata_; }
    // Appends the decoded text to `out`.
    void AppendText(std::string& out) const;

    // Byte offsets of the current token in the document: [TokenBegin, TokenEnd).
    std::size_t TokenBegin() const { return tokenBegin_; }
    std::size_t TokenEnd() const { return pos_; }
    std::string_view Document() const { return doc_; }
    // Elements open around the current position (a StartElement counts itself).
    std::size_t Depth() const { return open_.size(); }

private:
    Token Fail();
    Token ReadText();
    Token ReadMarkup();
    Token ReadEndTag();
    Token ReadStartTag();
    bool ReadAttributes();
    bool SkipPast(std::string_view terminator);
    std::string_view ReadName();
    void SkipSpace();

    std::string_view doc_;
    std::size_t pos_ = 0;
    std::size_t tokenBegin_ = 0;
    std::string_view name_;
    std::string_view text_;
    bool cdata_ = false;
    bool emptyElement_ = false;
    bool pendingEnd_ = false;
    bool rootSeen_ = false;
    bool failed_ = false;
    std::vector<std::string_view> open_;
    std::vector<XmlAttribute> attributes_;
};

// Decodes entity and character references of well-formed raw text, appending to `out`.
// Returns false on a reference that is not one of the five named ones or a valid code point.
bool DecodeXmlText(std::string_view raw, std::string& out);
// Escapes text for element content (`inAttribute` also escapes quotes).
void AppendEscapedXml(std::string_view text, std::string& out, bool inAttribute = false);

} // namespace iploc::workbook
