#include "services/workbook/xlsx_package.h"

#include <algorithm>
#include "services/workbook/xml_nodes.h"
#include "text/text.h"

#include <pugixml.hpp>
#include <sstream>

namespace iploc::workbook {
namespace {

// An attribute by local name, for attributes in another namespace such as r:id.
pugi::xml_attribute PrefixedAttribute(pugi::xml_node node, std::string_view localName) {
    for (pugi::xml_attribute attribute : node.attributes()) {
        std::string_view name(attribute.name());
        if (name.find(':') != std::string_view::npos && LocalName(attribute.name()) == localName)
            return attribute;
    }
    return {};
}

bool LoadPart(const ZipPackageReader& package, const std::string& entry, pugi::xml_document& doc) {
    if (entry.empty()) return false;
    auto bytes = package.Read(entry, kMaxSmallPartSize);
    return bytes && doc.load_buffer(bytes->data(), bytes->size(), kXmlParseOptions);
}

struct Relationship {
    std::string id;
    std::string type;
    std::string target; // resolved part name
};

std::vector<Relationship> ReadRelationships(const pugi::xml_document& doc, std::string_view sourcePart) {
    std::vector<Relationship> list;
    for (pugi::xml_node node : doc.document_element().children()) {
        if (LocalName(node.name()) != "Relationship") continue;
        if (std::string_view(node.attribute("TargetMode").value()) == "External") continue;
        list.push_back({node.attribute("Id").value(), node.attribute("Type").value(),
                        ResolveTarget(sourcePart, node.attribute("Target").value())});
    }
    return list;
}

std::string Serialize(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    return out.str();
}

bool ReadSheets(const ZipPackageReader& package, const pugi::xml_document& workbook,
                const std::vector<Relationship>& rels, PackageLayout& layout) {
    pugi::xml_node sheets = Child(workbook.document_element(), "sheets");
    for (pugi::xml_node sheet : sheets.children()) {
        if (LocalName(sheet.name()) != "sheet") continue;
        const std::string id = PrefixedAttribute(sheet, "id").value();
        auto rel = std::find_if(rels.begin(), rels.end(), [&](const Relationship& r) { return r.id == id; });
        if (rel == rels.end()) return false;
        SheetEntry entry{sheet.attribute("name").value(), package.FindEntry(rel->target),
                         EndsWith(rel->type, "/worksheet")};
        if (entry.entryName.empty()) return false;
        layout.sheets.push_back(std::move(entry));
    }
    return !layout.sheets.empty();
}

} // namespace

std::string RelationshipsPartOf(std::string_view partName) {
    const std::size_t slash = partName.rfind('/');
    const std::string_view dir = slash == std::string_view::npos ? "" : partName.substr(0, slash + 1);
    const std::string_view file = slash == std::string_view::npos ? partName : partName.substr(slash + 1);
    return std::string(dir) + "_rels/" + std::string(file) + ".rels";
}

std::string ResolveTarget(std::string_view sourcePart, std::string_view target) {
    std::string path;
    if (!target.empty() && target.front() == '/') {
        path = target.substr(1);
    } else {
        const std::size_t slash = sourcePart.rfind('/');
        path = std::string(slash == std::string_view::npos ? "" : sourcePart.substr(0, slash + 1)) +
               std::string(target);
    }
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string resolved;
    for (const auto& segment : segments)
        resolved += (resolved.empty() ? "" : "/") + segment;
    return resolved;
}

std::optional<PackageLayout> ReadPackageLayout(const ZipPackageReader& package) {
    pugi::xml_document rootRels;
    if (!LoadPart(package, package.FindEntry("_rels/.rels"), rootRels)) return std::nullopt;
    PackageLayout layout;
    for (const auto& rel : ReadRelationships(rootRels, ""))
        if (EndsWith(rel.type, "/officeDocument")) layout.workbookEntry = package.FindEntry(rel.target);
    pugi::xml_document workbook, workbookRels;
    if (!LoadPart(package, layout.workbookEntry, workbook)) return std::nullopt;
    layout.workbookRelsEntry = package.FindEntry(RelationshipsPartOf(layout.workbookEntry));
    if (!LoadPart(package, layout.workbookRelsEntry, workbookRels)) return std::nullopt;
    const auto rels = ReadRelationships(workbookRels, layout.workbookEntry);
    for (const auto& rel : rels) {
        if (EndsWith(rel.type, "/sharedStrings")) layout.sharedStringsEntry = package.FindEntry(rel.target);
        if (EndsWith(rel.type, "/calcChain")) layout.calcChainEntry = package.FindEntry(rel.target);
        if (EndsWith(rel.type, "/vbaProject")) layout.vbaProjectEntry = package.FindEntry(rel.target);
    }
    if (!ReadSheets(package, workbook, rels, layout)) return std::nullopt;
    return layout;
}

std::optional<std::string> WithoutContentType(std::string_view contentTypesXml, std::string_view partName) {
    pugi::xml_document doc;
    if (!doc.load_buffer(contentTypesXml.data(), contentTypesXml.size(), kXmlParseOptions)) return std::nullopt;
    const std::string wanted = "/" + ResolveTarget("", partName);
    pugi::xml_node root = doc.document_element();
    for (pugi::xml_node node = root.first_child(); node;) {
        pugi::xml_node next = node.next_sibling();
        if (LocalName(node.name()) == "Override" &&
            ResolveTarget("", node.attribute("PartName").value()) == ResolveTarget("", wanted))
            root.remove_child(node);
        node = next;
    }
    return Serialize(doc);
}

namespace {

// The <Override> element for `partName`; an empty node when there is none.
pugi::xml_node OverrideOf(const pugi::xml_document& doc, std::string_view partName) {
    const std::string wanted = ResolveTarget("", partName);
    for (pugi::xml_node node : doc.document_element().children())
        if (LocalName(node.name()) == "Override" &&
            ResolveTarget("", node.attribute("PartName").value()) == wanted)
            return node;
    return {};
}

} // namespace

std::string OverrideContentType(std::string_view contentTypesXml, std::string_view partName) {
    pugi::xml_document doc;
    if (!doc.load_buffer(contentTypesXml.data(), contentTypesXml.size(), kXmlParseOptions)) return {};
    return OverrideOf(doc, partName).attribute("ContentType").value();
}

std::optional<std::string> WithContentType(std::string_view contentTypesXml, std::string_view partName,
                                           std::string_view contentType) {
    pugi::xml_document doc;
    if (!doc.load_buffer(contentTypesXml.data(), contentTypesXml.size(), kXmlParseOptions)) return std::nullopt;
    pugi::xml_node node = OverrideOf(doc, partName);
    if (!node) return std::nullopt;
    node.attribute("ContentType").set_value(std::string(contentType).c_str());
    return Serialize(doc);
}

std::optional<std::string> WithoutRelationshipType(std::string_view relsXml, std::string_view typeSuffix) {
    pugi::xml_document doc;
    if (!doc.load_buffer(relsXml.data(), relsXml.size(), kXmlParseOptions)) return std::nullopt;
    pugi::xml_node root = doc.document_element();
    for (pugi::xml_node node = root.first_child(); node;) {
        pugi::xml_node next = node.next_sibling();
        if (LocalName(node.name()) == "Relationship" && EndsWith(node.attribute("Type").value(), typeSuffix))
            root.remove_child(node);
        node = next;
    }
    return Serialize(doc);
}

} // namespace iploc::workbook
