// The .xls reader's own code on a fuzzed file held in memory: the compound-file container and
// the formula results and booleans read from its workbook stream. (xls_file_fuzz.cpp runs the
// whole reader, FreeXL included.)
#include "fuzz/fuzz_input.h"
#include "services/workbook/compound_file.h"
#include "services/workbook/xls_formula_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file = iploc::fuzz::AsView(data, size);
    if (const auto stream = iploc::workbook::ReadCompoundStream(file, "Workbook")) {
        (void)iploc::workbook::ReadFormulaAndBooleanValues(*stream);
    }
    (void)iploc::workbook::ReadCompoundStream(file, "Book");
    return 0;
}
