// sdftool get: prints the value at a path.

#include "Command.h"
#include "Document.h"
#include "ElementPath.h"
#include "ValueAccess.h"

#include <fmt/format.h>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool get FILE PATH

Prints the text of the value at PATH in the station document FILE, as the
document would hold it, followed by a line feed. For an element whose user
value is kept in a `value` child (properties, signals, arguments, data
items), that child's value is printed.

PATH names an element below the root by child labels, each piece taking the
first child with that label: "station/name". A piece may pick the n-th
child of its label, counted from 1: "station/part[2]/pose". A path may also
start at the root, as validate --ids reports them: "/sdf/station/part[2]".

Options:
  -h, --help  Show this help.

Exit status: 0 on success, 1 when the file cannot be read or there is no
value at PATH, 2 for a wrong command line.
)HELP";

int run(const ParsedArgs& args)
{
    args.expectPositional(2, 2, "FILE PATH");
    const std::string& file = args.positional()[0];
    const std::string& path = args.positional()[1];

    const auto document = ReadDocument(file);
    Located at;
    try {
        at = FindPath(document->Root(), path);
    } catch (const Failure& e) {
        throw Failure(fmt::format("{}: {}", file, e.what()));
    }
    if (!at.element)
        throw Failure(fmt::format("{}: no element at '{}'", file, path));
    const Located holder = ValueHolder(at);
    if (!holder.element)
        throw Failure(fmt::format("{}: '{}' has no value", file, path));
    fmt::print("{}\n", holder.element->getStringFromValue());
    return kExitOk;
}

} // namespace

const Command kGetCommand{"get", "print the value at a path", kHelp, {}, run};

} // namespace sdftool
