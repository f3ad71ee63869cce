// iploc: the command-line front end of the lookup workflows.
#include "app/cli/commands.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

namespace {

constexpr const char* kFooter =
    "Environment:\n"
    "  IPLOC_SERVICE_HOST  host[:port] of the location service (requests go to\n"
    "                      https://HOST/json?ip=ADDRESS)\n"
    "  IPLOC_HOME          program directory holding the store 数据暂存库.edb and the\n"
    "                      exported workbooks (default: the executable's directory when\n"
    "                      writable, else $XDG_DATA_HOME/iploc)\n"
    "Exit status: 0 success, 1 failure, 2 bad input, 130 interrupted.";

bool NamesSubcommand(CLI::App& cli, const std::string& word) {
    const auto matches = cli.get_subcommands([&word](CLI::App* sub) { return sub->check_name(word); });
    return !matches.empty();
}

} // namespace

int main(int argc, char** argv) {
    CLI::App cli{"iploc - find the location of IPv4 addresses through an HTTPS location service", "iploc"};
    cli.require_subcommand(1);
    cli.footer(kFooter);

    std::string address;
    auto* lookup = cli.add_subcommand("lookup", "Look up one address; prints country, province, city, area "
                                                "and carrier joined without separator");
    lookup->add_option("ADDRESS", address, "the address, sent as given (not trimmed)")->required();

    std::string workbook;
    auto* batch =
        cli.add_subcommand("batch", "Look up column A of the workbook's first sheet into the store, "
                                    "resuming at the row after the stored records");
    batch->add_option("WORKBOOK", workbook, ".xlsx or .xls workbook")->required();

    auto* exportCommand = cli.add_subcommand(
        "export", "Write every stored record into columns A-F of a copy of WORKBOOK, saved in the program "
                  "directory as 归属地查询结果<13 digits>.xlsx");
    exportCommand->add_option("WORKBOOK", workbook, ".xlsx or .xls workbook")->required();

    auto* count = cli.add_subcommand("count", "Print the number of stored records");

    bool assumeYes = false;
    auto* clear = cli.add_subcommand("clear", "Empty the store (asks first)");
    clear->add_flag("-y,--yes", assumeYes, "clear without asking");

    // A first word that names no subcommand gets a message that says so.
    if (argc > 1 && argv[1][0] != '-' && !NamesSubcommand(cli, argv[1])) {
        std::fprintf(stderr, "iploc: unknown subcommand '%s'; run iploc --help for the list\n", argv[1]);
        return iploc::kExitBadInput;
    }
    CLI11_PARSE(cli, argc, argv);

    if (*lookup) return iploc::RunLookupCommand(address);
    if (*batch) return iploc::RunBatchCommand(workbook);
    if (*exportCommand) return iploc::RunExportCommand(workbook);
    if (*count) return iploc::RunCountCommand();
    if (*clear) return iploc::RunClearCommand(assumeYes);
    return iploc::kExitBadInput;
}
