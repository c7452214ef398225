// sdftool format: rewrites a document in the library's canonical text form.

#include "Command.h"
#include "Document.h"

#include <sdformat/Element.h>

#include <cstdio>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool format FILE [-o OUT]

Reads the station document FILE and writes it again in the library's
canonical text form: one element per line, four spaces per level, every
attribute written, required elements that the file lacks supplied with their
defaults. Without -o the file is replaced in place; the new text takes the
place of the old file only once it is completely written, so a failure
leaves the file as it was.

Options:
  -o, --output OUT  Write to OUT instead; "-" writes to standard output.
  -h, --help        Show this help.

Exit status: 0 on success, 1 when the file cannot be read or written, 2 for
a wrong command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"output", 'o', true}};

int run(const ParsedArgs& args)
{
    args.expectPositional(1, 1, "one FILE");
    const std::string& file = args.positional()[0];
    const std::string out = args.value("output").value_or(file);

    const auto document = ReadDocument(file);
    if (out == "-") {
        const std::string text = document->Root()->toXMLString("");
        std::fwrite(text.data(), 1, text.size(), stdout);
        if (std::fflush(stdout) != 0)
            throw Failure("standard output: write failure");
    } else {
        WriteDocument(*document, out);
    }
    return kExitOk;
}

} // namespace

const Command kFormatCommand{"format", "rewrite a document in canonical form", kHelp, kOptions, run, kNoValuePosition};

} // namespace sdftool
