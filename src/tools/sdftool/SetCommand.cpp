// sdftool set: sets the value at a path and saves the document.

#include "Command.h"
#include "Document.h"
#include "ElementPath.h"
#include "ValueAccess.h"

#include <sdformat/StrictValue.h>
#include <sdformat/TypeManager.h>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <stdexcept>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool set FILE PATH VALUE [--type TYPE] [--lenient]

Sets the value at PATH in the station document FILE from the text VALUE and
saves the document in canonical form. The file is replaced only once the
new text is completely written. Elements missing on PATH are created from
the format, with their required children. For an element whose user value
is kept in a `value` child (properties, signals, arguments, data items),
that child's value is set. PATH is written as for "sdftool get"; a last
piece "@name" sets an attribute ("station/@id").

VALUE must be a complete value of the field's type: all of the text is
used, numbers are within the type's range and whole numbers are whole, a
pose has seven numbers (an orientation four, a position or vector three),
and numbers are finite unless VALUE writes inf or nan. Otherwise the command
fails, naming the path, the type and what is wrong, and FILE is left as it
was. When the document keeps the value other than as typed (a pose's numbers
keep six significant digits), a note on standard error says what it holds.
VALUE may begin with '-' ("-1 0 0 1 0 0 0"); "--" before it works too.
FILE "-" reads standard input and writes the result to standard output.

Options:
  --type TYPE  The type of a user value that has none yet (its first write
               chooses it): bool, int, unsigned int, uint64_t, double,
               string, vector3, pos, orient, pose, tooldata, wobjdata,
               speeddata, zonedata, robtarget, jointtarget. A value that has
               a type keeps it; TYPE must then name that type.
  --lenient    Read VALUE as the document reader does, as far as it goes:
               text that does not fit the type gives what the type's reader
               makes of it (a pose "abc" becomes 0 0 0 1 0 0 0).
  -h, --help   Show this help.

Exit status: 0 on success, 1 when the file cannot be read or written, PATH
holds no value or VALUE is not a value of its type, 2 for a wrong command
line.
)HELP";

constexpr OptionSpec kOptions[] = {{"type", 0, true}, {"lenient", 0, false}};

// The text to store: VALUE itself when lenient, otherwise what the type
// makes of it, checked strictly.
std::string checkedText(const std::string& file, const std::string& path, std::string_view typeName,
                        const std::string& text, bool lenient)
{
    if (lenient)
        return text;
    const sdf::StrictValue parsed = sdf::StrictValue::Parse(typeName, text);
    if (!parsed.ok())
        throw Failure(fmt::format("{}: cannot set '{}': {}", file, path, parsed.error()));
    if (!parsed.notes().empty())
        fmt::print(stderr, "sdftool: note: {}: '{}' is stored as '{}' ({})\n", file, path, parsed.storedText(),
                   fmt::join(parsed.notes(), "; "));
    return parsed.storedText();
}

void setAttribute(const std::string& file, const std::string& path, const Located& at, const ParsedArgs& args)
{
    sdf::Attr* attr = FindAttribute(*at.element, at.attribute);
    if (!attr)
        throw Failure(fmt::format("{}: no attribute at '{}'", file, path));
    // The type of a user value is chosen by its first write and recorded
    // here; changing the record alone would misread the value.
    if (at.attribute == "type")
        throw Failure(fmt::format("{}: '{}' records the type of the element's value and cannot be set", file, path));
    const auto type = args.value("type");
    if (type && *type != attr->type())
        throw Failure(fmt::format("{}: '{}' holds a '{}' value; its type cannot change", file, path, attr->type()));
    attr->fromString(checkedText(file, path, attr->type(), args.positional()[2], args.has("lenient")));
}

int run(const ParsedArgs& args)
{
    args.expectPositional(3, 3, "FILE PATH VALUE");
    const std::string& file = args.positional()[0];
    const std::string& path = args.positional()[1];
    const std::string& text = args.positional()[2];
    const auto type = args.value("type");
    const bool lenient = args.has("lenient");

    const auto document = ReadDocument(file);
    Located at;
    try {
        at = TouchPath(document->Root(), path);
    } catch (const Failure& e) {
        throw Failure(fmt::format("{}: {}", file, e.what()));
    } catch (const std::logic_error& e) {
        throw Failure(fmt::format("{}: {}", file, e.what()));
    }

    if (!at.attribute.empty()) {
        setAttribute(file, path, at, args);
    } else if (const Located holder = ValueHolder(at); holder.element) {
        const std::string held = ValueType(*holder.element, *holder.templ);
        if (type && *type != held)
            throw Failure(fmt::format("{}: '{}' holds a '{}' value; its type cannot change", file, path, held));
        holder.element->setValueFromString(checkedText(file, path, held, text, lenient));
    } else if (const Located untyped = UntypedHolder(at); untyped.element) {
        if (!type)
            throw Failure(fmt::format("{}: '{}' has no value yet; give its type with --type", file, path));
        if (!sdf::TypeManager::inst()->contains(*type))
            throw Failure(fmt::format("{}: unknown type '{}'", file, *type));
        try {
            WriteFirstValue(*untyped.element, *type, checkedText(file, path, *type, text, lenient));
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

const Command kSetCommand{"set", "set the value at a path and save", kHelp, kOptions, run, 2};

} // namespace sdftool
