#pragma once

// Runs sdftool as a process, the way users and scripts do, and collects
// what it printed and how it ended.

#include <filesystem>
#include <string>
#include <vector>

namespace sdftool::test {

struct ToolResult
{
    int status = -1;     // exit status, or -signal when a signal ended it
    std::string out;     // standard output
    std::string err;     // standard error
};

// Runs the sdftool under test with args in directory cwd. Both output
// streams go to files beside cwd, so no pipe can fill up; standard output
// goes to stdoutPath instead when one is given (it is then not collected).
ToolResult RunTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                   const std::filesystem::path& stdoutPath = {});

// A fresh directory for one test, removed afterwards (permissions restored).
class ScratchDir
{
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return _path; }
    std::filesystem::path operator/(const std::string& name) const { return _path / name; }

    // Writes text to name in the directory; returns the full path.
    std::filesystem::path write(const std::string& name, const std::string& text) const;

private:
    std::filesystem::path _path;
};

std::string ReadFile(const std::filesystem::path& path);

// The test data directory (tests/tools/data).
std::filesystem::path DataDir();

} // namespace sdftool::test
