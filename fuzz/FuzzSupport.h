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

namespace zrv::fuzz {

// A fresh directory of this process, made on first use. Its files are
// overwritten by each input; the directory is left for the system's
// temporary-file cleaning, as libFuzzer may end the process at any point.
inline const std::filesystem::path& WorkDir()
{
    static const std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "zrv-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    return dir;
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
