// The proxy rule of WebRequest: which proxy server, if any, a request goes through.
#pragma once

#include "text/text.h"

#include <string_view>

namespace iploc {

// The proxy setting for a request: `proxy` as it is for an https URL, "http=" followed by
// `proxy` for a plain http URL (a proxy meant for plain http only), empty without a proxy.
Text ProxySetting(std::string_view proxy, bool secure);

// The proxy server a setting names for requests of `scheme` ("http" or "https"). A setting is a
// list of entries separated by ";" or blanks, each "[scheme=][proxy-scheme://]host[:port]": the
// first entry for the scheme wins, else the first entry without a scheme. Empty (a direct
// connection) when no entry applies. A server written without a port gets port 80.
Text ProxyServerFor(std::string_view setting, std::string_view scheme);

} // namespace iploc
