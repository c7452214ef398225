// sdftool's commands, run in this process as the tool runs them, on the
// fuzzed document: validate, stats, get, format and set. Each must end in
// an exit status, never in a crash; a document that validates must format
// into one that validates again and holds the same text form, and a set
// that succeeds must be read back. Only the commands' own table and
// argument parser are used, so the target follows the tool as it grows.

#include "FuzzSupport.h"

#include "ArgParser.h"
#include "Command.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace zrv::fuzz;

namespace {

// As the tool's main runs a command; our command lines are always right.
int Run(const sdftool::Command& command, std::vector<std::string> args)
{
    try {
        return command.run(sdftool::ParseArgs(args, command.options));
    } catch (const sdftool::UsageError& e) {
        Finding("a right command line was refused", e.what());
    } catch (const sdftool::Failure&) {
        return sdftool::kExitFailure;
    } catch (const std::exception& e) {
        // The tool prints these as failures too, but they are the library's
        // own exceptions leaking through a command that should word them.
        Finding("a command failed with an exception of its own kind", e.what());
    }
}

std::string Contents(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The commands print values and reports; libFuzzer talks on stderr.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0)
        Finding("cannot silence standard output");
    ::close(null);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string file = (WorkDir() / "doc.sdf").string();
    const std::string formatted = (WorkDir() / "formatted.sdf").string();
    WriteBytes(file, text);
    std::remove(formatted.c_str());

    const int valid = Run(sdftool::kValidateCommand, {file});
    Run(sdftool::kValidateCommand, {"--ids", file});
    Run(sdftool::kStatsCommand, {file});
    for (const char* path : {"station/name", "/sdf/station/part[2]/pose", "station/task/dataitem/value"})
        Run(sdftool::kGetCommand, {file, path});

    const int format = Run(sdftool::kFormatCommand, {file, "-o", formatted});
    if (valid != sdftool::kExitOk)
        return 0;
    const auto doc = sdf::SDF::ReadSdfFromFile(file);
    if (!Writable(*doc))
        return 0;
    if (format != sdftool::kExitOk)
        Finding("a valid document did not format");
    if (Contents(formatted) != doc->Root()->toXMLString(""))
        Finding("format wrote another text than the document's text form");
    if (Run(sdftool::kValidateCommand, {formatted}) != sdftool::kExitOk)
        Finding("a formatted document does not validate");

    if (Run(sdftool::kSetCommand, {formatted, "station/name", "set by the fuzzer"}) == sdftool::kExitOk &&
        sdf::SDF::ReadSdfFromFile(formatted)->Root()->get("station")->asString("name") != "set by the fuzzer")
        Finding("set reported success but the value did not change");
    return 0;
}
