// Small helpers over pugixml shared by the package readers: elements are matched by their
// local name, because some producers write every element with a prefix (x:sheet).
#pragma once

#include <pugixml.hpp>
#include <string_view>

namespace iploc::workbook {

inline constexpr unsigned kXmlParseOptions = pugi::parse_default | pugi::parse_declaration;

// The name without its namespace prefix.
std::string_view LocalName(const char* qualified);
// The first child element with this local name; an empty node when there is none.
pugi::xml_node Child(pugi::xml_node parent, std::string_view localName);

} // namespace iploc::workbook
