// sdftool generate: generates an operation's path into the station.

#include "Command.h"
#include "Document.h"
#include "DocumentError.h"
#include "JsonText.h"

#include <cell/CadPartGeometry.h>
#include <cell/CellKinematics.h>
#include <cell/GeometryCache.h>
#include <cell/OperationPath.h>

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool generate FILE OPERATION [-o OUT] [--json]

Generates the path of OPERATION (an operation's id, or else its name) in the
station document FILE and saves the document in place, or to OUT. The
operation's previous path and the targets only it named are replaced;
nothing else changes. The targets are robtarget data items of the program
task, given in the operation's work object; the moves are Movej, Movel (and
Movec for a circular approximation) naming the speed, zone, tool and work
object data items that the operation's path_gen names. Prints the path, the
number of targets and moves, the length through all targets and along the
process, and the reach of the targets by the task's robot with the
operation's tool data, each target in the configuration nearest the one
before ("not judged", with the reason, when the task has no robot or the
tool is not held by it).

  $ sdftool generate cell.sdf "Weld seam 1"
  cell.sdf: operation 'Weld seam 1' (74): path Weld_seam_1 (id 84), 22 targets, 22 moves, length 500 mm, process 300 mm
  reach: 0 unreachable, 0 configuration changes

Edges come from the operation's feature (mfgid), whose shape files are
point lists (xyz) or CAD files, else from process_edgeoperation (a face's
edge of a body, with that face's normals) or process_curveoperation (the
curves of a body). Bodies' STEP, IGES and BREP files are read and placed
where the station puts their parts; a file that cannot be read is an error.

Options:
  -o, --output OUT  Write the document there instead of to FILE.
  --json            Print {"file", "operation", "name", "path", "path_name",
                    "targets", "moves", "length", "process_length",
                    "reach": "not judged" or {"unreachable": N,
                    "configuration_changes": N}, "target_list": [{"name",
                    "role", "reach"}...]}.
  -h, --help        Show this help.

Exit status: 0 when the path was generated (and every target is reachable
when reach is judged), 1 when a target is unreachable, 2 when the path
cannot be generated (the file cannot be read or written, no such operation,
edges or settings the generator cannot use) or for a wrong command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"output", 'o', true}, {"json", 0, false}};

std::string_view RoleName(cell::PathGenerator::Role role)
{
    switch (role) {
    case cell::PathGenerator::Role::Clearance: return "clearance";
    case cell::PathGenerator::Role::Approach: return "approach";
    case cell::PathGenerator::Role::Feed: return "feed";
    case cell::PathGenerator::Role::Entry: return "entry";
    case cell::PathGenerator::Role::Process: return "process";
    case cell::PathGenerator::Role::Exit: return "exit";
    }
    return "process";
}

std::string_view ReachName(cell::PathReach status)
{
    switch (status) {
    case cell::PathReach::NotJudged: return "not judged";
    case cell::PathReach::Reachable: return "reachable";
    case cell::PathReach::ConfigurationChange: return "configuration change";
    case cell::PathReach::Unreachable: return "unreachable";
    }
    return "not judged";
}

int generate(const ParsedArgs& args)
{
    const std::string& file = args.positional()[0];
    const std::string& which = args.positional()[1];
    const std::string out = args.value("output").value_or(file);

    const auto document = ReadDocument(file);
    const auto root = document->Root();
    const auto operation = cell::OperationPath::Find(*root, which);
    if (!operation)
        throw Failure(fmt::format("{}: no operation has the id or name '{}'", file, which));
    cell::OperationPath::Options options;
    options.baseDirectory = std::filesystem::absolute(file).parent_path();
    options.geometry = cell::CadPartGeometry::For(root, options.baseDirectory, std::make_shared<cell::GeometryCache>());
    const cell::CellKinematics kinematics(root);
    std::string notJudged;
    options.judgeFor = [&](const sdf::Element& task, const sdf::Element& toolData) -> cell::ReachJudge {
        try {
            return kinematics.judgeFor(task, toolData);
        } catch (const std::invalid_argument& e) {
            notJudged = e.what();
            return {};
        }
    };
    cell::OperationPath::Result result;
    try {
        result = cell::OperationPath::Generate(root, *operation, options);
    } catch (const std::exception& e) {
        throw Failure(fmt::format("{}: {}", file, e.what()));
    }
    WriteDocument(*document, out);

    const std::string opName = operation->valueOr<std::string>("name", std::string());
    if (args.has("json")) {
        std::string list;
        for (const auto& t : result.targets) {
            if (!list.empty())
                list += ", ";
            fmt::format_to(std::back_inserter(list), "{{\"name\": {}, \"role\": \"{}\", \"reach\": \"{}\"}}",
                           JsonString(t.name), RoleName(t.role), ReachName(t.reach.status));
        }
        const std::string reach =
            result.judged ? fmt::format("{{\"unreachable\": {}, \"configuration_changes\": {}}}", result.unreachable,
                                        result.configurationChanges)
                          : std::string("\"not judged\"");
        fmt::print("{{\"file\": {}, \"operation\": {}, \"name\": {}, \"path\": {}, \"path_name\": {}, \"targets\": {}, "
                   "\"moves\": {}, \"length\": {:.6g}, \"process_length\": {:.6g}, \"reach\": {}, \"target_list\": [{}]}}\n",
                   JsonString(file), operation->getId(false), JsonString(opName), result.pathId,
                   JsonString(result.pathName), result.targets.size(), result.moves, result.length,
                   result.processLength, reach, list);
    } else {
        fmt::print("{}: operation '{}' ({}): path {} (id {}), {} targets, {} moves, length {:.6g} mm, process {:.6g} mm\n",
                   file, opName, operation->getId(false), result.pathName, result.pathId, result.targets.size(),
                   result.moves, result.length, result.processLength);
        if (!result.judged) {
            fmt::print("reach: not judged{}\n", notJudged.empty() ? std::string() : " (" + notJudged + ")");
        } else {
            fmt::print("reach: {} unreachable, {} configuration changes\n", result.unreachable,
                       result.configurationChanges);
            for (const auto& t : result.targets)
                if (t.reach.status == cell::PathReach::Unreachable ||
                    t.reach.status == cell::PathReach::ConfigurationChange)
                    fmt::print("  {}: {}\n", t.name, ReachName(t.reach.status));
        }
    }
    return result.unreachable > 0 ? kExitFailure : kExitOk;
}

int run(const ParsedArgs& args)
{
    args.expectPositional(2, 2, "FILE OPERATION");
    // Every failure to generate is exit 2, apart from unreachable targets.
    try {
        return generate(args);
    } catch (const DocumentError& e) {
        fmt::print(stderr, "{}\n", e.what());
    } catch (const std::exception& e) {
        fmt::print(stderr, "sdftool: {}\n", e.what());
    }
    return kExitUsage;
}

} // namespace

const Command kGenerateCommand{"generate", "generate an operation's path into the station", kHelp, kOptions, run,
                               kNoValuePosition};

} // namespace sdftool
