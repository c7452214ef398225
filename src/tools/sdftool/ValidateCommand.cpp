// sdftool validate: reads documents and reports each one.

#include "Command.h"
#include "Document.h"
#include "DocumentError.h"
#include "JsonText.h"
#include "Plural.h"
#include "Survey.h"

#include <sdformat/IdCheck.h>
#include <sdformat/SDF.h>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool validate FILE... [--ids] [--json]

Reads each station document as the library does and reports it on one line:
  FILE: ok (N elements, M objects)      on standard output
  FILE:LINE:COLUMN: error: MESSAGE      on standard error
where MESSAGE is the library's own message, e.g. "wrong version", and
LINE:COLUMN is where the reader stopped: the element, attribute or value
concerned, or for text that is not well-formed XML the parser's position
(its own description is added to the message). Where no place applies the
line is "FILE: error: MESSAGE"; before reading, the tool tells apart "no such
file", "not a regular file", "permission denied" and "empty file". FILE "-"
is standard input; pipes and process substitution are read as a whole.

Options:
  --ids       Also check the ids, which the library leaves to its users:
              every object has an id other than 0 that no other object has
              (texts that read to the same number, such as "abc" and "0",
              are the same id); every element that holds an object id
              (parent, child, anchor, objectid, source_id, target_id,
              object_id and the others the format describes as ids) names an
              object of the same document, 0 naming none; a child list names
              only objects whose parent is the list's owner (an object
              without a `parent` element has the object it lies in); and no
              object is listed by two child lists. Each problem is reported as
                FILE: error: PATH: MESSAGE
              with the element's path, e.g. /sdf/station/part[2]/parent.
  --json      Print one JSON object on standard output instead (nothing on
              standard error):
                {"ok": BOOL, "files": [{"file": NAME, "ok": BOOL,
                  "elements": N, "objects": M, "problems": [PROBLEM...]}]}
              "elements" and "objects" are there when the file was read. A
              PROBLEM is {"kind": "read", "message": TEXT} with "line" and
              "column" where known, or an id problem {"kind": KIND,
              "message": TEXT, "paths": [PATH...], "ids": [N...]} with KIND
              one of zero-id, duplicate-id, dangling-reference, not-an-id,
              parent-mismatch, listed-twice.
  -h, --help  Show this help.

Exit status: 0 when every file is sound, 1 when any is not, 2 for a wrong
command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"ids", 0, false}, {"json", 0, false}};

// One file's report, printed at once as text or gathered as JSON.
class Report
{
public:
    explicit Report(bool json) : _json(json) {}

    void readFailed(const std::string& file, const DocumentError& e)
    {
        if (!_json) {
            fmt::print(stderr, "{}\n", e.what());
            return;
        }
        std::string problem = fmt::format("{{\"kind\": \"read\", \"message\": {}", JsonString(e.message()));
        if (e.line() != 0)
            fmt::format_to(std::back_inserter(problem), ", \"line\": {}, \"column\": {}", e.line(), e.column());
        problem += "}";
        add(file, false, nullptr, problem);
    }

    void checked(const std::string& file, const Survey& survey, const std::vector<sdf::IdCheck::Problem>& problems)
    {
        if (!_json) {
            for (const auto& p : problems)
                fmt::print(stderr, "{}: error: {}: {}\n", file, p.paths.front(), p.message);
            if (problems.empty())
                fmt::print("{}: ok ({}, {})\n", file, Counted(survey.elements, "element"),
                           Counted(survey.objects, "object"));
            return;
        }
        std::string list;
        for (const auto& p : problems) {
            if (!list.empty())
                list += ", ";
            std::vector<std::string> paths;
            for (const auto& path : p.paths)
                paths.push_back(JsonString(path));
            fmt::format_to(std::back_inserter(list), "{{\"kind\": \"{}\", \"message\": {}, \"paths\": [{}], \"ids\": [{}]}}",
                           sdf::IdCheck::KindName(p.kind), JsonString(p.message), fmt::join(paths, ", "),
                           fmt::join(p.ids, ", "));
        }
        add(file, problems.empty(), &survey, list);
    }

    // Prints the JSON object once every file is done.
    void finish(bool allSound) const
    {
        if (_json)
            fmt::print("{{\"ok\": {}, \"files\": [{}]}}\n", allSound, fmt::join(_files, ", "));
    }

private:
    void add(const std::string& file, bool ok, const Survey* survey, const std::string& problems)
    {
        std::string entry = fmt::format("{{\"file\": {}, \"ok\": {}", JsonString(file), ok);
        if (survey)
            fmt::format_to(std::back_inserter(entry), ", \"elements\": {}, \"objects\": {}", survey->elements,
                           survey->objects);
        fmt::format_to(std::back_inserter(entry), ", \"problems\": [{}]}}", problems);
        _files.push_back(std::move(entry));
    }

    bool _json;
    std::vector<std::string> _files;
};

// Reports one file; true when it is sound.
bool validate(const std::string& file, bool checkIds, Report& report)
{
    try {
        if (!checkIds) {
            // Nothing needs the whole tree at once: a station of any size
            // is checked in about the memory its parse takes.
            SurveyCount count;
            CheckDocument(file, [&](const sdf::CheckVisit& v) { count.add(v.element, v.templ, v.depth); });
            report.checked(file, count.finish(), {});
            return true;
        }
        const auto document = ReadDocument(file);
        const auto& root = *document->Root();
        const auto problems = sdf::IdCheck::Check(root);
        report.checked(file, SurveyDocument(root), problems);
        return problems.empty();
    } catch (const DocumentError& e) {
        report.readFailed(file, e);
        return false;
    }
}

int run(const ParsedArgs& args)
{
    args.expectPositional(1, SIZE_MAX, "at least one FILE");
    Report report(args.has("json"));
    bool allSound = true;
    for (const auto& file : args.positional()) {
        allSound = validate(file, args.has("ids"), report) && allSound;
        // Keep the two streams in step for readers that merge them.
        std::fflush(stdout);
    }
    report.finish(allSound);
    return allSound ? kExitOk : kExitFailure;
}

} // namespace

const Command kValidateCommand{"validate", "read documents and report whether they are sound", kHelp, kOptions, run, kNoValuePosition};

} // namespace sdftool
