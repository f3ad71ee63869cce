// The matching engine behind RegexObject: PCRE2's 16-bit library in non-UTF mode, so
// one UTF-16 code unit is one character, set up to behave like a script engine's
// regular expressions. Internal to the regex module.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace iploc::regex_detail {

struct PatternOptions {
    bool ignoreCase = true;
    bool multiline = true;
};

// A stretch of the UTF-16 subject, in code units. `set` is false for a group that
// took part in no match (its range is then empty).
struct UnitSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool set = false;
};
// The whole match first, then one span per capture group.
using UnitMatch = std::vector<UnitSpan>;

class CompiledPattern {
public:
    // Compiles `pattern`; IsValid() tells whether that worked.
    CompiledPattern(std::u16string_view pattern, PatternOptions options);
    ~CompiledPattern();
    CompiledPattern(const CompiledPattern&) = delete;
    CompiledPattern& operator=(const CompiledPattern&) = delete;

    bool IsValid() const { return code_ != nullptr; }

    // Every non-overlapping match from left to right (`global`), or at most the first.
    // An empty match moves the next attempt one unit on. nullopt when the pattern is
    // invalid or an attempt fails, e.g. when runaway backtracking hits the engine's limits.
    std::optional<std::vector<UnitMatch>> FindAll(std::u16string_view subject, bool global) const;

private:
    struct Code; // the PCRE2 handle, kept out of this header
    std::unique_ptr<Code> code_;
};

} // namespace iploc::regex_detail
