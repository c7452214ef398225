#include "cell/GeometryLoader.h"

#include "cell/CadReaderProcess.h"
#include "cell/GeometryFormat.h"
#include "cell/JsonDepth.h"
#include "cell/MeshReader.h"

#include <fmt/format.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cell {

namespace {

// Deeper than any glTF writer nests (a scene is about six levels deep), far
// shallower than what exhausts Assimp's recursive JSON parser.
constexpr std::size_t kMaxJsonDepth = 64;

[[noreturn]] void Fail(const std::filesystem::path& file, std::string_view what)
{
    throw std::runtime_error(fmt::format("{}: {}", file.string(), what));
}

// The file's bytes, at most limit of them (all when limit is 0). Opened
// without blocking and checked after opening, so that a FIFO or device put
// in the file's place is refused rather than waited on.
std::string ReadBytes(const std::filesystem::path& file, std::uint64_t maxBytes, std::size_t limit)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            Fail(file, "no such file");
        Fail(file, fmt::format("cannot open: {}", std::strerror(error)));
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info{};
    if (::fstat(fd, &info) != 0)
        Fail(file, fmt::format("cannot read: {}", std::strerror(errno)));
    if (S_ISDIR(info.st_mode))
        Fail(file, "a directory, not a geometry file");
    if (!S_ISREG(info.st_mode))
        Fail(file, "not a regular file");
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size == 0)
        Fail(file, "empty file");
    if (size > maxBytes)
        Fail(file, fmt::format("{} bytes, more than the limit of {} bytes", size, maxBytes));
    const std::size_t wanted = limit == 0 ? static_cast<std::size_t>(size) : std::min<std::size_t>(limit, size);
    std::string bytes(wanted, '\0');
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t got = ::read(fd, bytes.data() + done, wanted - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            Fail(file, fmt::format("cannot read: {}", std::strerror(errno)));
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

std::string_view SkipSpace(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    return text;
}

std::uint32_t LittleEndian32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

void CheckJsonDepth(const std::filesystem::path& file, std::string_view json)
{
    if (detail::JsonDepth(json, kMaxJsonDepth) > kMaxJsonDepth)
        Fail(file, fmt::format("JSON nested more than {} levels deep", kMaxJsonDepth));
}

// A PLY header of nothing but the lines the format knows: Assimp's parser
// loops without end on some malformed headers.
bool PlyHeaderIsValid(std::string_view bytes)
{
    static constexpr std::string_view kTypes[] = {"char",  "uchar",  "short", "ushort",  "int",     "uint",
                                                  "float", "double", "int8",  "uint8",   "int16",   "uint16",
                                                  "int32", "uint32", "float32", "float64"};
    auto isType = [](std::string_view word) { return std::ranges::find(kTypes, word) != std::end(kTypes); };
    auto isCount = [](std::string_view word) {
        return !word.empty() && word.size() < 12 && std::ranges::all_of(word, [](char c) { return c >= '0' && c <= '9'; });
    };
    std::size_t at = 0;
    for (int line = 0; line < 10000 && at < bytes.size(); ++line) {
        const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
        std::string_view text = bytes.substr(at, end - at);
        at = end + 1;
        if (text.ends_with('\r'))
            text.remove_suffix(1);
        std::vector<std::string_view> words;
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t next = std::min(text.find(' ', i), text.size());
            if (next > i)
                words.push_back(text.substr(i, next - i));
            i = next + 1;
        }
        if (line == 0) {
            if (words.size() != 1 || words[0] != "ply")
                return false;
            continue;
        }
        if (words.empty())
            return false;
        const std::string_view key = words[0];
        if (key == "end_header")
            return words.size() == 1;
        if (key == "comment" || key == "obj_info")
            continue;
        if (key == "format" && words.size() == 3)
            continue;
        if (key == "element" && words.size() == 3 && isCount(words[2]))
            continue;
        if (key == "property" && words.size() == 3 && isType(words[1]))
            continue;
        if (key == "property" && words.size() == 5 && words[1] == "list" && isType(words[2]) && isType(words[3]))
            continue;
        return false;
    }
    return false;
}

// Refuses a file whose first bytes do not belong to its format, with a
// message saying what was expected; bytes is the start of the file (the
// whole file for meshes) and size the file's size.
void CheckSignature(const std::filesystem::path& file, GeometryFormat format, std::string_view bytes, std::uint64_t size)
{
    const std::string_view text = SkipSpace(bytes);
    switch (format) {
    case GeometryFormat::Step:
        if (!text.starts_with("ISO-10303-21"))
            Fail(file, "not a STEP file (it does not begin with ISO-10303-21)");
        return;
    case GeometryFormat::Iges: {
        const std::string_view line = bytes.substr(0, bytes.find('\n'));
        if (line.size() < 73 || line[72] != 'S')
            Fail(file, "not an IGES file (no start section in column 73 of the first line)");
        return;
    }
    case GeometryFormat::Brep:
        if (text.substr(0, 200).find("CASCADE Topology") == std::string_view::npos)
            Fail(file, "not a BREP file (no CASCADE Topology header)");
        return;
    case GeometryFormat::Stl: {
        const bool binary = size >= 84 && size == 84 + 50 * std::uint64_t{LittleEndian32(bytes, 80)};
        if (!binary && !text.starts_with("solid"))
            Fail(file, fmt::format("not an STL file (text STL begins with \"solid\", binary STL is 84 + 50 bytes "
                                   "per triangle; this file has {} bytes)",
                                   size));
        if (!binary && text.find("endsolid") == std::string_view::npos)
            Fail(file, "truncated text STL file (no endsolid)");
        return;
    }
    case GeometryFormat::Ply:
        if (!bytes.starts_with("ply\n") && !bytes.starts_with("ply\r"))
            Fail(file, "not a PLY file (it does not begin with \"ply\")");
        if (!PlyHeaderIsValid(bytes))
            Fail(file, "not a PLY file (its header has a line the format does not know)");
        return;
    case GeometryFormat::Obj:
        if (bytes.substr(0, 65536).find('\0') != std::string_view::npos)
            Fail(file, "not an OBJ file (binary data in a text format)");
        return;
    case GeometryFormat::Gltf:
        if (!text.starts_with("{"))
            Fail(file, "not a glTF file (no JSON object)");
        CheckJsonDepth(file, text);
        return;
    case GeometryFormat::Glb: {
        if (bytes.size() < 20 || !bytes.starts_with("glTF"))
            Fail(file, "not a GLB file (no glTF header)");
        const std::uint32_t length = LittleEndian32(bytes, 12);
        if (bytes.substr(16, 4) != "JSON" || length > bytes.size() - 20)
            Fail(file, "truncated GLB file (its JSON chunk is incomplete)");
        CheckJsonDepth(file, bytes.substr(20, length));
        return;
    }
    case GeometryFormat::ThreeMf:
        if (!bytes.starts_with("PK\x03\x04"))
            Fail(file, "not a 3MF file (not a ZIP archive)");
        return;
    }
}

double MeshUnit(const std::filesystem::path& file, const LoadOptions& options)
{
    const auto colon = options.fileType.find(':');
    if (colon == std::string::npos)
        return options.meshUnit;
    const std::string unit = options.fileType.substr(colon + 1);
    if (auto scale = UnitFromName(unit))
        return *scale;
    Fail(file, fmt::format("unknown unit \"{}\" in file type \"{}\" (mm, cm, m or in)", unit, options.fileType));
}

} // namespace

Geometry LoadGeometry(const std::filesystem::path& file, const LoadOptions& options)
{
    const GeometryFormat format = FormatOf(file, options.fileType);
    const double unit = MeshUnit(file, options);
    // B-rep readers open the file themselves: a look at its start is enough.
    const bool brep = IsBrepFormat(format);
    std::string bytes = ReadBytes(file, options.maxBytes, brep ? 4096 : 0);
    std::error_code error;
    const std::uint64_t size = brep ? std::filesystem::file_size(file, error) : bytes.size();
    CheckSignature(file, format, bytes, size);
    Geometry geometry =
        brep ? detail::ReadBrepApart(file, format, options) : detail::ReadMesh(file, bytes, format, unit);
    geometry.file = file;
    geometry.format = std::string(FormatName(format));
    return geometry;
}

} // namespace cell
