#include "service/answer.h"

#include "service/ipv4_address.h"

#include <nlohmann/json.hpp>

namespace iploc {

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace

HttpAnswer AnswerLookup(const Locator& locator, const std::string* ip) {
    if (!ip) return {400, ErrorJson("missing ip parameter")};
    const auto address = ParseIpv4(*ip);
    if (!address) return {400, ErrorJson("invalid address", ip)};
    return {200, LocationJson(*ip, locator.Find(*address))};
}

std::string LocationJson(std::string_view ip, const Location& location) {
    Json json = Json::object();
    json["ip"] = ip;
    json["country"] = location.country;
    json["province"] = location.province;
    json["city"] = location.city;
    json["area"] = location.area;
    json["isp"] = location.isp;
    return Dump(json);
}

std::string ErrorJson(std::string_view error, const std::string* ip) {
    Json json = Json::object();
    json["error"] = error;
    if (ip) json["ip"] = *ip;
    return Dump(json);
}

bool IsValidUtf8(std::string_view text) {
    try {
        (void)Json(text).dump();
        return true;
    } catch (const Json::type_error&) {
        return false;
    }
}

} // namespace iploc
