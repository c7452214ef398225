#pragma once

// What every sdftool command is: a name, a one-line summary for the list of
// commands, its --help text, its options and the function that runs it.

#include "ArgParser.h"

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string_view>

namespace sdftool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;   // the command ran and failed
inline constexpr int kExitUsage = 2;     // the command line was wrong

// A failure a command reports as "sdftool: <message>" with kExitFailure.
class Failure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct Command
{
    std::string_view name;
    std::string_view summary;
    std::string_view help;
    std::span<const OptionSpec> options;
    int (*run)(const ParsedArgs& args);
    // Which positional argument is a value that may begin with '-'
    // (see ParseArgs).
    std::size_t valuePosition;
};

extern const Command kValidateCommand;
extern const Command kFormatCommand;
extern const Command kNewCommand;
extern const Command kGetCommand;
extern const Command kSetCommand;
extern const Command kStatsCommand;
extern const Command kCatalogueCommand;
extern const Command kAddCommand;
extern const Command kDiffCommand;
extern const Command kGenerateCommand;
extern const Command kFkCommand;
extern const Command kIkCommand;
extern const Command kReachCommand;
extern const Command kGeometryCommand;
extern const Command kSimulateCommand;

} // namespace sdftool
