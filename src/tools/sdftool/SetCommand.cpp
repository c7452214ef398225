// sdftool set: sets the value at a path and saves the document.

#include "Command.h"
#include "Document.h"
#include "ElementPath.h"
#include "ValueAccess.h"

#include <fmt/format.h>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool set FILE PATH VALUE [--type TYPE]

Sets the value at PATH in the station document FILE from the text VALUE,
read by the value's type as the document reader reads it (text that does not
fit the type is read as far as it goes, as the library does), and saves the
document in canonical form. The file is replaced only once the new text is
completely written. Elements missing on PATH are created from the format,
with their required children. For an element whose user value is kept in a
`value` child (properties, signals, arguments, data items), that child's
value is set. PATH is written as for "sdftool get".

Options:
  --type TYPE  The type of a user value that has none yet (its first write
               chooses it): bool, int, unsigned int, uint64_t, double,
               string, vector3, pos, orient, pose, tooldata, wobjdata,
               speeddata, zonedata, robtarget, jointtarget. A value that has
               a type keeps it; TYPE must then name that type.
  -h, --help   Show this help.

Exit status: 0 on success, 1 when the file cannot be read or written or
PATH holds no value, 2 for a wrong command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"type", 0, true}};

int run(const ParsedArgs& args)
{
    args.expectPositional(3, 3, "FILE PATH VALUE");
    const std::string& file = args.positional()[0];
    const std::string& path = args.positional()[1];
    const std::string& text = args.positional()[2];
    const auto type = args.value("type");

    const auto document = ReadDocument(file);
    Located at;
    try {
        at = TouchPath(document->Root(), path);
    } catch (const Failure& e) {
        throw Failure(fmt::format("{}: {}", file, e.what()));
    } catch (const std::logic_error& e) {
        throw Failure(fmt::format("{}: {}", file, e.what()));
    }

    if (const Located holder = ValueHolder(at); holder.element) {
        const std::string held = ValueType(*holder.element, *holder.templ);
        if (type && *type != held)
            throw Failure(fmt::format("{}: '{}' holds a '{}' value; its type cannot change", file, path, held));
        holder.element->setValueFromString(text);
    } else if (const Located untyped = UntypedHolder(at); untyped.element) {
        if (!type)
            throw Failure(fmt::format("{}: '{}' has no value yet; give its type with --type", file, path));
        try {
            WriteFirstValue(*untyped.element, *type, text);
        } catch (const Failure& e) {
            throw Failure(fmt::format("{}: {}", file, e.what()));
        }
    } else {
        throw Failure(fmt::format("{}: '{}' cannot hold a value", file, path));
    }

    WriteDocument(*document, file);
    return kExitOk;
}

} // namespace

const Command kSetCommand{"set", "set the value at a path and save", kHelp, kOptions, run};

} // namespace sdftool
