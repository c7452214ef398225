// sdftool get: prints the value at a path.

#include "Command.h"
#include "Document.h"
#include "ElementPath.h"
#include "JsonText.h"
#include "ValueAccess.h"

#include <fmt/format.h>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool get FILE PATH [--json]

Prints the text of the value at PATH in the station document FILE, as the
document would hold it, followed by a line feed. For an element whose user
value is kept in a `value` child (properties, signals, arguments, data
items), that child's value is printed.

PATH names an element below the root by child labels, each piece taking the
first child with that label: "station/name". A piece may pick the n-th
child of its label, counted from 1: "station/part[2]/pose". A path may also
start at the root, as validate reports them: "/sdf/station/part[2]". A
piece may pick the child of its label with that name,
"station/part[name=Table]/pose", and the first piece may be an object id,
"#19/pose", naming the object with id 19 wherever it lies. A last piece
"@name" names an attribute: "station/@id". When nothing is at PATH, the
message says which piece matched nothing, and where.

Options:
  --json      Print {"path": PATH, "type": TYPE, "value": TEXT} instead, with
              TYPE the value's type name ("pose", "unsigned int", ...) and
              TEXT the value's text as above.
  -h, --help  Show this help.

Exit status: 0 on success, 1 when the file cannot be read or there is no
value at PATH, 2 for a wrong command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"json", 0, false}};

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
        throw Failure(at.missing.empty() ? fmt::format("{}: no element at '{}'", file, path)
                                         : fmt::format("{}: no element at '{}': {}", file, path, at.missing));
    std::string type;
    std::string text;
    if (!at.attribute.empty()) {
        const sdf::Attr* attr = FindAttribute(*at.element, at.attribute);
        if (!attr)
            throw Failure(fmt::format("{}: no attribute at '{}'", file, path));
        type = attr->type();
        text = attr->asString();
    } else {
        const Located holder = ValueHolder(at);
        if (!holder.element)
            throw Failure(fmt::format("{}: '{}' has no value", file, path));
        type = ValueType(*holder.element, *holder.templ);
        text = holder.element->getStringFromValue();
    }
    if (args.has("json"))
        fmt::print("{{\"path\": {}, \"type\": {}, \"value\": {}}}\n", JsonString(path), JsonString(type),
                   JsonString(text));
    else
        fmt::print("{}\n", text);
    return kExitOk;
}

} // namespace

const Command kGetCommand{"get", "print the value at a path", kHelp, kOptions, run, kNoValuePosition};

} // namespace sdftool
