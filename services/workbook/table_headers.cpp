#include "services/workbook/table_headers.h"

#include "services/workbook/xlsx_package.h"

#include "services/workbook/xml_nodes.h"
#include "text/text.h"

#include <pugixml.hpp>
#include <sstream>
#include <vector>

namespace iploc::workbook {
namespace {

// Column names compare without regard to ASCII case, as spreadsheets compare them.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x | 0x20);
        if (y >= 'A' && y <= 'Z') y = char(y | 0x20);
        if (x != y) return false;
    }
    return true;
}

bool Taken(const std::vector<std::string>& names, std::size_t except, std::string_view name) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (i != except && SameName(names[i], name)) return true;
    return false;
}

std::string UniqueName(const std::vector<std::string>& names, std::size_t index, const std::string& wanted) {
    const std::string base = wanted.empty() ? "Column" + std::to_string(index + 1) : wanted;
    std::string name = base;
    for (int n = 2; Taken(names, index, name); ++n)
        name = base + std::to_string(n);
    return name;
}

// Renames the columns of one table part whose header cells were written; false when unreadable.
bool RenameColumns(const std::string& xml, const CellGrid& edits, TableHeaderChanges& changes,
                   std::optional<std::string>& renamed) {
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), kXmlParseOptions)) return false;
    pugi::xml_node table = doc.document_element();
    auto range = ParseRangeAddress(table.attribute("ref").value());
    if (!range || std::string_view(table.attribute("headerRowCount").value()) == "0") return true;
    std::vector<pugi::xml_node> columns;
    std::vector<std::string> names;
    for (pugi::xml_node column : Child(table, "tableColumns").children())
        if (LocalName(column.name()) == "tableColumn") {
            columns.push_back(column);
            names.emplace_back(column.attribute("name").value());
        }
    bool changed = false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const CellRef cell{range->first.row, range->first.column + std::uint32_t(i)};
        const GridValue* written = edits.Find(cell);
        if (!written) continue;
        names[i] = UniqueName(names, i, written->text);
        if (names[i] != written->text) changes.cellTexts[CellKey(cell)] = names[i];
        pugi::xml_attribute name = columns[i].attribute("name");
        (name ? name : columns[i].append_attribute("name")).set_value(names[i].c_str());
        changed = true;
    }
    if (!changed) return true;
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    renamed = out.str();
    return true;
}

} // namespace

std::optional<TableHeaderChanges> RenameWrittenTableColumns(const ZipPackageReader& package,
                                                            const std::string& sheetEntry,
                                                            const CellGrid& edits) {
    TableHeaderChanges changes;
    const std::string relsEntry = package.FindEntry(RelationshipsPartOf(sheetEntry));
    if (relsEntry.empty()) return changes;
    auto rels = package.Read(relsEntry, kMaxSmallPartSize);
    pugi::xml_document doc;
    if (!rels || !doc.load_buffer(rels->data(), rels->size(), kXmlParseOptions)) return std::nullopt;
    for (pugi::xml_node rel : doc.document_element().children()) {
        if (LocalName(rel.name()) != "Relationship" || !EndsWith(rel.attribute("Type").value(), "/table"))
            continue;
        if (std::string_view(rel.attribute("TargetMode").value()) == "External") continue;
        const std::string entry =
            package.FindEntry(ResolveTarget(sheetEntry, rel.attribute("Target").value()));
        auto xml = entry.empty() ? std::nullopt : package.Read(entry, kMaxSmallPartSize);
        std::optional<std::string> renamed;
        if (!xml || !RenameColumns(*xml, edits, changes, renamed)) return std::nullopt;
        if (renamed) changes.tableParts[entry] = std::move(*renamed);
    }
    return changes;
}

} // namespace iploc::workbook
