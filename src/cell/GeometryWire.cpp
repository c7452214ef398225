#include "cell/GeometryWire.h"

#include <fmt/format.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace cell::detail {

namespace {

constexpr std::string_view kMagic = "ZRVG";
constexpr std::uint32_t kVersion = 1;
constexpr std::uint8_t kGeometry = 0;
constexpr std::uint8_t kError = 1;

class Writer
{
public:
    template <class T>
    void value(const T& v)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        bytes_.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void text(std::string_view s)
    {
        value(std::uint64_t{s.size()});
        bytes_.append(s);
    }
    template <class T>
    void array(const std::vector<T>& items)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        value(std::uint64_t{items.size()});
        if (!items.empty())
            bytes_.append(reinterpret_cast<const char*>(items.data()), items.size() * sizeof(T));
    }
    void header(std::uint8_t kind)
    {
        bytes_.append(kMagic);
        value(kVersion);
        value(kind);
    }
    std::string take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

class Reader
{
public:
    Reader(std::string_view bytes, const std::filesystem::path& file, std::string_view formatName)
        : bytes_(bytes), file_(file), formatName_(formatName)
    {
    }

    [[noreturn]] void fail(std::string_view why) const
    {
        throw std::runtime_error(
            fmt::format("{}: the {} reader's answer is malformed ({})", file_.string(), formatName_, why));
    }

    template <class T>
    T value(std::string_view what)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        if (bytes_.size() < sizeof(T))
            fail(fmt::format("it ends within {}", what));
        T v;
        std::memcpy(&v, bytes_.data(), sizeof v);
        bytes_.remove_prefix(sizeof v);
        return v;
    }

    // A count of elements of the given size, checked against the bytes left
    // so that no allocation is larger than the answer itself.
    std::size_t count(std::size_t elementSize, std::string_view what)
    {
        const auto n = value<std::uint64_t>(what);
        if (n > bytes_.size() / elementSize)
            fail(fmt::format("{} {} of {} bytes each, {} bytes left", n, what, elementSize, bytes_.size()));
        return static_cast<std::size_t>(n);
    }

    std::string text(std::string_view what)
    {
        const std::size_t n = count(1, what);
        std::string s(bytes_.substr(0, n));
        bytes_.remove_prefix(n);
        return s;
    }

    template <class T>
    std::vector<T> array(std::string_view what)
    {
        const std::size_t n = count(sizeof(T), what);
        std::vector<T> items(n);
        if (n != 0)
            std::memcpy(items.data(), bytes_.data(), n * sizeof(T));
        bytes_.remove_prefix(n * sizeof(T));
        return items;
    }

    std::size_t left() const { return bytes_.size(); }

private:
    std::string_view bytes_;
    const std::filesystem::path& file_;
    std::string_view formatName_;
};

void WriteTrack(Writer& out, const Geometry::EdgeTrack& track)
{
    out.array(track.points);
    out.array(track.normals);
    out.array(track.tangents);
}

void WriteFace(Writer& out, const Geometry::Face& face)
{
    out.value(face.firstIndex);
    out.value(face.indexCount);
    out.value(face.area);
    out.array(face.edges);
    out.value(std::uint64_t{face.tracks.size()});
    for (const auto& track : face.tracks)
        WriteTrack(out, track);
    out.value(face.part);
    out.value(static_cast<std::uint8_t>(face.hasColour));
    out.value(face.colour);
}

Geometry::Face ReadFace(Reader& in, const Geometry& geometry)
{
    Geometry::Face face;
    face.firstIndex = in.value<std::uint32_t>("a face's first index");
    face.indexCount = in.value<std::uint32_t>("a face's index count");
    if (face.indexCount % 3 != 0 || std::uint64_t{face.firstIndex} + face.indexCount > geometry.indices.size())
        in.fail(fmt::format("a face's indices {}+{} are not whole triangles within the {} indices", face.firstIndex,
                            face.indexCount, geometry.indices.size()));
    face.area = in.value<double>("a face's area");
    face.edges = in.array<std::uint32_t>("face edges");
    // The smallest track is its three counts.
    const std::size_t tracks = in.count(3 * sizeof(std::uint64_t), "edge tracks");
    if (tracks != 0 && tracks != face.edges.size())
        in.fail(fmt::format("a face of {} edges has {} edge tracks", face.edges.size(), tracks));
    for (std::size_t i = 0; i < tracks; ++i) {
        Geometry::EdgeTrack track;
        track.points = in.array<Vec3d>("track points");
        track.normals = in.array<Vec3d>("track normals");
        track.tangents = in.array<Vec3d>("track tangents");
        if (track.normals.size() != track.points.size() || track.tangents.size() != track.points.size())
            in.fail(fmt::format("an edge track of {} points has {} normals and {} tangents", track.points.size(),
                                track.normals.size(), track.tangents.size()));
        face.tracks.push_back(std::move(track));
    }
    face.part = in.value<std::int32_t>("a face's part");
    const auto hasColour = in.value<std::uint8_t>("a face's colour flag");
    if (hasColour > 1)
        in.fail(fmt::format("a face's colour flag is {}", hasColour));
    face.hasColour = hasColour == 1;
    face.colour = in.value<std::array<float, 4>>("a face's colour");
    return face;
}

// What the view and the path generator index without checking: every
// index within what it names.
void CheckReferences(const Reader& in, const Geometry& geometry)
{
    const std::size_t vertices = geometry.vertexCount();
    for (const std::uint32_t index : geometry.indices)
        if (index >= vertices)
            in.fail(fmt::format("vertex index {} of {} vertices", index, vertices));
    for (const auto& face : geometry.faces) {
        for (const std::uint32_t edge : face.edges)
            if (edge >= geometry.edges.size())
                in.fail(fmt::format("edge {} of {} edges", edge, geometry.edges.size()));
        if (face.part < -1 || face.part >= static_cast<std::int64_t>(geometry.parts.size()))
            in.fail(fmt::format("part {} of {} parts", face.part, geometry.parts.size()));
    }
}

} // namespace

std::string EncodeGeometry(const Geometry& geometry)
{
    Writer out;
    out.header(kGeometry);
    out.text(geometry.name);
    out.array(geometry.positions);
    out.array(geometry.normals);
    out.array(geometry.indices);
    out.array(geometry.points);
    out.value(std::uint64_t{geometry.faces.size()});
    for (const auto& face : geometry.faces)
        WriteFace(out, face);
    out.value(std::uint64_t{geometry.edges.size()});
    for (const auto& edge : geometry.edges) {
        out.array(edge.points);
        out.value(edge.length);
        out.value(static_cast<std::uint8_t>(edge.degenerate));
    }
    out.value(std::uint64_t{geometry.parts.size()});
    for (const auto& part : geometry.parts) {
        out.text(part.name);
        out.value(part.volume);
    }
    out.value(geometry.boundsMin);
    out.value(geometry.boundsMax);
    out.value(geometry.volume);
    return out.take();
}

std::string EncodeError(std::string_view message)
{
    Writer out;
    out.header(kError);
    out.text(message);
    return out.take();
}

Geometry DecodeGeometry(std::string_view answer, const std::filesystem::path& file, std::string_view formatName)
{
    Reader in(answer, file, formatName);
    if (!answer.starts_with(kMagic))
        in.fail("no answer header");
    in.value<std::array<char, 4>>("the header");
    const auto version = in.value<std::uint32_t>("the header");
    if (version != kVersion)
        in.fail(fmt::format("version {}, expected {}", version, kVersion));
    const auto kind = in.value<std::uint8_t>("the header");
    if (kind == kError) {
        std::string message = in.text("the error message");
        if (in.left() != 0)
            in.fail(fmt::format("{} bytes after the error message", in.left()));
        throw std::runtime_error(message);
    }
    if (kind != kGeometry)
        in.fail(fmt::format("answer kind {}", kind));

    Geometry geometry;
    geometry.name = in.text("the name");
    geometry.positions = in.array<float>("positions");
    geometry.normals = in.array<float>("normals");
    geometry.indices = in.array<std::uint32_t>("indices");
    geometry.points = in.array<float>("points");
    if (geometry.positions.size() % 3 != 0 || geometry.points.size() % 3 != 0 || geometry.indices.size() % 3 != 0)
        in.fail(fmt::format("{} coordinates, {} point coordinates and {} indices, not whole vertices and triangles",
                            geometry.positions.size(), geometry.points.size(), geometry.indices.size()));
    if (geometry.normals.size() != geometry.positions.size())
        in.fail(fmt::format("{} normal coordinates for {} vertex coordinates", geometry.normals.size(),
                            geometry.positions.size()));
    // The smallest face: indices, area, two counts, part, flag and colour.
    const std::size_t faces = in.count(4 + 4 + 8 + 8 + 8 + 4 + 1 + 16, "faces");
    geometry.faces.reserve(faces);
    for (std::size_t i = 0; i < faces; ++i)
        geometry.faces.push_back(ReadFace(in, geometry));
    const std::size_t edges = in.count(8 + 8 + 1, "edges");
    geometry.edges.reserve(edges);
    for (std::size_t i = 0; i < edges; ++i) {
        Geometry::Edge edge;
        edge.points = in.array<Vec3d>("edge points");
        edge.length = in.value<double>("an edge's length");
        const auto degenerate = in.value<std::uint8_t>("an edge's degenerate flag");
        if (degenerate > 1)
            in.fail(fmt::format("an edge's degenerate flag is {}", degenerate));
        edge.degenerate = degenerate == 1;
        geometry.edges.push_back(std::move(edge));
    }
    const std::size_t parts = in.count(8 + 8, "parts");
    geometry.parts.reserve(parts);
    for (std::size_t i = 0; i < parts; ++i) {
        Geometry::Part part;
        part.name = in.text("a part's name");
        part.volume = in.value<double>("a part's volume");
        geometry.parts.push_back(std::move(part));
    }
    geometry.boundsMin = in.value<Vec3d>("the bounds");
    geometry.boundsMax = in.value<Vec3d>("the bounds");
    geometry.volume = in.value<double>("the volume");
    if (in.left() != 0)
        in.fail(fmt::format("{} bytes after the end", in.left()));
    CheckReferences(in, geometry);
    return geometry;
}

} // namespace cell::detail
