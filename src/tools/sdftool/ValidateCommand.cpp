// sdftool validate: reads documents and reports each one.

#include "Command.h"
#include "Document.h"
#include "DocumentError.h"
#include "JsonText.h"
#include "Plural.h"
#include "Survey.h"

#include <sdformat/StationCheck.h>
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

constexpr std::string_view kHelp = R"HELP(Usage: sdftool validate FILE... [--quick] [--json]

Reads each station document as the library does, checks what a station
needs beyond reading, and reports it:
  FILE: ok (N elements, M objects)                   on standard output
  FILE:LINE:COLUMN: error: MESSAGE                    on standard error
  FILE:LINE:COLUMN: error: PATH: MESSAGE
  FILE:LINE:COLUMN: warning: PATH: MESSAGE
For a document the reader refuses, MESSAGE is the library's own message,
e.g. "wrong version", and LINE:COLUMN is where the reader stopped (for text
that is not well-formed XML the parser's position, its own description
added). Before reading, the tool tells apart "no such file", "not a regular
file", "permission denied" and "empty file"; standard input, pipes and
devices are read up to 1024 MiB and refused at the first NUL byte. FILE "-"
is standard input.

A document that reads is then checked as a station (sdf::StationCheck),
each finding with the path of the element concerned and, where known, its
line and column:
  ids         every object has an id other than 0 that no other object has
              (texts that read to the same number, such as "abc" and "0",
              are the same id); every element that holds an object id
              (parent, child, anchor, objectid, ...) names an object, 0
              naming none; a child list names only objects whose parent is
              the list's owner; no object is listed twice; no chain of
              parents comes back to where it started.
  value texts a value written so that the reader takes it only in part or
              not at all ("0,5236" reads as 0, "900mm" as 900, "thirty" as
              0), with what it reads as.
  values      a joint's value (radians; millimetres when prismatic) within
              its limits (degrees; millimetres), lower limit not above the
              upper, an axis that is not zero, the words the format lists
              (a joint is revolute or prismatic), unit quaternions.
  references  a path's speed, zone, work object and tool ids name data of
              that kind; names that instructions' arguments give name data
              items (an error where other instructions' arguments of the
              same name name data, a warning otherwise).
  anchors     no object anchored to itself or round a loop of anchors, nor
              to an object without a pose (a warning).
Warnings do not make a file unsound.

Options:
  --quick     Only read each document, without keeping it, in about the
              memory its parse takes; none of the station checks.
  --ids       Accepted for scripts that ask for the id check; every check
              runs without --quick anyway.
  --json      Print one JSON object on standard output instead (nothing on
              standard error):
                {"ok": BOOL, "files": [{"file": NAME, "ok": BOOL,
                  "elements": N, "objects": M, "problems": [PROBLEM...]}]}
              "elements" and "objects" are there when the file was read. A
              PROBLEM is {"kind": "read", "severity": "error", "message":
              TEXT} with "line" and "column" where known, or a station
              finding {"kind": KIND, "severity": "error" or "warning",
              "message": TEXT, "paths": [PATH...], "ids": [N...], "object":
              ID} with "line" and "column" where known. KIND is one of
              zero-id, duplicate-id, dangling-reference, not-an-id,
              parent-mismatch, listed-twice, parent-loop, value-text,
              out-of-limits, limits-reversed, zero-axis, unknown-word,
              not-unit, wrong-kind, unknown-name, anchor-loop,
              anchor-no-place. Bytes that are not UTF-8 (in a file name, a
              value, a message) are given as U+FFFD, and a note on standard
              error says so.
  -h, --help  Show this help.

Exit status: 0 when every file is sound, 1 when any is not (an error of
reading or of the station checks), 2 for a wrong command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"ids", 0, false}, {"quick", 0, false}, {"json", 0, false}};

using Finding = sdf::StationCheck::Finding;

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
        std::string problem =
            fmt::format("{{\"kind\": \"read\", \"severity\": \"error\", \"message\": {}", JsonString(e.message()));
        if (e.line() != 0)
            fmt::format_to(std::back_inserter(problem), ", \"line\": {}, \"column\": {}", e.line(), e.column());
        problem += "}";
        add(file, false, nullptr, problem);
    }

    void checked(const std::string& file, const Survey& survey, const std::vector<Finding>& findings)
    {
        const bool sound = !sdf::StationCheck::HasErrors(findings);
        if (!_json) {
            for (const auto& f : findings) {
                const std::string place = f.line != 0 ? fmt::format("{}:{}:{}", file, f.line, f.column) : file;
                fmt::print(stderr, "{}: {}: {}: {}\n", place, sdf::StationCheck::SeverityName(f.severity),
                           f.paths.empty() ? std::string("/") : f.paths.front(), f.message);
            }
            if (sound)
                fmt::print("{}: ok ({}, {})\n", file, Counted(survey.elements, "element"),
                           Counted(survey.objects, "object"));
            return;
        }
        std::string list;
        for (const auto& f : findings) {
            if (!list.empty())
                list += ", ";
            std::vector<std::string> paths;
            for (const auto& path : f.paths)
                paths.push_back(JsonString(path));
            fmt::format_to(std::back_inserter(list),
                           "{{\"kind\": {}, \"severity\": \"{}\", \"message\": {}, \"paths\": [{}], \"ids\": [{}], "
                           "\"object\": {}",
                           JsonString(f.kind), sdf::StationCheck::SeverityName(f.severity), JsonString(f.message),
                           fmt::join(paths, ", "), fmt::join(f.ids, ", "), f.objectId);
            if (f.line != 0)
                fmt::format_to(std::back_inserter(list), ", \"line\": {}, \"column\": {}", f.line, f.column);
            list += "}";
        }
        add(file, sound, &survey, list);
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
bool validate(const std::string& file, bool quick, Report& report)
{
    try {
        if (quick) {
            // Nothing needs the whole tree at once: a station of any size
            // is checked in about the memory its parse takes.
            SurveyCount count;
            CheckDocument(file, [&](const sdf::CheckVisit& v) { count.add(v.element, v.templ, v.depth); });
            report.checked(file, count.finish(), {});
            return true;
        }
        std::string text;
        const auto document = ReadDocument(file, text);
        const auto& root = *document->Root();
        const auto findings = sdf::StationCheck::Check(root, text);
        report.checked(file, SurveyDocument(root), findings);
        return !sdf::StationCheck::HasErrors(findings);
    } catch (const DocumentError& e) {
        report.readFailed(file, e);
        return false;
    }
}

int run(const ParsedArgs& args)
{
    args.expectPositional(1, SIZE_MAX, "at least one FILE");
    if (args.has("quick") && args.has("ids"))
        throw UsageError("--quick only reads; it cannot be given with --ids");
    Report report(args.has("json"));
    bool allSound = true;
    for (const auto& file : args.positional()) {
        allSound = validate(file, args.has("quick"), report) && allSound;
        // Keep the two streams in step for readers that merge them.
        std::fflush(stdout);
    }
    report.finish(allSound);
    return allSound ? kExitOk : kExitFailure;
}

} // namespace

const Command kValidateCommand{"validate", "read documents and report whether they are sound", kHelp, kOptions, run, kNoValuePosition};

} // namespace sdftool
