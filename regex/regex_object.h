// RegexObject: one regular-expression run over one subject text.
//
// Pattern, subject and results are code page 936 text. Matching works on characters:
// the texts are converted to UTF-16 and a two-byte character is one character for "."
// and for character classes. Case is ignored by default (ASCII letters only), \w is
// [A-Za-z0-9_], and the dot matches every character except a line feed (a carriage
// return included).
#pragma once

#include "text/text.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace iploc {

class RegexObject {
public:
    // A new object has no engine and no matches; its subject is not yet a text.
    RegexObject();
    ~RegexObject();
    // The copy shares the compiled pattern and the match results and holds its own
    // copy of the subject.
    RegexObject(const RegexObject& other);
    RegexObject& operator=(const RegexObject& other);

    // Compiles `pattern` afresh and runs it over `subject`: every match from left to
    // right when `global`, else at most the first. With `quoteMarker`, each "#引号" in
    // the pattern stands for a double quote. True when the run produced a match list
    // (also an empty one); false for an invalid pattern or a run that exceeded the
    // engine's limits, after which there are no matches. Texts are read up to their
    // first zero byte.
    bool Execute(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
                 bool multiline = true, bool global = true, bool quoteMarker = false);
    // Does nothing; kept so the operations stay in their usual order.
    void Reserved();
    // The pattern of the last Execute (after the quote-marker replacement); empty before any.
    Text GetPattern() const;
    // The last subject with the matches replaced by `replacement`, in which $$, $&, $`,
    // $' and $1 to $9 stand for a dollar sign, the match, the text before and after it
    // and a group. Empty when there is no match list.
    Text Replace(std::string_view replacement = {}) const;
    std::int32_t GetMatchCount() const;
    // Text of match number `match` (from 1). `position` receives the match's 0-based byte
    // offset in the subject. For a number out of range the text is empty and `position`
    // is 0, or -2 when the subject is an empty text.
    Text GetMatchText(std::int32_t match, std::int32_t* position = nullptr) const;
    // Text of group `subMatch` (from 1) of match `match`, empty for a group that took part
    // in no match. `position` receives the group's 0-based byte offset (the match's for a
    // group that took part in no match); out of range as GetMatchText.
    Text GetSubMatchText(std::int32_t match, std::int32_t subMatch, std::int32_t* position = nullptr) const;
    // Number of groups of the first match; 0 when there are no matches.
    std::int32_t GetSubMatchCount() const;

private:
    struct Engine;
    struct MatchList;

    Text SpanText(std::int32_t match, std::int32_t group, std::int32_t* position) const;
    std::int32_t OutOfRangePosition() const;

    std::shared_ptr<const Engine> engine_;
    std::shared_ptr<const MatchList> matches_;
    // Unset until the first Execute stores its subject.
    std::optional<Text> subject_;
};

} // namespace iploc
