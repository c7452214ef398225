#include "cell/MeshFileCheck.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace cell {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Why the file may not be opened at all, or nothing. Only a regular file is
// opened: a pipe or a device would block or never end.
std::optional<std::string> NotARegularFile(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec)
        return fmt::format("{} cannot be read: {}", path.string(), ec.message());
    if (!std::filesystem::is_regular_file(status))
        return fmt::format("{} is not a regular file", path.string());
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        return fmt::format("{} cannot be read: {}", path.string(), ec.message());
    if (size > MeshFileCheck::MaxFileBytes)
        return fmt::format("{} is larger than {} MiB", path.string(), MeshFileCheck::MaxFileBytes >> 20);
    return std::nullopt;
}

std::optional<std::string> ReadAll(const std::filesystem::path& path, std::size_t limit, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fmt::format("{} cannot be opened", path.string());
    out.resize(limit + 1);
    in.read(out.data(), static_cast<std::streamsize>(out.size()));
    out.resize(static_cast<std::size_t>(in.gcount()));
    if (out.size() > limit)
        return fmt::format("{}: its JSON is larger than {} MiB", path.string(), limit >> 20);
    return std::nullopt;
}

// The URI's percent escapes decoded.
std::string Unescape(const std::string& uri)
{
    std::string out;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
            out += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

// What of a glTF's JSON matters before loading, found in one pass with a
// stack of its own: the deepest nesting, the number of nodes and the URIs
// of its buffers and images. Not a validator: the loader reports bad JSON.
struct GltfOutline
{
    std::size_t depth = 0;
    std::size_t nodes = 0;
    std::vector<std::string> uris;
    bool tooDeep = false;
};

GltfOutline Outline(std::string_view json)
{
    struct Level
    {
        bool object;
        std::string key;       // in an object: the key of the current member
        bool expectKey = true; // in an object: the next string is a key
        bool inValue = false;  // in an array: an element has begun
    };
    GltfOutline outline;
    std::vector<Level> stack;
    // In a top-level member named so, at the given nesting.
    const auto inTop = [&stack](const char* key, std::size_t depth) {
        return stack.size() == depth && !stack.empty() && stack[0].object && stack[0].key == key;
    };
    const auto beginValue = [&]() {
        if (stack.empty() || stack.back().object)
            return;
        if (!stack.back().inValue && inTop("nodes", 2))
            ++outline.nodes;
        stack.back().inValue = true;
    };
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        switch (c) {
        case '{':
        case '[':
            beginValue();
            stack.push_back({c == '{', {}, true, false});
            outline.depth = std::max(outline.depth, stack.size());
            if (stack.size() > MeshFileCheck::MaxJsonDepth) {
                outline.tooDeep = true;
                return outline;
            }
            break;
        case '}':
        case ']':
            if (!stack.empty())
                stack.pop_back();
            break;
        case ',':
            if (!stack.empty()) {
                stack.back().expectKey = true;
                stack.back().inValue = false;
            }
            break;
        case '"': {
            std::string text;
            for (++i; i < json.size() && json[i] != '"'; ++i) {
                if (json[i] == '\\' && i + 1 < json.size()) {
                    ++i;
                    text += json[i] == 'n' ? '\n' : json[i] == 't' ? '\t' : json[i];
                } else {
                    text += json[i];
                }
            }
            if (!stack.empty() && stack.back().object && stack.back().expectKey) {
                stack.back().key = std::move(text);
                stack.back().expectKey = false;
            } else {
                beginValue();
                if (!stack.empty() && stack.back().key == "uri" && (inTop("buffers", 3) || inTop("images", 3)))
                    outline.uris.push_back(std::move(text));
            }
            break;
        }
        default:
            if (!std::isspace(static_cast<unsigned char>(c)) && c != ':')
                beginValue();
            break;
        }
    }
    return outline;
}

// The JSON chunk of a binary glTF, or why there is none.
std::optional<std::string> GlbJson(const std::filesystem::path& path, std::string& json)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[20] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header))
        return fmt::format("{} is too short for a binary glTF", path.string());
    const auto word = [&header](int at) {
        return std::uint32_t{header[at]} | std::uint32_t{header[at + 1]} << 8 | std::uint32_t{header[at + 2]} << 16 |
               std::uint32_t{header[at + 3]} << 24;
    };
    if (std::memcmp(header, "glTF", 4) != 0 || std::memcmp(header + 16, "JSON", 4) != 0)
        return fmt::format("{} is not a binary glTF", path.string());
    const std::uint32_t length = word(12);
    if (length > MeshFileCheck::MaxJsonBytes)
        return fmt::format("{}: its JSON is larger than {} MiB", path.string(), MeshFileCheck::MaxJsonBytes >> 20);
    json.resize(length);
    if (!in.read(json.data(), length))
        return fmt::format("{} ends inside its JSON", path.string());
    return std::nullopt;
}

std::optional<std::string> CheckGltf(const std::filesystem::path& path, const std::string& json)
{
    const GltfOutline outline = Outline(json);
    if (outline.tooDeep)
        return fmt::format("{}: its JSON is nested deeper than {} levels", path.string(), MeshFileCheck::MaxJsonDepth);
    if (outline.nodes > MeshFileCheck::MaxNodes)
        return fmt::format("{} has {} nodes, more than {}", path.string(), outline.nodes, MeshFileCheck::MaxNodes);
    for (const std::string& uri : outline.uris) {
        if (uri.rfind("data:", 0) == 0)
            continue; // embedded, within the file's own limit
        if (const auto why = NotARegularFile(path.parent_path() / Unescape(uri)))
            return fmt::format("{} names {}", path.string(), *why);
    }
    return std::nullopt;
}

// The material libraries an OBJ file names.
std::optional<std::string> CheckObj(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 7, "mtllib ") != 0)
            continue;
        std::string name = line.substr(start + 7);
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
            name.pop_back();
        if (const auto why = NotARegularFile(path.parent_path() / name))
            return fmt::format("{} names {}", path.string(), *why);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> MeshFileCheck::Problem(const std::filesystem::path& mesh)
{
    if (auto why = NotARegularFile(mesh))
        return why;
    const std::string ext = Lower(mesh.extension().string());
    std::string json;
    if (ext == ".gltf") {
        if (auto why = ReadAll(mesh, MaxJsonBytes, json))
            return why;
        return CheckGltf(mesh, json);
    }
    if (ext == ".glb") {
        if (auto why = GlbJson(mesh, json))
            return why;
        return CheckGltf(mesh, json);
    }
    if (ext == ".obj")
        return CheckObj(mesh);
    return std::nullopt;
}

} // namespace cell
