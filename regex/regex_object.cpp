#include "regex/regex_object.h"

#include "regex/pattern_engine.h"
#include "regex/replacement.h"
#include "regex/subject_units.h"
#include "text/encoding.h"

#include <exception>
#include <vector>

// The engine lives in this process: unlike a COM component it needs no per-thread
// start-up or shut-down, so construction and destruction only manage memory.

namespace iploc {

using regex_detail::ByteMatch;
using regex_detail::ByteSpan;

struct RegexObject::Engine {
    Engine(Text patternText, regex_detail::PatternOptions options, bool globalSearch)
        : pattern(std::move(patternText)), global(globalSearch), compiled(TextToU16(pattern), options) {}

    Text pattern;
    bool global;
    regex_detail::CompiledPattern compiled;
};

struct RegexObject::MatchList {
    std::vector<ByteMatch> matches;
};

namespace {

std::string_view UpToFirstZeroByte(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

const Text& QuoteMarker() {
    static const Text marker = Utf8ToText("#引号");
    return marker;
}

ByteMatch ToBytes(const regex_detail::UnitMatch& match, const std::vector<std::size_t>& byteAt) {
    ByteMatch bytes(match.size());
    for (std::size_t i = 0; i < match.size(); ++i) {
        if (match[i].set) bytes[i] = ByteSpan{byteAt[match[i].begin], byteAt[match[i].end], true};
    }
    return bytes;
}

} // namespace

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject& other) = default;
RegexObject& RegexObject::operator=(const RegexObject& other) = default;

bool RegexObject::Execute(std::string_view pattern, std::string_view subject, bool caseSensitive,
                          bool multiline, bool global, bool quoteMarker) {
    engine_.reset();
    matches_.reset();
    try {
        Text patternText(UpToFirstZeroByte(pattern));
        if (quoteMarker) patternText = ReplaceAll(patternText, QuoteMarker(), "\"");
        engine_ = std::make_shared<const Engine>(
            std::move(patternText), regex_detail::PatternOptions{!caseSensitive, multiline}, global);
        subject_ = Text(UpToFirstZeroByte(subject));

        const auto decoded = regex_detail::DecodeSubject(*subject_);
        const auto found = engine_->compiled.FindAll(decoded.units, global);
        if (!found) return false;
        auto list = std::make_shared<MatchList>();
        list->matches.reserve(found->size());
        for (const auto& match : *found)
            list->matches.push_back(ToBytes(match, decoded.byteAt));
        matches_ = std::move(list);
    } catch (const std::exception&) { // out of memory on a huge subject: a failed run
        matches_.reset();
    }
    return matches_ != nullptr;
}

void RegexObject::Reserved() {}

Text RegexObject::GetPattern() const {
    return engine_ ? engine_->pattern : Text();
}

Text RegexObject::Replace(std::string_view replacement) const {
    if (!engine_ || !matches_ || !subject_) return {};
    try {
        return regex_detail::ReplaceMatches(*subject_, matches_->matches, UpToFirstZeroByte(replacement));
    } catch (const std::exception&) {
        return {};
    }
}

std::int32_t RegexObject::GetMatchCount() const {
    return matches_ ? static_cast<std::int32_t>(matches_->matches.size()) : 0;
}

Text RegexObject::GetMatchText(std::int32_t match, std::int32_t* position) const {
    return SpanText(match, 0, position);
}

Text RegexObject::GetSubMatchText(std::int32_t match, std::int32_t subMatch, std::int32_t* position) const {
    return SpanText(match, subMatch >= 1 ? subMatch : -1, position);
}

std::int32_t RegexObject::GetSubMatchCount() const {
    if (!matches_ || matches_->matches.empty()) return 0;
    return static_cast<std::int32_t>(matches_->matches.front().size() - 1);
}

// Group 0 is the whole match. The position is the true byte offset in the subject,
// not a unit index: after two-byte characters the two differ.
Text RegexObject::SpanText(std::int32_t match, std::int32_t group, std::int32_t* position) const {
    const bool inRange =
        matches_ && match >= 1 && static_cast<std::size_t>(match) <= matches_->matches.size();
    const ByteMatch* found = inRange ? &matches_->matches[match - 1] : nullptr;
    if (found == nullptr || group < 0 || static_cast<std::size_t>(group) >= found->size()) {
        if (position != nullptr) *position = OutOfRangePosition();
        return {};
    }
    const ByteSpan& span = (*found)[group];
    if (position != nullptr)
        *position = static_cast<std::int32_t>(span.set ? span.begin : found->front().begin);
    return span.set ? subject_->substr(span.begin, span.end - span.begin) : Text();
}

// A new object's subject is no text yet and so counts as not empty.
std::int32_t RegexObject::OutOfRangePosition() const {
    return subject_ && subject_->empty() ? -2 : 0;
}

} // namespace iploc
