#include "web/proxy_setting.h"

namespace iploc {
namespace {

TextList SettingEntries(std::string_view setting) {
    TextList entries;
    for (const auto& piece : Split(ReplaceAll(setting, " ", ";"), ";")) {
        if (!piece.empty()) entries.push_back(piece);
    }
    return entries;
}

Text WithDefaultPort(std::string_view server) {
    const std::size_t schemeEnd = server.find("://");
    const std::string_view hostPort =
        schemeEnd == std::string_view::npos ? server : server.substr(schemeEnd + 3);
    const std::size_t bracket = hostPort.rfind(']'); // an IPv6 address holds colons of its own
    const std::size_t colon = hostPort.find(':', bracket == std::string_view::npos ? 0 : bracket);
    if (colon != std::string_view::npos) return Text(server);
    return Text(server) + ":80";
}

} // namespace

Text ProxySetting(std::string_view proxy, bool secure) {
    if (proxy.empty() || secure) return Text(proxy);
    return "http=" + Text(proxy);
}

Text ProxyServerFor(std::string_view setting, std::string_view scheme) {
    Text generic;
    for (const auto& entry : SettingEntries(setting)) {
        const std::size_t equals = entry.find('=');
        if (equals == Text::npos) {
            if (generic.empty()) generic = entry;
            continue;
        }
        const Text server = entry.substr(equals + 1);
        if (!server.empty() && EqualsIgnoreCase(std::string_view(entry).substr(0, equals), scheme)) {
            return WithDefaultPort(server);
        }
    }
    return generic.empty() ? Text{} : WithDefaultPort(generic);
}

} // namespace iploc
