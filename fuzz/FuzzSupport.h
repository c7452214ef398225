#pragma once

// What the document fuzzers share: a private directory for the files they
// write, and reading that tells the reader's own failures from findings.

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace zrv::fuzz {

// A fresh directory of this process, made on first use. Its files are
// overwritten by each input; it is removed when the run ends normally (a
// crash leaves it for the system's temporary-file cleaning).
// Saves flush to the device, so a directory in memory, where there is one,
// makes the runs many times faster.
inline const std::filesystem::path& WorkDir()
{
    // Never destroyed, so that the exit handler still finds it.
    static const std::filesystem::path* const dir = [] {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error) &&
                                                   ::access("/dev/shm", W_OK) == 0
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "zrv-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return new std::filesystem::path(pattern);
    }();
    static const int removal = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(*dir, ignored);
    });
    (void)removal;
    return *dir;
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

// The document, or null when the reader refused the text with one of its
// own exceptions (std::out_of_range included, for a `type` naming no
// registered type). Anything else escapes as a finding.
template <class Read>
std::shared_ptr<sdf::SDF> ReadOrNull(Read read)
{
    try {
        return read();
    } catch (const std::logic_error&) {
    } catch (const std::runtime_error&) {
    }
    return nullptr;
}

// The writer refuses texts that XML cannot carry, which a lenient parse
// may have let in; the text form of such a document fails the same way.
inline bool Writable(const sdf::SDF& doc)
{
    try {
        doc.Root()->toXMLString("");
        return true;
    } catch (const std::runtime_error& e) {
        if (std::string_view(e.what()).starts_with("cannot write '"))
            return false;
        throw;
    }
}

[[noreturn]] inline void Finding(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
    std::abort();
}

} // namespace zrv::fuzz
