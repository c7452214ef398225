// sdftool geometry: what the geometry files of a station, or one geometry
// file, hold.

#include "Command.h"
#include "Document.h"
#include "JsonText.h"

#include <cell/Geometry.h>
#include <cell/GeometryCache.h>
#include <cell/GeometryFormat.h>
#include <cell/GeometryLoader.h>
#include <cell/GeometryReference.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool geometry FILE [--json] [--file-type TYPE] [--mesh-unit UNIT]

FILE is a station document or one geometry file (STEP, IGES, BREP, STL,
OBJ, PLY, glTF, GLB, 3MF, told apart by extension).

For a station, one line per body and point cloud with a geometry file:
  body ID "NAME" of LABEL ID: FILE (FORMAT) faces N, edges N, triangles N,
      box [X Y Z] [X Y Z]
or, when the file cannot be loaded, "error: MESSAGE" after the file.

For a geometry file: its format, name, counts of faces, edges and
triangles, bounding box and volume, then each face with its area and the
body edges it has (in the face's own edge order), and each edge with its
length. Lengths are millimetres; files without a unit (STL, OBJ, PLY,
glTF, 3MF) are taken as millimetres unless told otherwise.

Options:
  --json             Print one JSON object instead: for a station
                       {"bodies": [{"id", "label", "name", "owner",
                        "ownerLabel", "uri", "file", "format", "faces",
                        "edges", "triangles", "boundingBox": {"min", "max"},
                        "error"}, ...]}
                     ("error" is null when the file loaded; the counts are
                     left out when it did not); for a file
                       {"file", "format", "name", "faces", "edges",
                        "triangles", "boundingBox", "volume",
                        "faceList": [{"area", "edges"}],
                        "edgeList": [{"length"}]}
  --file-type TYPE   The geometry/file_type of a file without a known
                     extension, e.g. "stl" or "stl:m" (FILE alone).
  --mesh-unit UNIT   Unit of mesh files whose type names none: mm, cm, m
                     or in (default mm).
  -h, --help         Show this help.

Exit status: 0 when everything loaded, 1 when a file cannot be read or a
body's geometry cannot be loaded, 2 for a wrong command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"json", 0, false}, {"file-type", 0, true}, {"mesh-unit", 0, true}};

std::string Point(const cell::Vec3d& p, bool json)
{
    return json ? fmt::format("[{}, {}, {}]", p[0], p[1], p[2]) : fmt::format("[{} {} {}]", p[0], p[1], p[2]);
}

std::string Counts(const cell::Geometry& g, bool json)
{
    if (json)
        return fmt::format("\"format\": {}, \"faces\": {}, \"edges\": {}, \"triangles\": {}, "
                           "\"boundingBox\": {{\"min\": {}, \"max\": {}}}",
                           JsonString(g.format), g.faces.size(), g.edges.size(), g.triangleCount(),
                           Point(g.boundsMin, true), Point(g.boundsMax, true));
    return fmt::format("faces {}, edges {}, triangles {}, box {} {}", g.faces.size(), g.edges.size(),
                       g.triangleCount(), Point(g.boundsMin, false), Point(g.boundsMax, false));
}

int ShowFile(const std::string& path, const cell::LoadOptions& options, bool json)
{
    cell::Geometry g;
    try {
        g = cell::LoadGeometry(path, options);
    } catch (const std::runtime_error& error) {
        throw Failure(error.what());
    }
    if (json) {
        std::vector<std::string> faces, edges;
        for (const auto& face : g.faces)
            faces.push_back(fmt::format("{{\"area\": {}, \"edges\": [{}]}}", face.area, fmt::join(face.edges, ", ")));
        for (const auto& edge : g.edges)
            edges.push_back(fmt::format("{{\"length\": {}}}", edge.length));
        fmt::print("{{\"file\": {}, \"name\": {}, {}, \"volume\": {}, \"faceList\": [{}], \"edgeList\": [{}]}}\n",
                   JsonString(path), JsonString(g.name), Counts(g, true), g.volume, fmt::join(faces, ", "),
                   fmt::join(edges, ", "));
        return kExitOk;
    }
    std::string out = fmt::format("file: {}\nformat: {}\nname: {}\nfaces: {}\nedges: {}\ntriangles: {}\n"
                                  "bounding box: {} {}\nvolume: {}\n",
                                  path, g.format, g.name, g.faces.size(), g.edges.size(), g.triangleCount(),
                                  Point(g.boundsMin, false), Point(g.boundsMax, false), g.volume);
    for (std::size_t i = 0; i < g.faces.size(); ++i)
        fmt::format_to(std::back_inserter(out), "face {}: area {}, edges [{}]\n", i, g.faces[i].area,
                       fmt::join(g.faces[i].edges, ", "));
    for (std::size_t i = 0; i < g.edges.size(); ++i)
        fmt::format_to(std::back_inserter(out), "edge {}: length {}\n", i, g.edges[i].length);
    fmt::print("{}", out);
    return kExitOk;
}

int ShowStation(const std::string& path, const cell::LoadOptions& base, bool json)
{
    const auto document = ReadDocument(path);
    const auto directory = std::filesystem::absolute(path).parent_path();
    const auto references = cell::GeometryReference::Find(document->Root(), directory);
    // Bodies sharing a file share one load.
    cell::GeometryCache cache;
    std::vector<std::shared_future<cell::GeometryCache::Result>> loads;
    for (const auto& reference : references) {
        cell::LoadOptions options = base;
        options.fileType = reference.fileType;
        loads.push_back(cache.load(reference.file, options));
    }
    bool failed = false;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < references.size(); ++i) {
        const auto& r = references[i];
        std::optional<std::string> error;
        cell::GeometryCache::Result geometry;
        if (r.uri.empty()) {
            error = "the geometry has no uri";
        } else {
            try {
                geometry = loads[i].get();
            } catch (const std::exception& e) {
                error = e.what();
            }
        }
        failed = failed || error.has_value();
        if (json) {
            lines.push_back(fmt::format(
                "{{\"id\": {}, \"label\": {}, \"name\": {}, \"owner\": {}, \"ownerLabel\": {}, \"uri\": {}, "
                "\"file\": {}{}, \"error\": {}}}",
                r.id, JsonString(r.label), JsonString(r.name), r.owner, JsonString(r.ownerLabel), JsonString(r.uri),
                JsonString(r.file.string()), geometry ? ", " + Counts(*geometry, true) : std::string(),
                error ? JsonString(*error) : "null"));
            continue;
        }
        const std::string owner = r.owner ? fmt::format(" of {} {}", r.ownerLabel, r.owner) : std::string();
        lines.push_back(fmt::format("{} {} \"{}\"{}: {} ({}) {}", r.label, r.id, r.name, owner,
                                    r.file.empty() ? r.uri : r.file.string(),
                                    geometry ? geometry->format : r.fileType,
                                    geometry ? Counts(*geometry, false) : "error: " + error.value_or("")));
    }
    if (json)
        fmt::print("{{\"bodies\": [{}]}}\n", fmt::join(lines, ", "));
    else
        for (const auto& line : lines)
            fmt::print("{}\n", line);
    return failed ? kExitFailure : kExitOk;
}

int run(const ParsedArgs& args)
{
    args.expectPositional(1, 1, "one FILE");
    const std::string& path = args.positional()[0];
    cell::LoadOptions options;
    if (const auto unit = args.value("mesh-unit")) {
        const auto scale = cell::UnitFromName(*unit);
        if (!scale)
            throw UsageError(fmt::format("unknown unit \"{}\" (mm, cm, m or in)", *unit));
        options.meshUnit = *scale;
    }
    const auto fileType = args.value("file-type");
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty())
        extension.erase(0, 1);
    if (cell::FormatFromName(extension) || fileType) {
        options.fileType = fileType.value_or("");
        return ShowFile(path, options, args.has("json"));
    }
    return ShowStation(path, options, args.has("json"));
}

} // namespace

const Command kGeometryCommand{"geometry", "list a station's geometry files, or what one CAD or mesh file holds",
                               kHelp, kOptions, run, kNoValuePosition};

} // namespace sdftool
