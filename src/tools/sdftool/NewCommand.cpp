// sdftool new: writes a new, empty station document.

#include "Command.h"
#include "Document.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <filesystem>
#include <system_error>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool new FILE [--force]

Writes a new station document to FILE: the root with an empty station and
the station's required children, each holding its default. The station is
object 1 and records 2 as the next id ("sdftool add" uses and updates it).

Options:
  --force     Replace FILE if it exists (without it an existing file is left
              alone and the command fails).
  -h, --help  Show this help.

Exit status: 0 on success, 1 when FILE exists or cannot be written, 2 for a
wrong command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"force", 0, false}};

int run(const ParsedArgs& args)
{
    args.expectPositional(1, 1, "one FILE");
    const std::string& file = args.positional()[0];

    std::error_code ec;
    // symlink_status: a dangling link is something the user made, too. A
    // failing query is left to the write, which reports it.
    if (std::filesystem::exists(std::filesystem::symlink_status(file, ec)) && !args.has("force"))
        throw Failure(fmt::format("{}: file exists (use --force to replace it)", file));

    const auto document = sdf::SDF::SpawnFromRootTemplate();
    // Id 0 names no object: the station must have an id of its own.
    const auto station = document->Root()->append("station");
    station->setId(1);
    station->set<unsigned int>("next_dataid", 2u);
    WriteDocument(*document, file);
    return kExitOk;
}

} // namespace

const Command kNewCommand{"new", "write a new station document", kHelp, kOptions, run, kNoValuePosition};

} // namespace sdftool
