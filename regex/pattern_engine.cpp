#include "regex/pattern_engine.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <algorithm>
#include <cstdint>
#include <pcre2.h>

namespace iploc::regex_detail {
namespace {

// Bounds for one match attempt. A pattern that backtracks without end, such as nested
// quantifiers over a long run that finally fails, stops with an error after a small
// fraction of a second instead of hanging the thread. Real searches stay far below them.
constexpr std::uint32_t kMatchLimit = 5'000'000;
constexpr std::uint32_t kDepthLimit = 1'000'000;
constexpr std::uint32_t kHeapLimitKiB = 64 * 1024;

struct CodeFree {
    void operator()(pcre2_code_16* code) const { pcre2_code_free_16(code); }
};
struct MatchDataFree {
    void operator()(pcre2_match_data_16* data) const { pcre2_match_data_free_16(data); }
};
struct MatchContextFree {
    void operator()(pcre2_match_context_16* context) const { pcre2_match_context_free_16(context); }
};
struct CompileContextFree {
    void operator()(pcre2_compile_context_16* context) const { pcre2_compile_context_free_16(context); }
};
using CodePtr = std::unique_ptr<pcre2_code_16, CodeFree>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data_16, MatchDataFree>;
using MatchContextPtr = std::unique_ptr<pcre2_match_context_16, MatchContextFree>;
using CompileContextPtr = std::unique_ptr<pcre2_compile_context_16, CompileContextFree>;

// PCRE2 wants a real pointer even for an empty string.
PCRE2_SPTR16 UnitsOf(std::u16string_view units) {
    static const PCRE2_UCHAR16 kEmpty[1] = {0};
    return units.empty() ? kEmpty : reinterpret_cast<PCRE2_SPTR16>(units.data());
}

// Script-engine flavour: \uhhhh and \xhh escapes, an unset group's back-reference
// matches nothing, [] and [^] are allowed, $ without multi-line means the very end.
// UTF and Unicode properties stay off, also against (*UTF) in the pattern, so \w,
// \d and case folding cover ASCII only.
std::uint32_t CompileFlags(PatternOptions options) {
    std::uint32_t flags = PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS |
                          PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP;
    if (options.ignoreCase) flags |= PCRE2_CASELESS;
    if (options.multiline) flags |= PCRE2_MULTILINE;
    return flags;
}

// Only a line feed ends a line: the dot matches everything but LF (a CR included),
// and multi-line ^ and $ work at LFs.
CodePtr Compile(std::u16string_view pattern, PatternOptions options) {
    CompileContextPtr context(pcre2_compile_context_create_16(nullptr));
    if (!context || pcre2_set_newline_16(context.get(), PCRE2_NEWLINE_LF) != 0) return nullptr;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    return CodePtr(pcre2_compile_16(UnitsOf(pattern), pattern.size(), CompileFlags(options), &error,
                                    &errorOffset, context.get()));
}

MatchContextPtr LimitedMatchContext() {
    MatchContextPtr context(pcre2_match_context_create_16(nullptr));
    if (!context) return nullptr;
    if (pcre2_set_match_limit_16(context.get(), kMatchLimit) != 0 ||
        pcre2_set_depth_limit_16(context.get(), kDepthLimit) != 0 ||
        pcre2_set_heap_limit_16(context.get(), kHeapLimitKiB) != 0) {
        return nullptr;
    }
    return context;
}

UnitMatch ReadMatch(pcre2_match_data_16* data) {
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(data);
    const std::uint32_t pairs = pcre2_get_ovector_count_16(data);
    UnitMatch match(pairs);
    for (std::uint32_t i = 0; i < pairs; ++i) {
        const PCRE2_SIZE begin = ovector[2 * i];
        const PCRE2_SIZE end = ovector[2 * i + 1];
        if (begin == PCRE2_UNSET) continue;
        match[i] = UnitSpan{std::min(begin, end), end, true};
    }
    return match;
}

// Where the next attempt starts: after the match, or one unit on after an empty one.
std::size_t NextStart(std::size_t offset, const UnitSpan& match) {
    const std::size_t next = match.end > match.begin ? match.end : match.end + 1;
    return std::max(next, offset + 1);
}

} // namespace

struct CompiledPattern::Code {
    CodePtr code;
};

CompiledPattern::CompiledPattern(std::u16string_view pattern, PatternOptions options) {
    if (auto code = Compile(pattern, options)) code_ = std::make_unique<Code>(Code{std::move(code)});
}

CompiledPattern::~CompiledPattern() = default;

std::optional<std::vector<UnitMatch>> CompiledPattern::FindAll(std::u16string_view subject,
                                                               bool global) const {
    if (!code_) return std::nullopt;
    MatchDataPtr data(pcre2_match_data_create_from_pattern_16(code_->code.get(), nullptr));
    const MatchContextPtr context = LimitedMatchContext();
    if (!data || !context) return std::nullopt;

    std::vector<UnitMatch> matches;
    for (std::size_t offset = 0; offset <= subject.size();) {
        const int rc = pcre2_match_16(code_->code.get(), UnitsOf(subject), subject.size(), offset, 0,
                                      data.get(), context.get());
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc <= 0) return std::nullopt; // a limit was hit, or the engine failed otherwise
        matches.push_back(ReadMatch(data.get()));
        if (!global) break;
        offset = NextStart(offset, matches.back().front());
    }
    return matches;
}

} // namespace iploc::regex_detail
