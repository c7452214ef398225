// zrv-cad-read: reads one STEP, IGES or BREP file and writes its geometry
// to standard output for the cell library (see cell/GeometryWire.h), or
// the message of the error reading it threw. It exists so that a file on
// which OpenCASCADE crashes takes down this program, not the window or
// sdftool that asked for it.
//
//   zrv-cad-read MEMORY_BYTES FORMAT CHORD_TOLERANCE ANGULAR_TOLERANCE FILE
//
// Exit status 0 with an answer written; 2 for wrong arguments; anything
// else (a signal) is a crash the caller reports.

#include "cell/BrepReader.h"
#include "cell/GeometryFormat.h"
#include "cell/GeometryWire.h"

#include <fmt/format.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZRV_RESERVES_ADDRESS_SPACE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZRV_RESERVES_ADDRESS_SPACE 1
#endif
#endif

// OpenCASCADE's thread pool is not instrumented, so ThreadSanitizer would
// take the parallel loops' hand-over of work for races. The library that
// starts this program is what the ThreadSanitizer build checks.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions()
{
    return "race:OSD_Parallel\n";
}

namespace {

template <class T>
bool Parse(std::string_view text, T& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool WriteAll(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // A crash is to end this program with its signal, which the caller
    // names; sanitizer builds would otherwise turn it into a report and an
    // exit status.
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        ::signal(signal, SIG_DFL);

    std::uint64_t memory = 0;
    cell::LoadOptions options;
    const std::optional<cell::GeometryFormat> format = argc == 6 ? cell::FormatFromName(argv[2]) : std::nullopt;
    if (argc != 6 || !Parse(argv[1], memory) || !format || !cell::IsBrepFormat(*format) ||
        !Parse(argv[3], options.chordTolerance) || !Parse(argv[4], options.angularTolerance)) {
        std::fputs("usage: zrv-cad-read MEMORY_BYTES step|iges|brep CHORD_TOLERANCE ANGULAR_TOLERANCE FILE\n", stderr);
        return 2;
    }
#ifndef ZRV_RESERVES_ADDRESS_SPACE
    if (memory > 0) {
        const rlimit limit{memory, memory};
        ::setrlimit(RLIMIT_AS, &limit);
    }
#endif
    const std::filesystem::path file = argv[5];
    std::string answer;
    try {
        answer = cell::detail::EncodeGeometry(cell::detail::ReadBrep(file, *format, options));
    } catch (const std::bad_alloc&) {
        answer = cell::detail::EncodeError(fmt::format("{}: reading it needs more memory than the reader's limit of {} MiB",
                                                       file.string(), memory >> 20));
    } catch (const std::exception& error) {
        answer = cell::detail::EncodeError(error.what());
    }
    // Without the exit handlers: OpenCASCADE's static objects take long
    // to tear down, and there is nothing left to do.
    ::_exit(WriteAll(answer) ? 0 : 1);
}
