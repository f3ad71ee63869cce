// The subcommands of iploc: each drives the same workflows as the window.
#pragma once

#include <string>

namespace iploc {

// Exit statuses of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadInput = 2;
inline constexpr int kExitInterrupted = 130;

int RunLookupCommand(const std::string& addressUtf8);
int RunBatchCommand(const std::string& workbookUtf8);
int RunExportCommand(const std::string& workbookUtf8);
int RunCountCommand();
int RunClearCommand(bool assumeYes);

} // namespace iploc
