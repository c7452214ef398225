#include "Document.h"

#include "Command.h"
#include "DocumentError.h"

#include <fmt/format.h>

#include <sdformat/DocumentCheck.h>
#include <sdformat/Element.h>
#include <sdformat/FileReplace.h>
#include <sdformat/ReadPlace.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sdftool {

namespace {

// What the tool says about a path that cannot be opened for reading.
std::string openProblem(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return "no such file";
    case EACCES:
    case EPERM: return "permission denied";
    default: return std::strerror(error);
    }
}

// The whole stream of an open descriptor; closes it. A stream may never
// end (/dev/zero, `yes`), so it is read up to a limit, and given up at once
// when it holds a NUL, which no XML text does.
std::string readAll(int fd, const std::string& path)
{
    std::string text;
    char buffer[1 << 16];
    const auto fail = [&](std::string message) {
        if (path != "-")
            ::close(fd);
        throw DocumentError(path, std::move(message));
    };
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            const std::string_view piece(buffer, static_cast<std::size_t>(got));
            if (const auto nul = piece.find('\0'); nul != std::string_view::npos)
                fail(fmt::format("not a text document (a NUL byte at offset {})", text.size() + nul));
            if (text.size() + piece.size() > kMaxStreamBytes)
                fail(fmt::format("more than {} MiB, the most the tool reads from a stream", kMaxStreamBytes >> 20));
            text.append(piece);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            fail(fmt::format("read failure ({})", std::strerror(errno)));
        }
    }
    if (path != "-")
        ::close(fd);
    return text;
}

// Opens path for reading, after telling apart the cases a person must
// hear about; a regular file or a stream (pipe, character device) is fine.
int openForReading(const std::string& path, struct stat& info)
{
    if (::stat(path.c_str(), &info) != 0)
        throw DocumentError(path, openProblem(errno));
    if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode) && !S_ISCHR(info.st_mode))
        throw DocumentError(path, S_ISDIR(info.st_mode) ? "not a regular file (a directory)" : "not a regular file");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw DocumentError(path, openProblem(errno));
    return fd;
}

// The library's message with the place of the problem in text, if found.
[[noreturn]] void throwLocated(const std::string& path, const std::string& message, std::string_view text)
{
    const auto place = sdf::ReadPlace::Find(text);
    if (!place)
        throw DocumentError(path, message);
    if (!place->parserDescription.empty())
        throw DocumentError(path, fmt::format("{}: {}", message, place->parserDescription), place->line,
                            place->column);
    throw DocumentError(path, message, place->line, place->column);
}

} // namespace

std::string ReadDocumentText(const std::string& path)
{
    if (path == "-")
        return readAll(STDIN_FILENO, path);
    struct stat info{};
    return readAll(openForReading(path, info), path);
}

namespace {

// ReadDocument's way to the library: regular files are read by the library
// itself (fromFile, with the path), anything else as a whole stream first
// (fromText); both with the checks and places of failures described there.
void ReadThrough(const std::string& path, const std::function<void(const std::string&)>& fromFile,
                 const std::function<void(std::string_view)>& fromText)
{
    std::string text;
    if (path == "-") {
        text = readAll(STDIN_FILENO, path);
    } else {
        struct stat info{};
        const int fd = openForReading(path, info);
        if (S_ISREG(info.st_mode)) {
            ::close(fd);
            if (info.st_size == 0)
                throw DocumentError(path, "empty file");
            // The library reads regular files itself; the text is read again
            // only to find the place of a failure.
            try {
                fromFile(path);
                return;
            } catch (const std::exception& e) {
                try {
                    text = ReadDocumentText(path);
                } catch (const DocumentError&) {
                    throw DocumentError(path, e.what());
                }
                throwLocated(path, e.what(), text);
            }
        }
        // Pipes and devices are read once, as a whole stream, then parsed.
        text = readAll(fd, path);
    }
    if (text.empty())
        throw DocumentError(path, "empty file");
    try {
        fromText(text);
    } catch (const std::exception& e) {
        throwLocated(path, e.what(), text);
    }
}

} // namespace

std::shared_ptr<sdf::SDF> ReadDocument(const std::string& path)
{
    std::shared_ptr<sdf::SDF> document;
    ReadThrough(
        path, [&](const std::string& file) { document = sdf::SDF::ReadSdfFromFile(file); },
        [&](std::string_view text) { document = sdf::SDF::ReadSdfFromString(text); });
    return document;
}

std::shared_ptr<sdf::SDF> ReadDocument(const std::string& path, std::string& text)
{
    std::shared_ptr<sdf::SDF> document;
    ReadThrough(
        path,
        [&](const std::string& file) {
            document = sdf::SDF::ReadSdfFromFile(file);
            text = ReadDocumentText(file);
        },
        [&](std::string_view streamed) {
            document = sdf::SDF::ReadSdfFromString(streamed);
            text = streamed;
        });
    return document;
}

void CheckDocument(const std::string& path, const sdf::CheckVisitor& visit)
{
    ReadThrough(
        path, [&](const std::string& file) { sdf::DocumentCheck::CheckSdfFile(file, visit); },
        [&](std::string_view text) { sdf::DocumentCheck::CheckSdfString(text, visit); });
}

void WriteDocument(const sdf::SDF& document, const std::string& path)
{
    std::string text;
    try {
        text = document.Root()->toXMLString("");
    } catch (const std::exception& e) {
        throw Failure(fmt::format("{}: {}", path, e.what()));
    }
    // The tool writes nothing it would refuse to read: an edit the format
    // allows may still leave a document the reader rejects (another
    // version, say).
    try {
        sdf::SDF::ReadSdfFromString(text);
    } catch (const std::exception& e) {
        throw Failure(fmt::format("{}: not written, as the result would not read back: {}", path, e.what()));
    }
    if (path == "-") {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
            throw Failure("standard output: write failure");
        return;
    }
    try {
        sdf::ReplaceFileContents(path, text);
    } catch (const std::exception& e) {
        throw Failure(fmt::format("{}: {}", path, e.what()));
    }
}

} // namespace sdftool
