// sdftool: station documents on the command line.

#include "Command.h"
#include "DocumentError.h"
#include "HugePages.h"
#include "JsonText.h"
#include "ToolSignals.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

using namespace sdftool;

constexpr const Command* kCommands[] = {
    &kValidateCommand, &kFormatCommand, &kNewCommand,       &kGetCommand, &kSetCommand,
    &kAddCommand,      &kStatsCommand,  &kCatalogueCommand, &kDiffCommand,
    &kGenerateCommand, &kFkCommand,     &kIkCommand,        &kReachCommand,
    &kGeometryCommand, &kSimulateCommand,
};

std::string overview()
{
    std::string text = "Usage: sdftool COMMAND [ARGUMENTS...]\n       sdftool --version\n\n"
                       "Reads, checks, edits and writes station documents.\n\nCommands:\n";
    for (const Command* c : kCommands)
        text += fmt::format("  {:<10} {}\n", c->name, c->summary);
    text += "\nRun 'sdftool COMMAND --help' for a command's arguments and options.\n"
            "Exit status: 0 on success, 1 when a command fails, 2 for a wrong command line.\n";
    return text;
}

int runCommand(const Command& command, const std::vector<std::string>& args)
{
    try {
        const ParsedArgs parsed = ParseArgs(args, command.options, command.valuePosition);
        if (parsed.has("help")) {
            fmt::print("{}", command.help);
            return kExitOk;
        }
        return command.run(parsed);
    } catch (const UsageError& e) {
        fmt::print(stderr, "sdftool {}: {}\nTry 'sdftool {} --help'.\n", command.name, e.what(), command.name);
        return kExitUsage;
    } catch (const DocumentError& e) {
        // Compiler style, so that editors and CI logs find the place.
        fmt::print(stderr, "{}\n", e.what());
        return kExitFailure;
    } catch (const std::exception& e) {
        fmt::print(stderr, "sdftool: {}\n", e.what());
        return kExitFailure;
    }
}

} // namespace

int main(int argc, char** argv)
{
    sdftool::InstallToolSignals();
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    if (args.empty()) {
        fmt::print(stderr, "{}", overview());
        return kExitUsage;
    }
    if (args[0] == "--version") {
        fmt::print("sdftool {} (station format 1.0)\n", SDFTOOL_VERSION);
        return kExitOk;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        fmt::print("{}", overview());
        return kExitOk;
    }
    const auto it = std::ranges::find(kCommands, args[0], &Command::name);
    if (it == std::end(kCommands)) {
        fmt::print(stderr, "sdftool: unknown command '{}'\nTry 'sdftool --help'.\n", args[0]);
        return kExitUsage;
    }
    sdftool::StartWithHugePages(argv);
    int status = runCommand(**it, {args.begin() + 1, args.end()});
    if (const std::size_t replaced = JsonReplacements(); replaced != 0)
        fmt::print(stderr, "sdftool: note: {} {} not UTF-8 {} shown as U+FFFD in the JSON output\n", replaced,
                   replaced == 1 ? "byte" : "bytes", replaced == 1 ? "is" : "are");
    // Output that never arrived (a full disk, a closed pipe) is a failure,
    // not a success with nothing printed.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && status == kExitOk) {
        fmt::print(stderr, "sdftool: standard output: write failure\n");
        status = kExitFailure;
    }
    return status;
}
