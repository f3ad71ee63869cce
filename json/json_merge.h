// Merging a value into an existing one, as SetValue in JSON form does.
#pragma once

#include "json/json_value.h"

namespace iploc {

// Merges `source` into `target` in place. An array target gets the members of an array
// source appended. An object target takes each member of the source (an array source
// gives its members under their decimal indices), in order: a member the target lacks,
// or holds as a text, logical, number or null, is overwritten; a member holding an object
// or an array is merged the same way, recursively. Any other pairing changes nothing.
void MergeInto(JsonValue& target, JsonValue source);

} // namespace iploc
