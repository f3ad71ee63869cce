// JsonObject::Parse on arbitrary text, then the reads the lookups make and the writer.
//
// Text written by ToJsonText must parse again and write back the same: that catches a
// writer that escapes or formats something the parser reads differently.
#include "fuzz/fuzz_input.h"

#include "json/json_object.h"
#include <array>

namespace {

using iploc::JsonObject;
using iploc::Text;
using iploc::TextList;

void ReadEverywhere(const JsonObject& json) {
    static const std::array<Text, 9> kPaths{"country", "province", "city", "area",       "isp",
                                            "",        "[0]",      "da",   "a.b[1]['c']"};
    TextList names;
    json.GetMemberNames(names);
    if (names.size() > 16) names.resize(16);
    for (const auto& path : kPaths)
        names.push_back(path);
    for (const auto& path : names) {
        (void)json.GetText(path);
        (void)json.GetText(path, true);
        (void)json.GetType(path);
        (void)json.GetNumber(path);
        (void)json.GetCount(path);
        (void)json.Exists(path);
        (void)json.ArrayGetText(0, path, true);
        TextList leaves;
        (void)json.GetLeafValues(leaves, path, true);
        Text resolved = path;
        (void)json.ResolvePath(resolved);
    }
    (void)json.GetObject("[0]").ToJsonText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text text(iploc::fuzz::AsView(data, size));
    JsonObject json;
    iploc::ScriptErrorInfo error;
    const bool parsed = json.Parse(text, false, &error);
    if (error.Number != 0) iploc::fuzz::Expect(!parsed, "a reported parse error fails Parse");
    ReadEverywhere(json);
    const Text written = json.ToJsonText();
    if (parsed) {
        JsonObject again;
        iploc::fuzz::Expect(again.Parse(written), "written JSON parses again");
        iploc::fuzz::Expect(again.ToJsonText() == written, "written JSON writes back the same");
    }
    json.Clear();
    return 0;
}
