#include "cell/CadReaderProcess.h"

#include "cell/GeometryWire.h"

#include <fmt/format.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace cell::detail {

namespace {

// Far above the geometry of any file seen so far: the benchmark's 17 MB
// STEP assembly of 200 plates answers with 21 MB.
constexpr std::size_t kMaxAnswerBytes = std::size_t{2} << 30;

std::string Upper(std::string_view text)
{
    std::string out(text);
    std::ranges::transform(out, out.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

bool IsProgram(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

// The file this code was loaded from: the shared library, or the program
// that links the static one.
std::filesystem::path LoadedFrom()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&LoadedFrom), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::error_code error;
    const std::filesystem::path path = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::filesystem::path() : path;
}

class Fd
{
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { close(); }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_); // not retried on EINTR: Linux frees the descriptor anyway
        fd_ = -1;
    }

private:
    int fd_;
};

// A started reader: killed and reaped on every way out, so that no error
// leaves a zombie or a reader running on.
class Child
{
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            reap();
        }
    }

    // Its wait status once it has ended, without waiting; -1 when it is
    // not there to wait for (a program that ignores SIGCHLD has its
    // children reaped for it).
    std::optional<int> poll()
    {
        int status = 0;
        pid_t got = 0;
        do
            got = ::waitpid(pid_, &status, WNOHANG);
        while (got < 0 && errno == EINTR);
        if (got == 0)
            return std::nullopt;
        pid_ = -1;
        return got < 0 ? -1 : status;
    }

    void kill()
    {
        ::kill(pid_, SIGKILL);
        reap();
    }

private:
    void reap()
    {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

    pid_t pid_;
};

struct Spawned
{
    pid_t pid = -1;
    int output = -1; // the read end of the reader's standard output
};

// Starts program with args, its standard output a pipe, its standard input
// /dev/null, standard error shared, signals as a fresh program has them.
// The pipe's ends are close-on-exec, so readers started at the same time by
// other threads do not hold them open.
Spawned Spawn(const std::filesystem::path& file, const std::string& formatName, const std::filesystem::path& program,
              const std::vector<std::string>& args)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error(fmt::format("{}: cannot start the {} reader: no pipe: {}", file.string(), formatName,
                                             std::strerror(errno)));
    Fd readEnd(fds[0]), writeEnd(fds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    std::string programText = program.string();
    argv.push_back(programText.data());
    std::vector<std::string> copies(args);
    for (std::string& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, programText.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        throw std::runtime_error(fmt::format("{}: cannot start the {} reader \"{}\": {}", file.string(), formatName,
                                             programText, std::strerror(error)));
    Spawned spawned;
    spawned.pid = pid;
    spawned.output = readEnd.release();
    return spawned;
}

std::string Seconds(double seconds)
{
    return fmt::format("{} s", seconds);
}

} // namespace

std::filesystem::path CadReaderProgram()
{
    if (const char* given = std::getenv(kCadReaderVariable); given != nullptr && *given != '\0') {
        if (!IsProgram(given))
            throw std::runtime_error(
                fmt::format("no CAD reader program at \"{}\" (named by {})", given, kCadReaderVariable));
        return given;
    }
    std::vector<std::filesystem::path> looked;
    if (const std::filesystem::path loaded = LoadedFrom(); !loaded.empty()) {
        // Installed: the library in <prefix>/<libdir>, a program linking
        // it statically (sdftool) in <prefix>/<bindir>.
        for (const char* relative : {ZRV_CAD_READER_FROM_LIBDIR, ZRV_CAD_READER_FROM_BINDIR}) {
            const std::filesystem::path candidate = (loaded.parent_path() / relative).lexically_normal();
            if (IsProgram(candidate))
                return candidate;
            if (std::ranges::find(looked, candidate) == looked.end())
                looked.push_back(candidate);
        }
    }
    const std::filesystem::path built = ZRV_CAD_READER_BUILT;
    if (IsProgram(built))
        return built;
    looked.push_back(built);
    std::string places;
    for (const auto& place : looked)
        places += fmt::format("{}\"{}\"", places.empty() ? "" : ", ", place.string());
    throw std::runtime_error(
        fmt::format("no CAD reader program at {} ({} names another place)", places, kCadReaderVariable));
}

Geometry ReadBrepApart(const std::filesystem::path& file, GeometryFormat format, const LoadOptions& options)
{
    const std::string formatName = Upper(FormatName(format));
    std::filesystem::path program;
    try {
        program = CadReaderProgram();
    } catch (const std::exception& error) {
        throw std::runtime_error(fmt::format("{}: cannot read {} files: {}", file.string(), formatName, error.what()));
    }
    const std::vector<std::string> args{
        fmt::format("{}", options.readerMemoryBytes), std::string(FormatName(format)),
        fmt::format("{}", options.chordTolerance), fmt::format("{}", options.angularTolerance), file.string()};
    const Spawned spawned = Spawn(file, formatName, program, args);
    Fd output(spawned.output);
    Child child(spawned.pid);

    // At most a year: an infinite limit would overflow the clock.
    const double seconds = std::isnan(options.readerSeconds) ? 0 : std::clamp(options.readerSeconds, 0.0, 3.2e7);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    const auto timedOut = [&] {
        child.kill();
        return std::runtime_error(fmt::format("{}: the {} reader took longer than {} and was stopped", file.string(),
                                              formatName, Seconds(options.readerSeconds)));
    };
    std::string answer;
    char buffer[1 << 16];
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw timedOut();
        pollfd ready{output.get(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 1 << 30)));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled < 0)
            throw std::runtime_error(fmt::format("{}: cannot hear the {} reader: {}", file.string(), formatName,
                                                 std::strerror(errno)));
        if (polled == 0)
            continue; // the deadline is checked above
        const ssize_t got = ::read(output.get(), buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0)
            throw std::runtime_error(fmt::format("{}: cannot hear the {} reader: {}", file.string(), formatName,
                                                 std::strerror(errno)));
        if (got == 0)
            break;
        if (answer.size() + static_cast<std::size_t>(got) > kMaxAnswerBytes) {
            child.kill();
            throw std::runtime_error(fmt::format("{}: the {} reader's answer is larger than the limit of {} bytes",
                                                 file.string(), formatName, kMaxAnswerBytes));
        }
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    output.close();

    // The reader exits as soon as it has written its answer.
    std::optional<int> status;
    while (!(status = child.poll())) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw timedOut();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (*status == -1)
        return DecodeGeometry(answer, file, formatName); // the answer alone tells
    if (WIFSIGNALED(*status)) {
        const int signal = WTERMSIG(*status);
        const char* name = ::sigdescr_np(signal);
        throw std::runtime_error(fmt::format("{}: the {} reader crashed on this file (signal {}, {})", file.string(),
                                             formatName, signal, name ? name : "unknown signal"));
    }
    if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0)
        throw std::runtime_error(fmt::format("{}: the {} reader stopped with exit status {} without an answer",
                                             file.string(), formatName,
                                             WIFEXITED(*status) ? WEXITSTATUS(*status) : *status));
    return DecodeGeometry(answer, file, formatName);
}

} // namespace cell::detail
