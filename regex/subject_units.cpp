#include "regex/subject_units.h"

#include "text/encoding.h"

namespace iploc::regex_detail {
namespace {

bool IsCodePageLead(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}
bool IsCodePageTrail(unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE);
}

// Start offsets of the byte sequences the converter reads as one character: a lead
// byte with a valid trail byte, else a single byte. This is stricter than the text
// operations' view (which pairs any byte from 0x81 on with the next one) because it
// must agree with the decoder also on malformed input, where a lone lead byte or a
// 0xFF stands for a character of its own.
std::vector<std::size_t> SequenceStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    starts.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        starts.push_back(i);
        const bool pair = IsCodePageLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                          IsCodePageTrail(static_cast<unsigned char>(text[i + 1]));
        i += pair ? 2 : 1;
    }
    return starts;
}

// Safety net for a decoder that does not give one unit per sequence: decode each
// sequence on its own; extra units of a sequence sit at its end.
SubjectUnits DecodeSequenceBySequence(std::string_view text, const std::vector<std::size_t>& starts) {
    SubjectUnits subject;
    for (std::size_t s = 0; s < starts.size(); ++s) {
        const std::size_t end = s + 1 < starts.size() ? starts[s + 1] : text.size();
        const auto units = TextToU16(text.substr(starts[s], end - starts[s]));
        for (std::size_t u = 0; u < units.size(); ++u)
            subject.byteAt.push_back(u == 0 ? starts[s] : end);
        subject.units += units;
    }
    subject.byteAt.push_back(text.size());
    return subject;
}

} // namespace

SubjectUnits DecodeSubject(std::string_view text) {
    auto starts = SequenceStarts(text);
    SubjectUnits subject{TextToU16(text), {}};
    if (subject.units.size() != starts.size()) return DecodeSequenceBySequence(text, starts);
    subject.byteAt = std::move(starts);
    subject.byteAt.push_back(text.size());
    return subject;
}

} // namespace iploc::regex_detail
