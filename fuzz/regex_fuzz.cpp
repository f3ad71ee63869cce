// RegexObject::Execute with a fuzzed pattern and subject, then every read of the results.
//
// Input: one byte of options (bit 0 case sensitive, 1 multi-line, 2 global, 3 quote marker),
// then pattern, subject and replacement separated by zero bytes.
#include "fuzz/fuzz_input.h"
#include "regex/regex_object.h"

#include <algorithm>

namespace {

using iploc::RegexObject;
using iploc::Text;
using iploc::fuzz::Expect;

// A match or group text must be the subject's own bytes at the position reported for it.
void ExpectAt(const Text& subject, const Text& piece, std::int32_t position) {
    Expect(position >= 0 && std::size_t(position) <= subject.size(), "position lies in the subject");
    Expect(subject.compare(std::size_t(position), piece.size(), piece) == 0,
           "match text is the subject's bytes at its position");
}

void ReadMatches(const RegexObject& regex, const Text& subject) {
    const std::int32_t count = regex.GetMatchCount();
    Expect(count >= 0, "match count is not negative");
    const std::int32_t groups = regex.GetSubMatchCount();
    for (std::int32_t match = 1; match <= std::min<std::int32_t>(count, 64); ++match) {
        std::int32_t position = -1;
        const Text text = regex.GetMatchText(match, &position);
        ExpectAt(subject, text, position);
        for (std::int32_t group = 1; group <= std::min<std::int32_t>(groups, 16); ++group) {
            const Text groupText = regex.GetSubMatchText(match, group, &position);
            ExpectAt(subject, groupText, position);
        }
    }
    std::int32_t position = 7;
    Expect(regex.GetMatchText(count + 1, &position).empty(), "a match past the end is empty");
    (void)regex.GetSubMatchText(1, groups + 1, &position);
    (void)regex.GetSubMatchText(0, 0, &position);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t options = data[0];
    const auto pieces = iploc::fuzz::Pieces(iploc::fuzz::AsView(data + 1, size - 1), 3);
    const Text& pattern = pieces[0];
    const Text& subject = pieces[1];

    RegexObject regex;
    const bool ran = regex.Execute(pattern, subject, options & 1, options & 2, options & 4, options & 8);
    if (!ran) Expect(regex.GetMatchCount() == 0, "a failed run leaves no matches");
    ReadMatches(regex, subject);
    (void)regex.GetPattern();
    (void)regex.Replace(pieces[2]);

    const RegexObject copy = regex;
    Expect(copy.GetMatchCount() == regex.GetMatchCount(), "a copy shares the matches");
    (void)copy.Replace("$&$1$`$'$$");
    return 0;
}
