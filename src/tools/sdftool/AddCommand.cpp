// sdftool add: appends a new object with a fresh id and saves.

#include "Command.h"
#include "Document.h"
#include "ElementPath.h"
#include "FreshIds.h"
#include "Survey.h"

#include <sdformat/Element.h>
#include <sdformat/ObjectFields.h>

#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>
#include <stdexcept>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool add FILE PARENT-PATH LABEL [--name NAME]

Appends a new object LABEL (part, frame, assembly, ...) below the element at
PARENT-PATH in the station document FILE, with the required children the
format gives it, and saves the document. The object gets an id that no
object of the document uses (above the largest one and not below the
station's next_dataid); when PARENT-PATH names an object, the new object's
`parent` names it and its `child` list gains the new id. The station's
next_dataid is set to the id after the new one. Objects that the new one
requires (a manipulator's wrist) get the ids after it. Prints the new id:
on standard output, or on standard error when FILE is "-" and the
document itself goes to standard output.

  $ sdftool new cell.sdf
  $ sdftool add cell.sdf station part --name Table
  2

PARENT-PATH is written as for "sdftool get".

Options:
  --name NAME  The new object's name.
  -h, --help   Show this help.

Exit status: 0 on success, 1 when the file cannot be read or written or
LABEL is not an object that PARENT-PATH can hold, 2 for a wrong command
line.
)HELP";

constexpr OptionSpec kOptions[] = {{"name", 0, true}};

int run(const ParsedArgs& args)
{
    args.expectPositional(3, 3, "FILE PARENT-PATH LABEL");
    const std::string& file = args.positional()[0];
    const std::string& path = args.positional()[1];
    const std::string& label = args.positional()[2];

    const auto document = ReadDocument(file);
    const auto root = document->Root();
    Located parent;
    const sdf::ElementTemplate* templ = nullptr;
    try {
        parent = FindPath(root, path);
        if (!parent.element || !parent.attribute.empty())
            throw Failure(parent.missing.empty() ? fmt::format("no element at '{}'", path)
                                                 : fmt::format("no element at '{}': {}", path, parent.missing));
        templ = &parent.templ->child(label);
    } catch (const std::logic_error& e) {
        throw Failure(fmt::format("{}: {}", file, e.what()));
    } catch (const Failure& e) {
        throw Failure(fmt::format("{}: {}", file, e.what()));
    }
    if (!sdf::IsObjectTemplate(*templ))
        throw Failure(fmt::format("{}: '{}' is not an object (objects have an id, a name, a parent and a child list)",
                                  file, label));

    // Above every id in use, and not below what the station says comes
    // next. Objects the new one requires (a manipulator's wrist) come with
    // it; each gets an id of its own too, never 0.
    FreshIds ids(*root, file);
    const unsigned int id = ids.take();
    const auto object = parent.element->append(label);
    object->setId(id);
    ids.give(*object, *templ);
    if (const auto name = args.value("name"))
        object->set<std::string>("name", *name);
    const unsigned int parentId = sdf::IsObjectTemplate(*parent.templ) ? parent.element->getId(false) : 0u;
    if (parentId != 0) {
        object->set<unsigned int>("parent", parentId);
        parent.element->append("child")->setValue<unsigned int>(id);
    }
    ids.record(*root);

    WriteDocument(*document, file);
    // A document written to standard output keeps it to itself.
    fmt::print(file == "-" ? stderr : stdout, "{}\n", id);
    return kExitOk;
}

} // namespace

const Command kAddCommand{"add", "append a new object with a fresh id and save", kHelp, kOptions, run,
                          kNoValuePosition};

} // namespace sdftool
