// sdftool stats: counts over a document.

#include "Command.h"
#include "Document.h"
#include "JsonText.h"
#include "Survey.h"

#include <sdformat/Element.h>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <string>
#include <vector>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool stats FILE [--json]

Prints counts over the station document FILE:
  elements: N          all elements, the root included
  objects: N           elements that carry the common object fields
  largest id: N        the largest object id, 0 when there is none
  by label:            one line per element label, sorted by label
  by depth:            one line per depth, the root being depth 0

Options:
  --json      Print one JSON object instead:
                {"elements": N, "objects": N, "largestId": N,
                 "byLabel": {"LABEL": N, ...}, "byDepth": [N, ...]}
  -h, --help  Show this help.

Exit status: 0 on success, 1 when the file cannot be read, 2 for a wrong
command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"json", 0, false}};

int run(const ParsedArgs& args)
{
    args.expectPositional(1, 1, "one FILE");
    const auto document = ReadDocument(args.positional()[0]);
    const Survey survey = SurveyDocument(*document->Root());
    if (args.has("json")) {
        std::vector<std::string> labels;
        for (const auto& [label, count] : survey.byLabel)
            labels.push_back(fmt::format("{}: {}", JsonString(label), count));
        fmt::print("{{\"elements\": {}, \"objects\": {}, \"largestId\": {}, \"byLabel\": {{{}}}, \"byDepth\": [{}]}}\n",
                   survey.elements, survey.objects, survey.largestId, fmt::join(labels, ", "),
                   fmt::join(survey.byDepth, ", "));
        return kExitOk;
    }

    std::string out = fmt::format("elements: {}\nobjects: {}\nlargest id: {}\nby label:\n", survey.elements,
                                  survey.objects, survey.largestId);
    for (const auto& [label, count] : survey.byLabel)
        fmt::format_to(std::back_inserter(out), "    {} {}\n", label, count);
    out += "by depth:\n";
    for (std::size_t depth = 0; depth < survey.byDepth.size(); ++depth)
        fmt::format_to(std::back_inserter(out), "    {} {}\n", depth, survey.byDepth[depth]);
    fmt::print("{}", out);
    return kExitOk;
}

} // namespace

const Command kStatsCommand{"stats", "count elements by label and depth, objects and ids", kHelp, kOptions, run,
                            kNoValuePosition};

} // namespace sdftool
