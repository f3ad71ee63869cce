// The layout of an .xlsx package: which part is the workbook, its sheets in the workbook's
// order, and the shared parts the sheets rely on. Found through the package relationships,
// never by assuming part names, since producers name parts as they like.
#pragma once

#include "services/workbook/zip_package.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iploc::workbook {

// Largest inflated size accepted for a worksheet or the shared strings.
inline constexpr std::size_t kMaxSheetPartSize = std::size_t(512) << 20;
// Largest inflated size accepted for the small XML parts (relationships, workbook, types).
inline constexpr std::size_t kMaxSmallPartSize = std::size_t(32) << 20;

struct SheetEntry {
    std::string name;         // UTF-8
    std::string entryName;    // zip entry of the sheet's part
    bool isWorksheet = false; // chart and dialog sheets have no cells
};

struct PackageLayout {
    std::string workbookEntry;
    std::string workbookRelsEntry;
    std::vector<SheetEntry> sheets;
    std::string sharedStringsEntry; // empty when the workbook has none
    std::string calcChainEntry;     // empty when the workbook has none
    std::string vbaProjectEntry;    // macros; empty when the workbook has none
};

// nullopt when the package lacks a workbook or its relationships are broken.
std::optional<PackageLayout> ReadPackageLayout(const ZipPackageReader& package);

// The relationships part of a part: "xl/workbook.xml" gives "xl/_rels/workbook.xml.rels".
std::string RelationshipsPartOf(std::string_view partName);
// A relationship target resolved against the part that holds the relationship.
std::string ResolveTarget(std::string_view sourcePart, std::string_view target);

// The XML without the <Override> for `partName` in [Content_Types].xml; nullopt when unreadable.
std::optional<std::string> WithoutContentType(std::string_view contentTypesXml, std::string_view partName);
// The content type [Content_Types].xml gives `partName` by an <Override>; empty when none.
std::string OverrideContentType(std::string_view contentTypesXml, std::string_view partName);
// The XML with the <Override> of `partName` giving `contentType`; nullopt when unreadable.
std::optional<std::string> WithContentType(std::string_view contentTypesXml, std::string_view partName,
                                           std::string_view contentType);
// The XML without relationships whose type ends in `typeSuffix`; nullopt when unreadable.
std::optional<std::string> WithoutRelationshipType(std::string_view relsXml, std::string_view typeSuffix);

} // namespace iploc::workbook
