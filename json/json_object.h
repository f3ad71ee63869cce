// JsonObject: one JSON document, queried and changed by path.
//
// The lookups read the location service's answers with it: Parse the answer, GetText
// each key, Clear. Paths are member chains relative to the root variable "da" (see
// ResolvePath). Texts going in and out are code page 936; the document keeps Unicode,
// and a character that code page 936 lacks reads back as "?".
//
// Text is only ever parsed as JSON, never run as code. A copy shares the document with
// the original (as copies shared the engine that used to hold it); Parse and SetUpEngine
// give the object a fresh document, leaving earlier copies with the old one. An object
// and its copies belong to one thread.
//
// Failures are silent: an operation that cannot do its work returns the empty result of
// its kind (empty text, false, 0, -1 for GetType, a document holding null for GetObject).
#pragma once

#include "text/text.h"

#include "json/json_path.h"
#include "json/json_value.h"
#include <memory>

namespace iploc {

// What Parse reports about its input; all zero and empty when the text was accepted.
// On failure Number is one of JsonParseErrorNumber (json/json_parser.h), Description says
// what was wrong (in English), Line and Column (1-based, in characters) locate the first
// error in the text. The other fields stay empty.
struct ScriptErrorInfo {
    int Number = 0;
    Text Source;
    Text Description;
    Text HelpFile;
    int HelpContext = 0;
    Text Text_;
    int Line = 0;
    int Column = 0;
};

// A shared handle to a document: what GetEngine hands out.
using JsonEngine = std::shared_ptr<JsonDocument>;

class JsonObject {
public:
    // A document holding an empty object.
    JsonObject();
    // Shares the other object's document.
    JsonObject(const JsonObject& other);
    JsonObject& operator=(const JsonObject& other);
    ~JsonObject();

    // Gives the object a fresh document holding an empty object. Cannot fail: the state
    // without a document that a missing script engine once caused does not exist here.
    void SetUpEngine();
    // Replaces the document by the value of `text`, which must be one standard JSON value
    // (a top-level string stays a string; text after a zero byte is ignored). True when
    // the new root is neither null nor missing; a text that is not JSON leaves null.
    // `asLiteral` selected a script form that no longer differs; it changes nothing.
    bool Parse(const Text& text, bool asLiteral = false, ScriptErrorInfo* errorInfo = nullptr);
    // Makes the root an empty object (seen by every copy). Always true.
    bool Clear();
    // The whole document as JSON text; empty when the root is missing.
    Text ToJsonText() const;
    // Stores `value` at `path`: as a text, or with `asJson` as a JSON value that is merged
    // into an object already at the path (MergeInto; an empty value merges nothing) or
    // replaces whatever else is there (an empty value makes the member missing).
    bool SetValue(const Text& path = {}, const Text& value = {}, bool asJson = false);
    // Stores the JSON value `jsonText` at `path`; an empty text makes the member missing.
    bool AssignJson(const Text& path = {}, const Text& jsonText = {});
    // Rewrites `path` as the full reference it resolves to and tells whether it holds a
    // value (neither null nor missing). A path that starts with "da" and holds a value
    // that way stays as it is; otherwise "" becomes "da", "[2]" becomes "da[2]" and any
    // other path p becomes "da." + p (so "da.zip" becomes "da.da.zip" when da.zip is empty).
    bool ResolvePath(Text& path) const;
    bool Exists(const Text& path = {}) const;
    // 0 null or missing, 1 logical, 2 number, 4 object, 5 array, 6 text; -1 for a path
    // that runs through null or missing or is not a member chain.
    int GetType(const Text& path = {}) const;
    // The value as plain text (texts as they are, numbers as ECMAScript writes them,
    // "[object Object]", arrays joined by ","; empty for null and missing) or, with
    // `asJson`, as JSON text ("null" for null, empty for missing).
    Text GetText(const Text& path = {}, bool asJson = false) const;
    // Replaces `names` by the member names of the object at `path` and returns their
    // count; anything that is not an object has none.
    int GetMemberNames(TextList& names, const Text& path = {}) const;
    // The length of the array at `path` (holes included); 0 for anything else.
    int GetCount(const Text& path = {}) const;
    // An independent document holding a copy of the value at `path`, as writing it as
    // JSON text and parsing that would give; null when the path holds nothing.
    JsonObject GetObject(const Text& path = {}) const;
    // Appends (or with `atFront` prepends) `value` to the array at `path`, which is first
    // made an empty array when it holds anything else. The value is stored as a text, or
    // with `isRaw` read as one JSON value. True when the array then has members.
    bool ArrayAdd(const Text& value = {}, const Text& path = {}, bool isRaw = false, bool atFront = false);
    JsonObject ArrayGetObject(int index, const Text& path = {}) const;
    // The member at `index` of the array at `path`: a text member as it is (anything else
    // gives empty text) or, with `asJson`, any member as JSON text.
    Text ArrayGetText(int index, const Text& path = {}, bool asJson = false) const;
    // Replaces (or creates, past the end with holes between) the member at `index`.
    bool ArraySet(int index, const Text& path = {}, const Text& value = {}, bool isRaw = false);
    // Removes the member at `index` (negative counts from the end); later members move
    // down. True when a member was removed.
    bool ArrayRemove(int index, const Text& path = {});
    // Deletes the member at `path`: removed from an object, a hole in an array. True when
    // the parent holds a value, false for the root.
    bool Remove(const Text& path = {});
    // Stores `number` rounded to 13 significant digits ("%.13g"). Reports the stored
    // number as a logical: false for 0, and for non-finite numbers, which are not stored.
    bool SetNumber(const Text& path, double number);
    // A number as it is, a text that reads as a decimal number as that number, true -1,
    // false 0, anything else 0.
    double GetNumber(const Text& path = {}) const;
    // The same as GetText with asJson.
    Text GetJsonText(const Text& path = {}) const;
    // A shared handle to this object's document.
    JsonEngine GetEngine() const;
    // Replaces `values` by the texts, numbers and logicals among the members of the
    // container at `path`, in order; with `recursive` nested containers contribute their
    // leaves in place. Returns the count.
    int GetLeafValues(TextList& values, const Text& path = {}, bool recursive = false) const;

private:
    JsonValue& Root() const { return document_->root; }
    ResolvedPath Resolve(const Text& path) const;
    // Assigns `value` (`valueDepth` levels deep) at `steps`; the assignment's logical result.
    bool StoreAt(const PathSteps& steps, JsonValue value, int valueDepth);
    static JsonObject HoldingCopyOf(const JsonValue* value);

    std::shared_ptr<JsonDocument> document_;
};

} // namespace iploc
