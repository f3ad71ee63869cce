// The record the crash-test child appends as record number k, shared by the child and
// the test so the test can tell every stored record is whole and in its place.
#pragma once

#include "services/result_store.h"
#include "text/encoding.h"
#include "text/text.h"

#include <cstdint>

namespace iploc::crash_test {

// Values of varying length, some longer than their field and some with two-byte
// characters at the cut, so a half-written or mis-cut record would show.
inline ResultRecord RecordNumber(std::int64_t k) {
    static const Text kChina = Utf8ToText("中国");
    static const Text kTelecom = Utf8ToText("电信");
    const Text number = NumberText(k);
    return {number,
            kChina + number,
            Text(static_cast<std::size_t>(k % 60), 'p'),
            "x" + Text(static_cast<std::size_t>(k % 30) * 2, '\xD6'),
            Text(),
            kTelecom + Text(static_cast<std::size_t>(k % 7), ' ') + number};
}

// The record as the store keeps it: every value cut to its field's width.
inline ResultRecord StoredRecordNumber(std::int64_t k) {
    ResultRecord record = RecordNumber(k);
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = CutToWidth(record[i], static_cast<std::size_t>(ResultFields()[i].maxLength));
    return record;
}

} // namespace iploc::crash_test
