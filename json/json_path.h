// Paths into a document: member chains relative to the root variable "da".
//
// A chain is names joined by "." (a.b), indices in brackets ([2]) and quoted names in
// brackets (['a b'], ["a b"]), as in a.b[0]['c d']. Any other form resolves to nothing.
// Lookups follow the script rules the paths come from: a step from null or missing
// fails, a step from a text, number or logical gives missing, an index on an object
// names the member with that decimal name, and a name on an array reaches a member only
// when it is an index written in decimal.
#pragma once

#include "json/json_value.h"
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace iploc {

// The name of the root: a path that starts with it may address the root directly.
inline constexpr std::string_view kRootVariableName = "da";

struct PathStep {
    bool isIndex = false;
    std::uint64_t index = 0; // for an index step
    std::string name;        // UTF-8, for a name step

    static PathStep Index(std::uint64_t i) { return PathStep{true, i, {}}; }
    static PathStep Name(std::string n) { return PathStep{false, 0, std::move(n)}; }
};
using PathSteps = std::vector<PathStep>;

// The step for an index given as a number; a negative one names a member ("-1"), which
// arrays do not have.
inline PathStep IndexStep(std::int64_t index) {
    return index >= 0 ? PathStep::Index(static_cast<std::uint64_t>(index))
                      : PathStep::Name(std::to_string(index));
}

// The outcome of following a path: failed when a step left null or missing; otherwise
// the value, or nullptr for a missing one.
struct PathLookup {
    bool failed = false;
    const JsonValue* value = nullptr;

    bool HoldsValue() const { return !failed && value != nullptr && !value->IsNothing(); }
};

// A path after the resolution rule: the chain of steps from the root, or invalid when
// the text is not a member chain (it then resolves to nothing).
struct ResolvedPath {
    bool valid = false;
    PathSteps steps;
    bool keptAsGiven = false; // the text addressed the root itself ("da...") and holds a value
    PathLookup target;        // where the steps lead (valid until the document changes)

    bool HoldsValue() const { return valid && target.HoldsValue(); }
};

// The resolution rule. `pathUtf8` (the path in UTF-8) is kept as given when it starts
// with the root's name and holds a value that way; otherwise it is read relative to the
// root: empty is the root, "[..." continues the root, anything else is a member of it.
ResolvedPath ResolvePathSteps(std::string_view pathUtf8, const JsonValue& root);

PathLookup LookUp(const JsonValue& root, std::span<const PathStep> steps);
// The same on a document that may be changed through the result.
JsonValue* LookUpMutable(JsonValue& root, std::span<const PathStep> steps, bool* failed = nullptr);

// The slot an assignment to `steps` writes: the root, an existing member, or a new
// (missing) member or array element, the array growing with holes. nullptr when the
// assignment cannot store anything (the parent fails, is not a container, or the step
// is not a member of an array).
JsonValue* AssignmentSlot(JsonValue& root, const PathSteps& steps);

// Deletes the member at `steps`: an object member is removed, an array member becomes a
// hole. True when the parent holds a value (also when there was no such member); false
// for the root and when the parent is null, missing or cannot be reached.
bool DeleteAt(JsonValue& root, const PathSteps& steps);

} // namespace iploc
