// sdftool set: sets the value at a path and saves the document.

#include "Command.h"
#include "Document.h"
#include "ElementPath.h"
#include "FreshIds.h"
#include "ValueAccess.h"

#include <sdformat/StationCheck.h>
#include <sdformat/StrictValue.h>
#include <sdformat/TypeManager.h>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool set FILE PATH VALUE [--type TYPE] [--lenient]

Sets the value at PATH in the station document FILE from the text VALUE and
saves the document in canonical form. The file is replaced only once the
new text is completely written. Elements missing on PATH are created from
the format, with their required children. For an element whose user value
is kept in a `value` child (properties, signals, arguments, data items),
that child's value is set. PATH is written as for "sdftool get"; a last
piece "@name" sets an attribute ("station/@id"). A piece may pick an
element by name, "station/part[name=Table]/pose", and the path may start at
an object id, "#19/pose"; these must exist, and a path that does not says
which piece matched nothing.

VALUE must be a complete value of the field's type: all of the text is
used, numbers are within the type's range and whole numbers are whole, a
pose has seven numbers (an orientation four, a position or vector three),
and numbers are finite unless VALUE writes inf or nan. Otherwise the command
fails, naming the path, the type and what is wrong, and FILE is left as it
was. When the document keeps the value other than as typed (a pose's numbers
keep six significant digits), a note on standard error says what it holds.
VALUE may begin with '-' ("-1 0 0 1 0 0 0"); "--" before it works too.

The edit is refused, the file left as it was, where it gives the station an
error the station check did not find before: an id another object has, a
reference to no object, a joint value beyond its limits, a word the format
does not list. Errors the document had already do not stop an edit. The
version attribute can only be 1.0, and nothing is written that the tool
would not read back.
FILE "-" reads standard input and writes the result to standard output.

Options:
  --type TYPE  The type of a user value that has none yet (its first write
               chooses it): bool, int, unsigned int, uint64_t, double,
               string, vector3, pos, orient, pose, tooldata, wobjdata,
               speeddata, zonedata, robtarget, jointtarget. A value that has
               a type keeps it; TYPE must then name that type.
  --lenient    Read VALUE as the document reader does, as far as it goes:
               text that does not fit the type gives what the type's reader
               makes of it (a pose "abc" becomes 0 0 0 1 0 0 0); and set it
               even where the station check (see "sdftool validate --help")
               finds a new error.
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

// Fails with an error of after that before did not have: a duplicate id,
// a reference to nothing, a value beyond its limits. One at the edited
// element (at its path edited) is named first.
void refuseNewErrors(const std::string& file, const std::string& path, const std::string& edited,
                     const std::vector<sdf::StationCheck::Finding>& before,
                     const std::vector<sdf::StationCheck::Finding>& after)
{
    const auto key = [](const sdf::StationCheck::Finding& f) {
        return fmt::format("{}\n{}\n{}", f.kind, f.paths.empty() ? std::string() : f.paths.front(), f.message);
    };
    std::set<std::string> known;
    for (const auto& f : before)
        known.insert(key(f));
    // Reported at the edited element first, then naming it, then others.
    const auto rank = [&](const sdf::StationCheck::Finding& f) {
        if (!f.paths.empty() && f.paths.front() == edited)
            return 2;
        return std::ranges::find(f.paths, edited) != f.paths.end() ? 1 : 0;
    };
    const sdf::StationCheck::Finding* first = nullptr;
    for (const auto& f : after)
        if (f.severity == sdf::StationCheck::Severity::Error && !known.contains(key(f)) &&
            (!first || rank(f) > rank(*first)))
            first = &f;
    if (first)
        throw Failure(fmt::format("{}: cannot set '{}': {}: {} (--lenient sets it anyway)", file, path,
                                  first->paths.empty() ? std::string("/") : first->paths.front(), first->message));
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
    // The reader takes one version; a document of another would be
    // written and then refused.
    if (at.attribute == "version" && !at.element->parent() && args.positional()[2] != "1.0")
        throw Failure(fmt::format("{}: '{}' can only be 1.0, the version of the format this tool reads", file, path));
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
    // What the station check finds already is the document's own business;
    // an edit may not add errors to it.
    std::vector<sdf::StationCheck::Finding> before;
    if (!lenient)
        before = sdf::StationCheck::Check(*document->Root());
    Located at;
    std::vector<Located> created;
    try {
        at = TouchPath(document->Root(), path, &created);
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

    // Objects the path made get ids of their own, as `add` gives them.
    FreshIds ids(*document->Root(), file);
    for (const Located& made : created)
        ids.give(*made.element, *made.templ);
    ids.record(*document->Root());
    if (!lenient)
        refuseNewErrors(file, path, AbsolutePath(*at.element), before, sdf::StationCheck::Check(*document->Root()));
    WriteDocument(*document, file);
    return kExitOk;
}

} // namespace

const Command kSetCommand{"set", "set the value at a path and save", kHelp, kOptions, run, 2};

} // namespace sdftool
