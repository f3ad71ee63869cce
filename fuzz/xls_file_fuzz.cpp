// The whole .xls reader on a fuzzed file, as the batch run opens it: FreeXL in a child process,
// the values sent back to this process, our formula and boolean values on top.
//
// The workbook code forks a child to run FreeXL, so that a fault in that library cannot take
// the program down; the child's death is the designed outcome there, not a finding. In the
// child, sanitizer reports therefore go to the file named by IPLOC_FUZZ_CHILD_LOG (or nowhere)
// and the child ends quietly instead of through libFuzzer's crash handler. Faults in this
// process (the parent) are reported as usual.
#include "fuzz/fuzz_input.h"
#include "fuzz/temp_file.h"
#include "services/workbook/workbook.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

namespace {

using iploc::workbook::CellRef;

void EndChildQuietly() {
    _exit(3);
}

void InChild() {
    static const char* const log = std::getenv("IPLOC_FUZZ_CHILD_LOG");
    const int fd =
        ::open(log != nullptr ? log : "/dev/null", O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    __sanitizer_set_death_callback(EndChildQuietly);
}

const bool kChildHandlerInstalled = ::pthread_atfork(nullptr, nullptr, InChild) == 0;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    iploc::fuzz::Expect(kChildHandlerInstalled, "fork handler installed");
    const auto path = iploc::fuzz::WriteScratchFile("input.xls", iploc::fuzz::AsView(data, size));
    auto workbook = iploc::workbook::OpenWorkbookFile(path);
    if (!workbook) return 0;
    const int sheets = std::min(workbook->SheetCount(), 8);
    for (int sheet = 0; sheet < sheets; ++sheet) {
        if (!workbook->LoadSheet(sheet)) continue;
        for (std::uint32_t row = 1; row <= 24; ++row)
            (void)workbook->ReadCell(sheet, CellRef{row, 1});
    }
    return 0;
}
