#include "json/json_path.h"

#include <charconv>
#include <optional>

namespace iploc {
namespace {

// Highest array index (2^32 - 2); larger numbers are ordinary member names.
constexpr std::uint64_t kMaxArrayIndex = 4294967294u;
// Most holes one assignment past the end of an array may create.
constexpr std::uint64_t kMaxArrayGap = 1u << 20;
// Longest index in brackets; every such number is exact in a double.
constexpr std::size_t kMaxIndexDigits = 15;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsIdentifierChar(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || IsDigit(c) || b == '_' || b == '$' ||
           b >= 0x80;
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Reads a member chain from UTF-8 path text.
class ChainReader {
public:
    explicit ChainReader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ == text_.size(); }

    // A name as it may follow ".": letters, digits, "_", "$" and non-ASCII characters,
    // not starting with a digit.
    bool ReadIdentifier(std::string& out) {
        const auto start = pos_;
        if (AtEnd() || IsDigit(text_[pos_])) return false;
        while (!AtEnd() && IsIdentifierChar(text_[pos_]))
            ++pos_;
        out.assign(text_.substr(start, pos_ - start));
        return pos_ > start;
    }

    // Accessors up to the end of the text: ".name", "[index]", "['name']", "[\"name\"]".
    bool ReadAccessors(PathSteps& steps) {
        while (!AtEnd()) {
            const char c = text_[pos_++];
            PathStep step;
            if (c == '.') {
                if (!ReadIdentifier(step.name)) return false;
            } else if (c != '[' || !ReadBracket(step)) {
                return false;
            }
            steps.push_back(std::move(step));
        }
        return true;
    }

private:
    bool ReadBracket(PathStep& step) {
        if (AtEnd()) return false;
        const char c = text_[pos_];
        const bool ok = IsDigit(c) ? ReadIndex(step) : (c == '\'' || c == '"') && ReadQuoted(step.name);
        return ok && !AtEnd() && text_[pos_++] == ']';
    }

    bool ReadIndex(PathStep& step) {
        const auto start = pos_;
        while (!AtEnd() && IsDigit(text_[pos_]))
            ++pos_;
        const auto digits = text_.substr(start, pos_ - start);
        if (digits.size() > kMaxIndexDigits || (digits.size() > 1 && digits[0] == '0')) return false;
        step.isIndex = true;
        std::from_chars(digits.data(), digits.data() + digits.size(), step.index);
        return true;
    }

    // A quoted name with the escapes a script string literal knows.
    bool ReadQuoted(std::string& out) {
        const char quote = text_[pos_++];
        while (!AtEnd()) {
            const char c = text_[pos_++];
            if (c == quote) return true;
            if (c == '\n' || c == '\r') return false;
            if (c != '\\') {
                out.push_back(c);
            } else if (AtEnd() || !ReadEscape(out)) {
                return false;
            }
        }
        return false;
    }

    bool ReadEscape(std::string& out) {
        const char c = text_[pos_++];
        switch (c) {
        case 'n':
            out.push_back('\n');
            return true;
        case 'r':
            out.push_back('\r');
            return true;
        case 't':
            out.push_back('\t');
            return true;
        case 'b':
            out.push_back('\b');
            return true;
        case 'f':
            out.push_back('\f');
            return true;
        case 'v':
            out.push_back('\v');
            return true;
        case '0':
            out.push_back('\0');
            return true;
        case '\n':
            return true; // a line continuation
        case '\r':
            if (!AtEnd() && text_[pos_] == '\n') ++pos_;
            return true;
        case 'x':
            return ReadHexEscape(2, out);
        case 'u':
            return ReadHexEscape(4, out);
        default:
            out.push_back(c);
            return true; // any other character stands for itself
        }
    }

    std::optional<char32_t> ReadHex(std::size_t count) {
        if (text_.size() - pos_ < count) return std::nullopt;
        unsigned value = 0;
        const auto* first = text_.data() + pos_;
        const auto result = std::from_chars(first, first + count, value, 16);
        if (result.ptr != first + count) return std::nullopt;
        pos_ += count;
        return static_cast<char32_t>(value);
    }

    bool ReadHexEscape(std::size_t count, std::string& out) {
        auto c = ReadHex(count);
        if (!c) return false;
        if (*c >= 0xD800 && *c <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
            pos_ += 2;
            const auto low = ReadHex(4);
            if (!low) return false;
            if (*low >= 0xDC00 && *low <= 0xDFFF) {
                AppendUtf8(0x10000 + ((*c - 0xD800) << 10) + (*low - 0xDC00), out);
                return true;
            }
            AppendUtf8(0xFFFD, out); // the high half stays unpaired
            c = low;
        }
        if (*c >= 0xD800 && *c <= 0xDFFF) c = 0xFFFD; // an unpaired surrogate has no UTF-8 form
        AppendUtf8(*c, out);
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// The array index a member name stands for: decimal digits without a leading zero.
std::optional<std::uint64_t> ArrayIndexOf(std::string_view name) {
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) return std::nullopt;
    std::uint64_t index = 0;
    const auto result = std::from_chars(name.data(), name.data() + name.size(), index);
    if (result.ptr != name.data() + name.size() || index > kMaxArrayIndex) return std::nullopt;
    return index;
}

std::optional<std::uint64_t> ArrayIndexOf(const PathStep& step) {
    if (step.isIndex) return step.index <= kMaxArrayIndex ? std::optional(step.index) : std::nullopt;
    return ArrayIndexOf(step.name);
}

std::string MemberNameOf(const PathStep& step) {
    return step.isIndex ? std::to_string(step.index) : step.name;
}

// One step from `from`; nullptr for a missing member. `failed` when `from` holds nothing.
const JsonValue* Step(const JsonValue& from, const PathStep& step, bool& failed) {
    switch (from.kind()) {
    case JsonKind::Missing:
    case JsonKind::Null:
        failed = true;
        return nullptr;
    case JsonKind::Object:
        return step.isIndex ? from.members().Find(MemberNameOf(step)) : from.members().Find(step.name);
    case JsonKind::Array: {
        const auto index = ArrayIndexOf(step);
        return index && *index < from.elements().size() ? &from.elements()[*index] : nullptr;
    }
    default:
        return nullptr; // texts, numbers and logicals have no members
    }
}

bool ParseRelative(std::string_view path, PathSteps& steps) {
    if (path.empty()) return true;
    ChainReader reader(path);
    if (path.front() != '[') {
        steps.emplace_back();
        if (!reader.ReadIdentifier(steps.back().name)) return false;
    }
    return reader.ReadAccessors(steps);
}

bool ParseRooted(std::string_view path, PathSteps& steps) {
    ChainReader reader(path);
    std::string first;
    return reader.ReadIdentifier(first) && first == kRootVariableName && reader.ReadAccessors(steps);
}

} // namespace

ResolvedPath ResolvePathSteps(std::string_view pathUtf8, const JsonValue& root) {
    ResolvedPath resolved;
    if (pathUtf8.substr(0, kRootVariableName.size()) == kRootVariableName &&
        ParseRooted(pathUtf8, resolved.steps)) {
        resolved.target = LookUp(root, resolved.steps);
        if (resolved.target.HoldsValue()) {
            resolved.valid = resolved.keptAsGiven = true;
            return resolved;
        }
    }
    resolved.steps.clear();
    resolved.valid = ParseRelative(pathUtf8, resolved.steps);
    resolved.target = resolved.valid ? LookUp(root, resolved.steps) : PathLookup{true, nullptr};
    return resolved;
}

PathLookup LookUp(const JsonValue& root, std::span<const PathStep> steps) {
    PathLookup lookup{false, &root};
    for (const auto& step : steps) {
        if (lookup.value == nullptr) return PathLookup{true, nullptr};
        lookup.value = Step(*lookup.value, step, lookup.failed);
        if (lookup.failed) return lookup;
    }
    return lookup;
}

JsonValue* LookUpMutable(JsonValue& root, std::span<const PathStep> steps, bool* failed) {
    const auto lookup = LookUp(root, steps);
    if (failed) *failed = lookup.failed;
    // The lookup only reads; the value belongs to `root`, which the caller may change.
    return const_cast<JsonValue*>(lookup.value);
}

JsonValue* AssignmentSlot(JsonValue& root, const PathSteps& steps) {
    if (steps.empty()) return &root;
    JsonValue* parent = LookUpMutable(root, std::span(steps).first(steps.size() - 1));
    if (parent == nullptr) return nullptr;
    const auto& last = steps.back();
    if (parent->Is(JsonKind::Object)) return &parent->members().Slot(MemberNameOf(last));
    if (!parent->Is(JsonKind::Array)) return nullptr;
    const auto index = ArrayIndexOf(last);
    auto& elements = parent->elements();
    if (!index || (*index >= elements.size() && *index - elements.size() >= kMaxArrayGap)) return nullptr;
    if (*index >= elements.size()) elements.resize(*index + 1);
    return &elements[*index];
}

bool DeleteAt(JsonValue& root, const PathSteps& steps) {
    if (steps.empty()) return false;
    JsonValue* parent = LookUpMutable(root, std::span(steps).first(steps.size() - 1));
    if (parent == nullptr || parent->IsNothing()) return false;
    const auto& last = steps.back();
    if (parent->Is(JsonKind::Object)) {
        parent->members().Remove(MemberNameOf(last));
    } else if (parent->Is(JsonKind::Array)) {
        const auto index = ArrayIndexOf(last);
        if (index && *index < parent->elements().size()) parent->elements()[*index] = JsonValue();
    }
    return true;
}

} // namespace iploc
