#include "services/workbook/xml_nodes.h"

namespace iploc::workbook {

std::string_view LocalName(const char* qualified) {
    std::string_view name(qualified);
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view localName) {
    for (pugi::xml_node child : parent.children())
        if (child.type() == pugi::node_element && LocalName(child.name()) == localName) return child;
    return {};
}

} // namespace iploc::workbook
