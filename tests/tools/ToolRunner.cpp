#include "ToolRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace sdftool::test {

ToolResult RunTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                   const std::filesystem::path& stdoutPath)
{
    // The output files live next to cwd, not in it, so that the tool sees a
    // directory holding only what the test put there.
    const std::filesystem::path outFile = cwd.string() + ".out";
    const std::filesystem::path errFile = cwd.string() + ".err";

    std::vector<std::string> argvStore{SDFTOOL_PATH};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::filesystem::path& out = stdoutPath.empty() ? outFile : stdoutPath;
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0)
        throw std::system_error(spawnError, std::generic_category(), "posix_spawn sdftool");

    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "waitpid");

    ToolResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    result.out = ReadFile(outFile);
    result.err = ReadFile(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return result;
}

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "sdftool-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    _path = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(_path, ec))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(_path, ec);
}

std::filesystem::path ScratchDir::write(const std::string& name, const std::string& text) const
{
    const auto file = _path / name;
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::filesystem::path DataDir()
{
    return SDFTOOL_TEST_DATA;
}

} // namespace sdftool::test
