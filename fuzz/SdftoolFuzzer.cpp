// sdftool's commands, run in this process as the tool runs them, on the
// fuzzed document: validate, stats, get, format, set, add and diff, with
// and without --json. Each must end in an exit status, never in a crash;
// JSON output must be UTF-8 whatever bytes the document holds; a document
// that reads must format into one that reads again and holds the same
// text form, a set that succeeds must be read back, an add must give
// every object it makes an id, and a document must equal itself. Only the commands' own table and
// argument parser are used, so the target follows the tool as it grows.

#include "FuzzSupport.h"

#include "ArgParser.h"
#include "Command.h"

#include <sdformat/Element.h>
#include <sdformat/IdCheck.h>
#include <sdformat/Utf8Char.h>
#include <sdformat/SDF.h>

#include <algorithm>
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

// Run, with what the command prints on standard output.
int RunJson(const sdftool::Command& command, std::vector<std::string> args)
{
    const std::string captured = (WorkDir() / "stdout.json").string();
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int out = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (saved < 0 || out < 0 || ::dup2(out, STDOUT_FILENO) < 0)
        Finding("cannot capture standard output");
    ::close(out);
    const int status = Run(command, std::move(args));
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    const std::string json = Contents(captured);
    for (std::size_t at = 0; at < json.size();) {
        const sdf::Utf8Char c = sdf::Utf8Char::At(json, at);
        if (c.length == 0 || (c.code < 0x20 && c.code != '\n'))
            Finding("JSON output holds bytes that are not UTF-8 or a raw control character", json.substr(0, 200));
        at += c.length;
    }
    if (!json.empty() && (json.front() != '{' || !json.ends_with("}\n")))
        Finding("JSON output is not one object on a line", json.substr(0, 200));
    return status;
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

    const int valid = Run(sdftool::kValidateCommand, {"--quick", file});
    RunJson(sdftool::kValidateCommand, {"--json", file});
    RunJson(sdftool::kStatsCommand, {"--json", file});
    for (const char* path : {"station/name", "/sdf/station/part[2]/pose", "station/task/dataitem/value",
                             "station/part[name=Table]/pose", "#2/name"})
        RunJson(sdftool::kGetCommand, {"--json", file, path});
    if (Run(sdftool::kDiffCommand, {file, file}) == 1)
        Finding("a document differs from itself");
    RunJson(sdftool::kDiffCommand, {"--json", file, (WorkDir() / "missing.sdf").string()});

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
    if (Run(sdftool::kValidateCommand, {"--quick", formatted}) != sdftool::kExitOk)
        Finding("a formatted document does not validate");

    if (Run(sdftool::kSetCommand, {formatted, "station/name", "set by the fuzzer"}) == sdftool::kExitOk &&
        sdf::SDF::ReadSdfFromFile(formatted)->Root()->get("station")->asString("name") != "set by the fuzzer")
        Finding("set reported success but the value did not change");
    const auto zeroIds = [&] {
        const auto problems = sdf::IdCheck::Check(*sdf::SDF::ReadSdfFromFile(formatted)->Root());
        return std::ranges::count(problems, sdf::IdCheck::Kind::ZeroId, &sdf::IdCheck::Problem::kind);
    };
    const auto zeroBefore = zeroIds();
    if (Run(sdftool::kAddCommand, {formatted, "station", "manipulator"}) == sdftool::kExitOk && zeroIds() > zeroBefore)
        Finding("add made an object without an id");
    return 0;
}
