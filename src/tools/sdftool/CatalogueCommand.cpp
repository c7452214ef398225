// sdftool catalogue: the element templates of the format, as a reference.

#include "Command.h"

#include <sdformat/ElementTemplate.h>
#include <sdformat/TypeManager.h>

#include <fmt/format.h>

#include <stdexcept>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool catalogue [PATH]

Prints the element templates of the station document format as an indented
tree, four spaces per level: the whole format from the root `sdf`, or the
subtree at PATH, a path of element names below the root such as
"station/manipulator/joint" (or "/sdf/station/manipulator/joint").

Each element is one line:
  name                          an element that holds other elements
  name: TYPE = "DEFAULT"        an element with a value of that type
  name: annotated               a user value whose type each document chooses
followed by " (required)" when documents always have it. Its attributes come
first below it, as
  @name: TYPE = "DEFAULT"
with " (required)" when documents must give them, then its child elements.

Options:
  -h, --help  Show this help.

Exit status: 0 on success, 1 when PATH names no element of the format, 2 for
a wrong command line.
)HELP";

void printTemplate(const sdf::ElementTemplate& t, std::string& indent, std::string& out)
{
    const auto* types = sdf::TypeManager::inst();
    constexpr std::string_view kRequired = " (required)";

    out += indent;
    out += t._name;
    if (t._annotated)
        out += ": annotated";
    else if (t.hasValue())
        fmt::format_to(std::back_inserter(out), ": {} = \"{}\"", t._value._type, types->toString(t._value._default));
    out += t._required ? kRequired : "";
    out += '\n';

    indent += "    ";
    for (const auto& a : t._attributes)
        fmt::format_to(std::back_inserter(out), "{}@{}: {} = \"{}\"{}\n", indent, a._label, a._type,
                       types->toString(a._default), a._required ? kRequired : "");
    for (const auto& child : t._children)
        printTemplate(child, indent, out);
    indent.resize(indent.size() - 4);
}

const sdf::ElementTemplate& templateAt(std::string_view path)
{
    const sdf::ElementTemplate* t = &sdf::RootTemplate();
    std::string_view rest = path;
    // "/sdf/..." starts at the root itself; "station/..." below it.
    if (rest.starts_with('/')) {
        rest.remove_prefix(1);
        const std::string_view first = rest.substr(0, rest.find('/'));
        if (first != t->_name)
            throw Failure(fmt::format("bad path '{}': an absolute path starts at the root '/{}'", path, t->_name));
        rest.remove_prefix(first.size());
        if (rest.starts_with('/'))
            rest.remove_prefix(1);
    }
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        t = &t->child(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    }
    return *t;
}

int run(const ParsedArgs& args)
{
    args.expectPositional(0, 1, "at most one PATH");
    const sdf::ElementTemplate* t = nullptr;
    try {
        t = &templateAt(args.positional().empty() ? std::string_view{} : args.positional()[0]);
    } catch (const std::logic_error& e) {
        // The library's message names the element and the missing child.
        throw Failure(e.what());
    }
    std::string out;
    std::string indent;
    printTemplate(*t, indent, out);
    fmt::print("{}", out);
    return kExitOk;
}

} // namespace

const Command kCatalogueCommand{"catalogue", "print the format's element templates", kHelp, {}, run, kNoValuePosition};

} // namespace sdftool
