// sdftool validate: reads documents and reports each one.

#include "Command.h"
#include "Plural.h"
#include "Survey.h"

#include <sdformat/IdCheck.h>
#include <sdformat/SDF.h>

#include <fmt/format.h>

#include <cstdint>
#include <cstdio>
#include <exception>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool validate FILE... [--ids]

Reads each station document as the library does and reports it on one line:
  FILE: ok (N elements, M objects)      on standard output
  FILE: error: MESSAGE                  on standard error
where MESSAGE is the library's own message, e.g. "wrong version".

Options:
  --ids       Also check what the library leaves to its users: every object
              id is used by one object only, and every element that holds an
              object id (parent, child, anchor, objectid, source_id,
              target_id, object_id and the others the format describes as
              ids) names an object of the same document; 0 names none. Each
              problem is reported as
                FILE: error: PATH: MESSAGE
              with the element's path, e.g. /sdf/station/part[2]/parent.
  -h, --help  Show this help.

Exit status: 0 when every file is sound, 1 when any is not, 2 for a wrong
command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"ids", 0, false}};

// Reports one file; true when it is sound.
bool validate(const std::string& file, bool checkIds)
{
    std::shared_ptr<sdf::SDF> document;
    try {
        document = sdf::SDF::ReadSdfFromFile(file);
    } catch (const std::exception& e) {
        fmt::print(stderr, "{}: error: {}\n", file, e.what());
        return false;
    }
    const auto& root = *document->Root();
    if (checkIds) {
        const auto problems = sdf::IdCheck::Check(root);
        for (const auto& p : problems)
            fmt::print(stderr, "{}: error: {}: {}\n", file, p.paths.front(), p.message);
        if (!problems.empty())
            return false;
    }
    const Survey survey = SurveyDocument(root);
    fmt::print("{}: ok ({}, {})\n", file, Counted(survey.elements, "element"), Counted(survey.objects, "object"));
    return true;
}

int run(const ParsedArgs& args)
{
    args.expectPositional(1, SIZE_MAX, "at least one FILE");
    bool allSound = true;
    for (const auto& file : args.positional()) {
        allSound = validate(file, args.has("ids")) && allSound;
        // Keep the two streams in step for readers that merge them.
        std::fflush(stdout);
    }
    return allSound ? kExitOk : kExitFailure;
}

} // namespace

const Command kValidateCommand{"validate", "read documents and report whether they are sound", kHelp, kOptions, run};

} // namespace sdftool
