#include "json/json_merge.h"

#include <string>

namespace iploc {
namespace {

void MergeMember(JsonMembers& target, const std::string& name, JsonValue value) {
    JsonValue* existing = target.Find(name);
    if (existing != nullptr && (existing->Is(JsonKind::Object) || existing->Is(JsonKind::Array))) {
        MergeInto(*existing, std::move(value));
    } else {
        target.Set(name, std::move(value));
    }
}

} // namespace

void MergeInto(JsonValue& target, JsonValue source) {
    if (target.Is(JsonKind::Array)) {
        if (!source.Is(JsonKind::Array)) return;
        auto& elements = target.elements();
        for (auto& element : source.elements())
            elements.push_back(std::move(element));
    } else if (target.Is(JsonKind::Object)) {
        if (source.Is(JsonKind::Object)) {
            for (auto& member : source.members())
                MergeMember(target.members(), member.name, std::move(member.value));
        } else if (source.Is(JsonKind::Array)) {
            auto& elements = source.elements();
            for (std::size_t i = 0; i < elements.size(); ++i) {
                // Holes are not members of the source, so they are not merged.
                if (!elements[i].Is(JsonKind::Missing)) {
                    MergeMember(target.members(), std::to_string(i), std::move(elements[i]));
                }
            }
        }
    }
}

} // namespace iploc
