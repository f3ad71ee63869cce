#include "services/workbook/xlsx_saver.h"

#include "services/workbook/sheet_patcher.h"
#include "services/workbook/table_headers.h"
#include "services/workbook/xlsx_workbook.h"

#include <map>
#include <pugixml.hpp>
#include <set>
#include <sstream>

namespace iploc::workbook {
namespace {

std::string_view LocalName(const char* qualified) {
    std::string_view name(qualified);
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Elements that follow <calcPr> in a workbook part, in the order the format fixes.
constexpr std::string_view kAfterCalcPr[] = {"oleSize",        "customWorkbookViews", "pivotCaches",
                                             "smartTagPr",     "smartTagTypes",       "webPublishing",
                                             "fileRecoveryPr", "webPublishObjects",   "extLst"};

// The workbook part asking for a full recalculation when opened, since written cells may feed
// formulas whose stored results are now stale.
std::optional<std::string> WithFullCalcOnLoad(std::string_view workbookXml) {
    pugi::xml_document doc;
    if (!doc.load_buffer(workbookXml.data(), workbookXml.size(),
                         pugi::parse_default | pugi::parse_declaration))
        return std::nullopt;
    pugi::xml_node root = doc.document_element();
    const std::string_view rootName(root.name());
    const std::string prefix(
        rootName.substr(0, rootName.find(':') == rootName.npos ? 0 : rootName.find(':') + 1));
    pugi::xml_node calcPr;
    pugi::xml_node before;
    for (pugi::xml_node child : root.children()) {
        if (LocalName(child.name()) == "calcPr") calcPr = child;
        for (std::string_view later : kAfterCalcPr)
            if (!before && LocalName(child.name()) == later) before = child;
    }
    if (!calcPr)
        calcPr = before ? root.insert_child_before((prefix + "calcPr").c_str(), before)
                        : root.append_child((prefix + "calcPr").c_str());
    if (!calcPr.attribute("fullCalcOnLoad")) calcPr.append_attribute("fullCalcOnLoad");
    calcPr.attribute("fullCalcOnLoad").set_value("1");
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    return out.str();
}

struct PackageChanges {
    std::map<std::string, std::string> replaced; // entry -> new bytes
    std::set<std::string> dropped;
};

// An entry as the saved package will hold it: changed already, or as read.
std::optional<std::string> Current(const ZipPackageReader& package, const PackageChanges& changes,
                                   const std::string& entry) {
    auto it = changes.replaced.find(entry);
    if (it != changes.replaced.end()) return it->second;
    return package.Read(entry, kMaxSmallPartSize);
}

bool DropCalcChain(const ZipPackageReader& package, const PackageLayout& layout, PackageChanges& changes) {
    const std::string typesEntry = package.FindEntry("[Content_Types].xml");
    auto types = Current(package, changes, typesEntry);
    auto rels = Current(package, changes, layout.workbookRelsEntry);
    if (!types || !rels) return false;
    auto newTypes = WithoutContentType(*types, layout.calcChainEntry);
    auto newRels = WithoutRelationshipType(*rels, "/calcChain");
    if (!newTypes || !newRels) return false;
    changes.replaced[typesEntry] = std::move(*newTypes);
    changes.replaced[layout.workbookRelsEntry] = std::move(*newRels);
    changes.dropped.insert(layout.calcChainEntry);
    return true;
}

constexpr std::string_view kWorkbookType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

// The file is saved as .xlsx, which a spreadsheet opens only when its workbook part has the plain
// workbook type: a macro-enabled workbook or a template becomes a plain workbook, its macros left
// out, as saving it as .xlsx in a spreadsheet application does.
bool MakePlainWorkbook(const ZipPackageReader& package, const PackageLayout& layout,
                       PackageChanges& changes) {
    const std::string typesEntry = package.FindEntry("[Content_Types].xml");
    auto types = Current(package, changes, typesEntry);
    if (!types) return false;
    const std::string type = OverrideContentType(*types, layout.workbookEntry);
    if (type.empty() || type == kWorkbookType) return true;
    auto plain = WithContentType(*types, layout.workbookEntry, kWorkbookType);
    if (!plain) return false;
    if (!layout.vbaProjectEntry.empty()) {
        auto rels = Current(package, changes, layout.workbookRelsEntry);
        plain = plain ? WithoutContentType(*plain, layout.vbaProjectEntry) : std::nullopt;
        auto withoutMacros = rels ? WithoutRelationshipType(*rels, "/vbaProject") : std::nullopt;
        if (!plain || !withoutMacros) return false;
        changes.replaced[layout.workbookRelsEntry] = std::move(*withoutMacros);
        changes.dropped.insert(layout.vbaProjectEntry);
        const std::string macroRels = package.FindEntry(RelationshipsPartOf(layout.vbaProjectEntry));
        if (!macroRels.empty()) changes.dropped.insert(macroRels);
    }
    changes.replaced[typesEntry] = std::move(*plain);
    return true;
}

std::optional<PackageChanges> Changes(const ZipPackageReader& package, const PackageLayout& layout,
                                      const std::vector<const LoadedSheet*>& sheets) {
    PackageChanges changes;
    if (!MakePlainWorkbook(package, layout, changes)) return std::nullopt;
    bool replacedFormula = false, wroteCells = false;
    for (std::size_t i = 0; i < sheets.size() && i < layout.sheets.size(); ++i) {
        if (!sheets[i] || sheets[i]->edits.IsEmpty()) continue;
        auto tables = RenameWrittenTableColumns(package, layout.sheets[i].entryName, sheets[i]->edits);
        if (!tables) return std::nullopt;
        auto patched = PatchSheet(*sheets[i], tables->cellTexts);
        if (!patched) return std::nullopt;
        for (auto& [entry, xml] : tables->tableParts)
            changes.replaced[entry] = std::move(xml);
        replacedFormula = replacedFormula || patched->replacedFormula;
        changes.replaced[layout.sheets[i].entryName] = std::move(patched->xml);
        wroteCells = true;
    }
    if (!wroteCells) return changes;
    if (replacedFormula && !layout.calcChainEntry.empty() && !DropCalcChain(package, layout, changes))
        return std::nullopt;
    auto workbookXml = package.Read(layout.workbookEntry, kMaxSmallPartSize);
    if (!workbookXml) return std::nullopt;
    auto recalculating = WithFullCalcOnLoad(*workbookXml);
    if (!recalculating) return std::nullopt;
    changes.replaced[layout.workbookEntry] = std::move(*recalculating);
    return changes;
}

} // namespace

bool SaveXlsxPackage(const ZipPackageReader& package, const PackageLayout& layout,
                     const std::vector<const LoadedSheet*>& sheets, const std::filesystem::path& path) {
    auto changes = Changes(package, layout, sheets);
    if (!changes) return false;
    ZipPackageWriter writer;
    for (const std::string& entry : package.EntryNames()) {
        if (changes->dropped.count(entry)) continue;
        auto it = changes->replaced.find(entry);
        if (it == changes->replaced.end())
            writer.AddCopy(package, entry);
        else
            writer.AddBytes(entry, std::move(it->second));
    }
    return writer.Commit(path);
}

} // namespace iploc::workbook
